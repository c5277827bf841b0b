#include "editor/text/TextStorage.h"
#include "support/HeapBytes.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>
#include <thread>

using namespace velto::editor;

namespace {

Attributes colour(double red) {
    return Attributes{{AttributeKey::foregroundColor, Color::sRGB(red, 0, 0)}};
}

// "start+length:attributes|..." with attributes named by the test's palette, for compact expectations.
std::string runsOf(const TextStorage &storage) {
    std::string text;
    for (const AttributeRun &run : storage.attributeRuns(TextRange{0, storage.length()})) {
        const Color *color = attributeValueAs<Color>(run.attributes.find(AttributeKey::foregroundColor));
        text += std::to_string(run.range.location) + "+" + std::to_string(run.range.length) + ":" +
                (color ? std::to_string(static_cast<int>(color->light.red * 10)) : "-");
        if (run.attributes.contains(AttributeKey::veltoCodeBlock)) {
            text += "c";
        }
        text += "|";
    }
    return text;
}

} // namespace

TEST(TextStorageTests, EqualAttributeSetsAreOneInternedObject) {
    Attributes a{{AttributeKey::ligature, std::int64_t{1}}, {AttributeKey::kern, 0.5}};
    Attributes b{{AttributeKey::kern, 0.5}, {AttributeKey::ligature, std::int64_t{1}}};
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.identity(), b.identity());
    EXPECT_NE(a, a.with(AttributeKey::kern, 0.6));
    EXPECT_EQ(a.with(AttributeKey::kern, 0.6).without(AttributeKey::kern),
              Attributes{}.with(AttributeKey::ligature, std::int64_t{1}));
}

// The table finds sets by hash with probing: sets let go of in any order, while the table grows and as it
// fills again, must leave every live set findable, or equal sets would stop being one object.
TEST(TextStorageTests, SetsStayOneObjectWhileOthersComeAndGo) {
    const auto link = [](int number) {
        return Attributes{{AttributeKey::link, SharedText("https://example.com/" + std::to_string(number))}};
    };
    std::vector<std::optional<Attributes>> held;
    for (int number = 0; number < 20'000; ++number) {
        held.emplace_back(link(number));
    }
    std::mt19937 random(7);
    for (int round = 0; round < 3; ++round) {
        for (std::size_t index = 0; index < held.size(); ++index) {
            if (random() % 3 == 0) {
                held[index].reset();
            }
        }
        for (std::size_t index = 0; index < held.size(); ++index) {
            const Attributes again = link(static_cast<int>(index));
            if (held[index]) {
                ASSERT_EQ(again.identity(), held[index]->identity()) << index;
            } else if (random() % 2 == 0) {
                held[index] = again;
            }
        }
    }
}

// A long replacement is copied only when it lies in the storage's own text; one that does must still arrive
// whole, though the edit moves and frees the units it was read from.
TEST(TextStorageTests, LongReplacementsReadFromTheStorageItselfArriveWhole) {
    std::u16string text;
    for (int unit = 0; unit < 9000; ++unit) {
        text += static_cast<char16_t>(u'a' + unit % 26);
    }
    const struct {
        TextRange replaced;
        TextRange source;
    } cases[] = {
        {{0, 9000}, {100, 5000}},     // all of it, by a piece of itself
        {{10, 20}, {3000, 4000}},     // before the piece
        {{8000, 500}, {0, 6000}},     // after it
        {{2000, 3000}, {1000, 7000}}, // overlapping it
    };
    for (const auto &each : cases) {
        TextStorage storage(text, colour(0.1));
        std::u16string expected = text;
        expected.replace(each.replaced.location, each.replaced.length,
                         text.substr(each.source.location, each.source.length));
        const std::u16string_view own = storage.string(); // the storage's joined copy of its text
        storage.replaceCharacters(each.replaced, own.substr(each.source.location, each.source.length));
        EXPECT_EQ(storage.string(), expected) << each.replaced.location << " " << each.source.location;
        EXPECT_EQ(runsOf(storage), "0+" + std::to_string(expected.size()) + ":1|");
    }
}

TEST(TextStorageTests, InsertedTextTakesFirstReplacedCharacterThenPrecedingThenFollowing) {
    TextStorage storage(u"abcd", colour(0.1));
    storage.setAttributes(colour(0.2), TextRange{2, 2});
    storage.replaceCharacters(TextRange{2, 1}, u"XY"); // first replaced character: 0.2
    EXPECT_EQ(runsOf(storage), "0+2:1|2+3:2|");
    storage.replaceCharacters(TextRange{2, 0}, u"Z"); // nothing replaced: the preceding character 0.1
    EXPECT_EQ(runsOf(storage), "0+3:1|3+3:2|");
    storage.setAttributes(colour(0.3), TextRange{0, 1});
    storage.replaceCharacters(TextRange{0, 0}, u"W"); // at the start: the following character 0.3
    EXPECT_EQ(runsOf(storage), "0+2:3|2+2:1|4+3:2|");
    EXPECT_EQ(storage.string(), u"WabZXYd");
}

TEST(TextStorageTests, DeletingAllTextLeavesNoRunsAndTypingIntoEmptyTextHasNoAttributes) {
    TextStorage storage(u"abc", colour(0.1));
    storage.replaceCharacters(TextRange{0, 3}, u"");
    EXPECT_EQ(storage.attributeRuns(TextRange{0, 0}).size(), 0u);
    storage.replaceCharacters(TextRange{0, 0}, u"x");
    EXPECT_TRUE(storage.attributes(0).empty());
}

TEST(TextStorageTests, SetAddAndRemoveKeepNeighbouringRunsMerged) {
    TextStorage storage(u"0123456789", colour(0.1));
    storage.setAttributes(colour(0.2), TextRange{2, 3});
    storage.addAttribute(AttributeKey::veltoCodeBlock, Color::sRGB(1, 1, 1), TextRange{4, 4});
    EXPECT_EQ(runsOf(storage), "0+2:1|2+2:2|4+1:2c|5+3:1c|8+2:1|");
    storage.removeAttribute(AttributeKey::veltoCodeBlock, TextRange{0, 10});
    storage.setAttributes(colour(0.1), TextRange{2, 3});
    EXPECT_EQ(runsOf(storage), "0+10:1|");
}

TEST(TextStorageTests, SetAttributesReplacesCustomKeysToo) {
    TextStorage storage(u"abc", colour(0.1));
    storage.addAttribute(AttributeKey::veltoTaskCheckbox, true, TextRange{0, 3});
    storage.setAttributes(colour(0.2), TextRange{0, 3});
    EXPECT_FALSE(storage.attributes(1).contains(AttributeKey::veltoTaskCheckbox));
}

TEST(TextStorageTests, LongestEffectiveRangeOfOneKeySpansRunsThatDifferInOtherKeys) {
    TextStorage storage(u"0123456789", colour(0.1));
    storage.addAttribute(AttributeKey::kern, 1.0, TextRange{3, 2});
    TextRange effective;
    storage.attribute(AttributeKey::foregroundColor, 4, &effective);
    EXPECT_EQ(effective, (TextRange{3, 2}));
    storage.attribute(AttributeKey::foregroundColor, 4, &effective, TextRange{0, 10});
    EXPECT_EQ(effective, (TextRange{0, 10}));
    storage.attribute(AttributeKey::foregroundColor, 4, &effective, TextRange{2, 5});
    EXPECT_EQ(effective, (TextRange{2, 5}));
    EXPECT_EQ(storage.attribute(AttributeKey::kern, 0, &effective, TextRange{0, 10}), nullptr);
    EXPECT_EQ(effective, (TextRange{0, 3}));

    std::vector<TextRange> stretches;
    storage.enumerateAttribute(AttributeKey::foregroundColor, TextRange{1, 8},
                               [&](const AttributeValue *, TextRange range) { stretches.push_back(range); });
    EXPECT_EQ(stretches, (std::vector<TextRange>{{1, 8}}));
    stretches.clear();
    storage.enumerateAttribute(AttributeKey::underlineStyle, TextRange{1, 8},
                               [&](const AttributeValue *value, TextRange range) {
                                   EXPECT_EQ(value, nullptr);
                                   stretches.push_back(range);
                               });
    EXPECT_EQ(stretches, (std::vector<TextRange>{{1, 8}})) << "a key no run holds";
}

TEST(TextStorageTests, EditingGroupReportsOneEditedRangeWithLengthChange) {
    TextStorage storage(u"hello world", colour(0.1));
    struct Reports final : TextStorageObserver {
        std::vector<EditingSummary> summaries;
        void editingGroupDidFinish(const EditingSummary &summary) override { summaries.push_back(summary); }
    } reports;
    const Subscription subscription = storage.subscribe(reports);
    const std::vector<EditingSummary> &reported = reports.summaries;
    storage.beginEditing();
    storage.addAttribute(AttributeKey::kern, 1.0, TextRange{6, 5});
    storage.replaceCharacters(TextRange{0, 5}, u"hi"); // the attribute change moves left by 3
    storage.endEditing();
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], (EditingSummary{TextRange{0, 8}, -3, false}));

    storage.setAttributes(colour(0.2), TextRange{1, 1});
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_EQ(reported[1], (EditingSummary{TextRange{1, 1}, 0, true}));
}

TEST(TextStorageTests, EditedRangeStaysInsideTextAfterDeletionOverIt) {
    TextStorage storage(u"abcdef");
    storage.beginEditing();
    storage.addAttribute(AttributeKey::kern, 1.0, TextRange{4, 1});
    storage.replaceCharacters(TextRange{2, 4}, u"");
    storage.endEditing();
    EXPECT_EQ(storage.lastEditingSummary()->editedRange, (TextRange{2, 0}));
}

TEST(TextStorageTests, CopiesHaveTheirOwnIdentity) {
    TextStorage storage(u"abc");
    TextStorage copy = storage;
    EXPECT_NE(storage.identity(), copy.identity());
    EXPECT_EQ(copy.string(), u"abc");
}

TEST(TextStorageTests, RangesBeyondTheTextAreRejected) {
    TextStorage storage(u"abc");
    EXPECT_THROW(storage.setAttributes(Attributes{}, TextRange{2, 2}), std::out_of_range);
    EXPECT_THROW(storage.attributes(3), std::out_of_range);
}

// Runs kept per character in a plain vector are the model: every operation must agree with it.
TEST(TextStorageTests, RandomEditsAgreeWithPerCharacterModel) {
    std::mt19937 random(7);
    TextStorage storage;
    std::u16string text;
    std::vector<Attributes> model;
    for (int step = 0; step < 3000; ++step) {
        const std::size_t length = text.size();
        const std::size_t a = length == 0 ? 0 : random() % (length + 1);
        const std::size_t b = length == 0 ? 0 : random() % (length + 1);
        const TextRange range = rangeBetween(std::min(a, b), std::max(a, b));
        const Attributes attributes = colour(static_cast<double>(random() % 4) / 10);
        switch (random() % 4) {
        case 0: {
            std::u16string inserted(random() % 4, u'x');
            Attributes inherited;
            if (range.length > 0) {
                inherited = model[range.location];
            } else if (range.location > 0) {
                inherited = model[range.location - 1];
            } else if (!model.empty()) {
                inherited = model[0];
            }
            storage.replaceCharacters(range, inserted);
            text.replace(range.location, range.length, inserted);
            model.erase(model.begin() + range.location, model.begin() + range.end());
            model.insert(model.begin() + range.location, inserted.size(), inherited);
            break;
        }
        case 1:
            storage.setAttributes(attributes, range);
            std::fill(model.begin() + range.location, model.begin() + range.end(), attributes);
            break;
        case 2:
            storage.addAttribute(AttributeKey::kern, 1.0, range);
            for (std::size_t k = range.location; k < range.end(); ++k) {
                model[k] = model[k].with(AttributeKey::kern, 1.0);
            }
            break;
        default:
            storage.removeAttribute(AttributeKey::kern, range);
            for (std::size_t k = range.location; k < range.end(); ++k) {
                model[k] = model[k].without(AttributeKey::kern);
            }
        }
        ASSERT_EQ(storage.string(), text);
        std::size_t position = 0;
        const auto runs = storage.attributeRuns(TextRange{0, storage.length()});
        for (std::size_t r = 0; r < runs.size(); ++r) {
            ASSERT_EQ(runs[r].range.location, position);
            if (r > 0) {
                ASSERT_NE(runs[r].attributes, runs[r - 1].attributes) << "neighbouring runs not merged";
            }
            for (std::size_t k = runs[r].range.location; k < runs[r].range.end(); ++k) {
                ASSERT_EQ(runs[r].attributes, model[k]) << "step " << step << " at " << k;
            }
            position = runs[r].range.end();
        }
        ASSERT_EQ(position, text.size());
    }
}

// Edits far apart and close together, reading the text through every way the storage offers, with
// the contiguous string asked for only now and then (asking joins the chunks, which would hide a fault
// in reading around it), and the runs checked against a per-character model.
TEST(TextStorageTests, TextAndRunsStayRightAcrossGapMoves) {
    std::mt19937 random(11);
    TextStorage storage(u"start", colour(0.1));
    std::u16string text = u"start";
    std::vector<Attributes> model(text.size(), colour(0.1));
    for (int step = 0; step < 2000; ++step) {
        const std::size_t location = random() % 5 == 0 ? random() % (text.size() + 1) : text.size() / 2;
        const std::size_t removed = std::min<std::size_t>(
            random() % 3 == 0 ? random() % (text.size() > 20000 ? 6000 : 50) : 0, text.size() - location);
        std::u16string inserted;
        const std::size_t count = random() % 8 == 0 ? random() % 5000 : random() % 3;
        for (std::size_t k = 0; k < count; ++k) {
            inserted += static_cast<char16_t>(u'a' + (step + k) % 26);
        }
        const Attributes attributes = colour(static_cast<double>(random() % 4) / 10);
        storage.replaceCharacters(TextRange{location, removed}, inserted, attributes);
        text.replace(location, removed, inserted);
        model.erase(model.begin() + static_cast<std::ptrdiff_t>(location),
                    model.begin() + static_cast<std::ptrdiff_t>(location + removed));
        model.insert(model.begin() + static_cast<std::ptrdiff_t>(location), inserted.size(), attributes);

        ASSERT_EQ(storage.length(), text.size());
        const std::size_t probe = text.empty() ? 0 : random() % text.size();
        if (!text.empty()) {
            ASSERT_EQ(storage.characterAt(probe), text[probe]) << "step " << step;
        }
        const std::size_t probeLength = std::min<std::size_t>(random() % 20000, text.size() - probe);
        ASSERT_EQ(storage.substring(TextRange{probe, probeLength}), text.substr(probe, probeLength)) << "step " << step;
        if (step % 97 == 0) {
            ASSERT_EQ(storage.string(), text) << "step " << step;
        }
        if (step % 89 == 0) {
            std::size_t position = 0;
            for (const AttributeRun &run : storage.attributeRuns(TextRange{0, storage.length()})) {
                ASSERT_EQ(run.range.location, position);
                for (std::size_t k = run.range.location; k < run.range.end(); ++k) {
                    ASSERT_EQ(run.attributes, model[k]) << "step " << step << " at " << k;
                }
                position = run.range.end();
            }
            ASSERT_EQ(position, text.size());
        }
    }
    const TextStorage copy(storage);
    EXPECT_EQ(copy.string(), text);
}

TEST(TextStorageTests, ReplacementTakenFromTheTextItself) {
    TextStorage storage(u"abcdef");
    storage.replaceCharacters(TextRange{6, 0}, u"xyz");
    const std::u16string &whole = storage.string();
    storage.replaceCharacters(TextRange{0, 1}, std::u16string_view(whole).substr(3, 4));
    EXPECT_EQ(storage.string(), u"defxbcdefxyz");
}

// A text of many chunks: edits that cross chunk boundaries, cut chunks and join them, pairs typed
// and deleted at boundaries, and hundreds of distinct attribute sets (so unused ones are dropped),
// checked against a per-character model through every reading function.
TEST(TextStorageTests, EditsAcrossChunksKeepTextRunsAndLongestRanges) {
    std::mt19937 random(23);
    std::u16string text(30000, u'a');
    TextStorage storage(text, colour(0.1));
    std::vector<Attributes> model(text.size(), colour(0.1));
    for (int step = 0; step < 1500; ++step) {
        const std::size_t location = random() % (text.size() + 1);
        const std::size_t reach = random() % 4 == 0 ? 9000 : 40;
        const std::size_t removed = std::min<std::size_t>(random() % reach, text.size() - location);
        // Distinct sets now and then, so that the storage's palette of sets grows and is collected.
        const Attributes attributes = random() % 3 == 0 ? colour(static_cast<double>(random() % 100000) / 100000)
                                                        : colour(static_cast<double>(random() % 3) / 10);
        if (random() % 2 == 0) {
            std::u16string inserted(random() % (random() % 10 == 0 ? 12000 : 6), u'b');
            if (!inserted.empty() && random() % 3 == 0) {
                inserted.back() = char16_t(0xD83D); // a lead surrogate, whose trail may follow later
            }
            if (!inserted.empty() && random() % 3 == 0) {
                inserted.front() = char16_t(0xDE00);
            }
            storage.replaceCharacters(TextRange{location, removed}, inserted, attributes);
            text.replace(location, removed, inserted);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(location),
                        model.begin() + static_cast<std::ptrdiff_t>(location + removed));
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(location), inserted.size(), attributes);
        } else {
            storage.setAttributes(attributes, TextRange{location, removed});
            std::fill(model.begin() + static_cast<std::ptrdiff_t>(location),
                      model.begin() + static_cast<std::ptrdiff_t>(location + removed), attributes);
        }
        ASSERT_EQ(storage.length(), text.size());
        std::u16string joined;
        const std::vector<std::u16string_view> pieces = storage.pieces();
        for (std::size_t index = 0; index < pieces.size(); ++index) {
            ASSERT_FALSE(pieces[index].empty());
            if (index + 1 < pieces.size()) {
                ASSERT_FALSE(pieces[index].back() >= 0xD800 && pieces[index].back() <= 0xDBFF &&
                             pieces[index + 1].front() >= 0xDC00 && pieces[index + 1].front() <= 0xDFFF)
                    << "a surrogate pair split between pieces, step " << step;
            }
            joined += pieces[index];
        }
        ASSERT_EQ(joined, text) << "step " << step;
        if (text.empty()) {
            continue;
        }
        const std::size_t probe = random() % text.size();
        ASSERT_EQ(storage.characterAt(probe), text[probe]);
        TextRange effective;
        ASSERT_EQ(storage.attributes(probe, &effective), model[probe]) << "step " << step;
        std::size_t first = probe;
        while (first > 0 && model[first - 1] == model[probe]) {
            --first;
        }
        std::size_t end = probe + 1;
        while (end < model.size() && model[end] == model[probe]) {
            ++end;
        }
        ASSERT_EQ(effective, rangeBetween(first, end)) << "the longest run at " << probe << ", step " << step;
        const TextRange limit =
            rangeBetween(probe - std::min<std::size_t>(probe, 5000), std::min(probe + 5000, text.size()));
        TextRange longest;
        storage.attribute(AttributeKey::foregroundColor, probe, &longest, limit);
        ASSERT_EQ(longest, intersection(rangeBetween(first, end), limit)) << "step " << step;
        // Searching for any of several units reads across chunks as a search of the joined text does.
        const std::u16string_view wanted = u"b\xD83D";
        const std::size_t after = text.find_first_of(wanted, probe);
        ASSERT_EQ(storage.findFirstOf(wanted, probe), after == std::u16string::npos ? text.size() : after);
        const std::size_t before = probe == 0 ? std::u16string::npos : text.find_last_of(wanted, probe - 1);
        ASSERT_EQ(storage.findLastOf(wanted, probe), before == std::u16string::npos ? TextRange::notFound : before);
        // Single units, forward and back: most chunks hold neither a "b" nor a trail surrogate, so these
        // searches skip chunks by the units they hold, and a chunk that gained a unit without claiming it
        // (typed in, joined from a neighbour, a trail moved to its pair) would hide it.
        for (const char16_t unit : {u'b', char16_t(0xDE00)}) {
            const std::size_t next = text.find(unit, probe);
            ASSERT_EQ(storage.findForward(unit, probe), next == std::u16string::npos ? text.size() : next);
            const std::size_t last = probe == 0 ? std::u16string::npos : text.rfind(unit, probe - 1);
            ASSERT_EQ(storage.findBackward(unit, probe), last == std::u16string::npos ? TextRange::notFound : last);
            const TextRange within = rangeBetween(probe / 2, probe);
            const bool lastWithin = last != std::u16string::npos && last >= within.location;
            ASSERT_EQ(storage.findBackward(unit, within), lastWithin ? last : TextRange::notFound) << "step " << step;
        }
        if (step % 50 == 0) {
            std::size_t position = 0;
            const std::vector<AttributeRun> runs = storage.attributeRuns(TextRange{0, storage.length()});
            for (std::size_t r = 0; r < runs.size(); ++r) {
                ASSERT_EQ(runs[r].range.location, position);
                ASSERT_TRUE(r == 0 || runs[r].attributes != runs[r - 1].attributes) << "runs not merged, step " << step;
                for (std::size_t k = runs[r].range.location; k < runs[r].range.end(); ++k) {
                    ASSERT_EQ(runs[r].attributes, model[k]) << "step " << step << " at " << k;
                }
                position = runs[r].range.end();
            }
            ASSERT_EQ(position, text.size());
        }
    }
}

// Adding attributes remembers what each merge gave by palette index: a palette collected or replaced
// by an assignment must not let an old merge answer for a set that now has another index.
TEST(TextStorageTests, AddedAttributesStayRightWhenThePaletteIsCollectedOrReplaced) {
    std::mt19937 random(31);
    const std::size_t length = 3000;
    TextStorage storage(std::u16string(length, u'a'), colour(0.1));
    std::vector<Attributes> model(length, colour(0.1));
    const Attributes kern{{AttributeKey::kern, 1.0}};
    for (int step = 0; step < 2000; ++step) {
        if (step % 400 == 399) {
            const double red = static_cast<double>(step % 7) / 10;
            storage = TextStorage(std::u16string(length, u'a'), colour(red));
            model.assign(length, colour(red));
        }
        const std::size_t location = random() % length;
        const TextRange range{location, std::min<std::size_t>(1 + random() % 30, length - location)};
        const auto update = [&](const auto &change) {
            for (std::size_t k = range.location; k < range.end(); ++k) {
                model[k] = change(model[k]);
            }
        };
        switch (random() % 4) {
        case 0: {
            // Many distinct colours, so that the palette grows past its limit and is collected.
            const Attributes distinct = colour(static_cast<double>(random() % 100000) / 100000);
            storage.setAttributes(distinct, range);
            update([&](const Attributes &) { return distinct; });
            break;
        }
        case 1:
            storage.addAttributes(kern, range);
            update([&](const Attributes &old) { return old.merging(kern); });
            break;
        case 2: {
            // A set and an entry of its own, as a link's address: the same as adding the set with the entry.
            const std::string address = "https://example.com/" + std::to_string(random() % 50);
            storage.addAttributes(kern, AttributeKey::link, address, range);
            update([&](const Attributes &old) { return old.merging(kern.with(AttributeKey::link, address)); });
            break;
        }
        default: {
            const std::int64_t style = random() % 2;
            storage.addAttribute(AttributeKey::underlineStyle, style, range);
            update([&](const Attributes &old) { return old.with(AttributeKey::underlineStyle, style); });
        }
        }
        if (step % 10 == 0) {
            for (const AttributeRun &run : storage.attributeRuns(TextRange{0, length})) {
                for (std::size_t k = run.range.location; k < run.range.end(); ++k) {
                    ASSERT_EQ(run.attributes, model[k]) << "step " << step << " at " << k;
                }
            }
        }
    }
}

TEST(TextStorageTests, TheJoinedTextTakesLittleMoreMemoryThanTheTextWhateverTheEdits) {
    constexpr std::size_t pageLength = 200'000;
    struct Case {
        const char *name;
        std::function<void(TextStorage &)> edit;
    };
    const std::vector<Case> cases{
        {"one typed character",
         [](TextStorage &s) {
             s.replaceCharacters({s.length() / 2, 0}, u"x");
         }},
        {"a thousand typed characters",
         [](TextStorage &s) {
             for (int k = 0; k < 1000; ++k) {
                 s.replaceCharacters({s.length() / 2, 0}, u"y");
                 (void)s.string();
             }
         }},
        {"a pasted page",
         [](TextStorage &s) {
             s.replaceCharacters({0, 0}, std::u16string(pageLength, u'p'));
         }},
        {"nine tenths deleted",
         [](TextStorage &s) {
             s.replaceCharacters({0, s.length() * 9 / 10}, u"");
         }},
    };
    for (const Case &c : cases) {
        TextStorage storage(std::u16string(pageLength, u'a'));
        (void)storage.string();
        c.edit(storage);
        const std::u16string &joined = storage.string();
        ASSERT_EQ(joined.size(), storage.length()) << c.name;
        EXPECT_LE(joined.capacity(), storage.length() + storage.length() / 4) << c.name;
    }
}

TEST(TextStorageTests, AnAttributeSetKeepsNoRoomBeyondItsEntries) {
    const Attributes prose{{AttributeKey::font, FontDescriptor{}},
                           {AttributeKey::foregroundColor, Color::sRGB(0, 0, 0)},
                           {AttributeKey::paragraphStyle, ParagraphStyle{}}};
    const Attributes link{{AttributeKey::foregroundColor, Color::system(SystemColorRole::systemBlue)},
                          {AttributeKey::link, std::string("https://example.com/a-page-of-its-own")},
                          {AttributeKey::underlineStyle, std::int64_t{1}}};
    struct Case {
        const char *name;
        Attributes made;
        std::size_t entries;
    };
    const std::vector<Case> cases{
        {"merged over shared keys", prose.merging(link), 5},
        {"a key replaced", prose.with(AttributeKey::foregroundColor, Color::sRGB(1, 0, 0)), 3},
        {"a key removed", prose.merging(link).without(AttributeKey::underlineStyle), 4},
    };
    // The bytes a set costs are bounded by AnAttributeSetCostsAFewHundredBytesWhateverTheSetItWasMadeFrom.
    for (const Case &c : cases) {
        EXPECT_EQ(c.made.entries().size(), c.entries) << c.name;
    }
}

TEST(TextStorageTests, SetsMadeFromASetShareItsColoursFontsAndParagraphStylesInsteadOfCopyingThem) {
    const Attributes prose{{AttributeKey::font, FontDescriptor{FontFamilyRole::system, 14}},
                           {AttributeKey::foregroundColor, Color::dynamic("text", {0, 0, 0}, {1, 1, 1})},
                           {AttributeKey::paragraphStyle, ParagraphStyle{.lineSpacing = 3}}};
    const Attributes underline{{AttributeKey::underlineStyle, std::int64_t{1}}};
    struct Case {
        const char *name;
        Attributes made;
    };
    const std::vector<Case> cases{
        {"a link added", prose.with(AttributeKey::link, std::string("https://example.com/1"))},
        {"another link added", prose.with(AttributeKey::link, std::string("https://example.com/2"))},
        {"merged under another set", prose.merging(underline)},
        {"merged over another set", underline.merging(prose)},
        {"a key removed", prose.merging(underline).without(AttributeKey::underlineStyle).with(AttributeKey::kern, 1.0)},
    };
    const auto *font = attributeValueAs<FontDescriptor>(prose.find(AttributeKey::font));
    const auto *color = attributeValueAs<Color>(prose.find(AttributeKey::foregroundColor));
    const auto *style = attributeValueAs<ParagraphStyle>(prose.find(AttributeKey::paragraphStyle));
    for (const Case &c : cases) {
        EXPECT_EQ(attributeValueAs<FontDescriptor>(c.made.find(AttributeKey::font)), font) << c.name;
        EXPECT_EQ(attributeValueAs<Color>(c.made.find(AttributeKey::foregroundColor)), color) << c.name;
        EXPECT_EQ(attributeValueAs<ParagraphStyle>(c.made.find(AttributeKey::paragraphStyle)), style) << c.name;
    }
    // Shared or not, values compare by what they hold: equal values made apart give the one interned set.
    const Attributes again{{AttributeKey::font, FontDescriptor{FontFamilyRole::system, 14}},
                           {AttributeKey::foregroundColor, Color::dynamic("text", {0, 0, 0}, {1, 1, 1})},
                           {AttributeKey::paragraphStyle, ParagraphStyle{.lineSpacing = 3}}};
    EXPECT_EQ(again.identity(), prose.identity());
    EXPECT_EQ(attributeValueAs<Color>(prose.find(AttributeKey::font)), nullptr) << "a font is no colour";
}

TEST(TextStorageTests, AForgottenJoinedTextIsJoinedAgainWhenNextAskedFor) {
    TextStorage storage(u"first line\nsecond line");
    const std::u16string &joined = storage.string();
    storage.forgetJoinedText();
    EXPECT_LT(joined.capacity(), 8u) << "the joined text's memory is freed, not kept for the next join";
    EXPECT_EQ(storage.string(), u"first line\nsecond line");
    storage.forgetJoinedText();
    storage.replaceCharacters({0, 5}, u"one");
    EXPECT_EQ(storage.string(), u"one line\nsecond line");
}

TEST(TextStorageTests, AnAttributeSetCostsAFewHundredBytesWhateverTheSetItWasMadeFrom) {
    if (!velto::testing::heapBytesInUse()) {
        GTEST_SKIP() << "needs the address sanitizer's count of heap bytes";
    }
    const Attributes prose{{AttributeKey::font, FontDescriptor{FontFamilyRole::system, 14}},
                           {AttributeKey::foregroundColor, Color::dynamic("text", {0, 0, 0}, {1, 1, 1})},
                           {AttributeKey::paragraphStyle, ParagraphStyle{.lineSpacing = 3}},
                           {AttributeKey::ligature, std::int64_t{1}}};
    constexpr int count = 2000;
    std::vector<Attributes> links;
    for (int k = 0; k < count; ++k) {
        links.push_back(Attributes{{AttributeKey::foregroundColor, Color::system(SystemColorRole::systemBlue)},
                                   {AttributeKey::link, "https://example.com/items/" + std::to_string(k)},
                                   {AttributeKey::underlineStyle, std::int64_t{1}}});
    }
    // A page holds tens of thousands of sets that differ in one value (a link's address, a highlighting
    // generation): each must cost its entries and a little bookkeeping, not copies of the values it shares
    // nor a block of reference counts beside it, nor a second word for each shared value, nor a list of
    // entries in a block of its own.
    const struct {
        const char *name;
        std::function<Attributes(int)> made;
        std::size_t bound; // bytes per set
    } cases[] = {
        {"a link added", [&](int k) { return prose.with(AttributeKey::link, *links[k].find(AttributeKey::link)); },
         195},
        {"a link merged over", [&](int k) { return prose.merging(links[k]); }, 275},
        {"a generation added",
         [&](int k) { return prose.with(AttributeKey::veltoCodeSyntaxGeneration, std::uint64_t(k)); }, 205},
    };
    // What the earlier tests of the process left must not count: each round runs on a thread of its own, whose
    // memo of merges starts empty (another thread's could fill up and be cleared in the middle of the round),
    // and after a round that made the same sets, so that the intern table has room for them (growing it costs
    // what the size it was left at costs, not what a set costs).
    const auto bytesPerSet = [&](const std::function<Attributes(int)> &made) {
        std::size_t perSet = 0;
        std::thread round([&] {
            std::vector<Attributes> kept;
            kept.reserve(count);
            const std::size_t before = *velto::testing::heapBytesInUse();
            for (int k = 0; k < count; ++k) {
                kept.push_back(made(k));
            }
            perSet = (*velto::testing::heapBytesInUse() - before) / count;
        });
        round.join();
        return perSet;
    };
    for (const auto &c : cases) {
        bytesPerSet(c.made);
        EXPECT_LE(bytesPerSet(c.made), c.bound) << c.name;
    }
}

TEST(TextStorageTests, ALinksAddressCostsItsCharactersAndACountOfHolders) {
    if (!velto::testing::heapBytesInUse()) {
        GTEST_SKIP() << "needs the address sanitizer's count of heap bytes";
    }
    // A page holds hundreds of thousands of link addresses, each shared by the sets of its link's runs: an
    // address must cost one block of its characters and its count, not a string object beside the count.
    const struct {
        const char *name;
        std::size_t length;
    } cases[] = {{"short", 9}, {"usual", 40}, {"long", 400}};
    for (const auto &c : cases) {
        constexpr int count = 1000;
        std::vector<AttributeValue> addresses;
        addresses.reserve(count);
        const std::size_t before = *velto::testing::heapBytesInUse();
        for (int k = 0; k < count; ++k) {
            std::string address = "https://example.com/" + std::to_string(k);
            address.resize(c.length, 'x');
            addresses.emplace_back(SharedText(address));
        }
        const std::size_t perAddress = (*velto::testing::heapBytesInUse() - before) / count;
        EXPECT_LE(perAddress, c.length + 8) << c.name;
        EXPECT_EQ(attributeValueAs<std::string>(&addresses.back())->view().size(), c.length) << c.name;
    }
}

// A styled copy of part of a text goes back in one walk over the runs: the result is what setting every run of the
// copy one by one gives, wherever the part starts and ends among the chunks and the runs around it.
TEST(TextStorageTests, AStorageSetOverARangeGivesItTheSourcesRunsAsSettingThemOneByOneDoes) {
    std::mt19937 random(45);
    const auto randomRuns = [&random](TextStorage &storage, int runs) {
        for (int run = 0; run < runs; ++run) {
            const std::size_t start = random() % storage.length();
            const std::size_t length = std::min<std::size_t>(1 + random() % 300, storage.length() - start);
            storage.setAttributes(colour(0.1 * static_cast<double>(random() % 5)), TextRange{start, length});
        }
    };
    struct Case {
        const char *what;
        std::size_t offset;
        std::size_t length;
        int sourceRuns;
    };
    const std::vector<Case> cases{
        {"at the start", 0, 2'500, 40},
        {"from a chunk's middle over several chunks", 700, 4'000, 80},
        {"to the text's end", 9'000 - 1'234, 1'234, 20},
        {"one unit", 4'321, 1, 1},
        {"in one plain run", 5'000, 300, 0},
        {"the whole text", 0, 9'000, 200},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TextStorage storage(std::u16string(9'000, u'a'));
        randomRuns(storage, 150);
        TextStorage source(std::u16string(c.length, u'b'));
        if (c.sourceRuns > 0) {
            randomRuns(source, c.sourceRuns);
        }
        source.setAttributes(colour(0.9).with(AttributeKey::veltoCodeBlock, Color::sRGB(0, 0, 1)),
                             TextRange{c.length / 2, 1});
        TextStorage expected(storage.string());
        expected.setAttributes(Attributes(), TextRange{0, expected.length()});
        for (const AttributeRun &run : storage.attributeRuns(TextRange{0, storage.length()})) {
            expected.setAttributes(run.attributes, run.range);
        }
        for (const AttributeRun &run : source.attributeRuns(TextRange{0, source.length()})) {
            expected.setAttributes(run.attributes, TextRange{c.offset + run.range.location, run.range.length});
        }
        storage.beginEditing();
        storage.setAttributes(source, c.offset);
        storage.endEditing();
        EXPECT_EQ(runsOf(storage), runsOf(expected));
        ASSERT_TRUE(storage.lastEditingSummary().has_value());
        EXPECT_TRUE(storage.lastEditingSummary()->attributesOnly);
        EXPECT_EQ(storage.lastEditingSummary()->editedRange, (TextRange{c.offset, c.length}));
        // Every run starts where the one before it ends, and none is empty.
        std::size_t end = 0;
        for (const AttributeRun &run : storage.attributeRuns(TextRange{0, storage.length()})) {
            EXPECT_EQ(run.range.location, end);
            EXPECT_GT(run.range.length, 0u);
            end = run.range.end();
        }
        EXPECT_EQ(end, storage.length());
    }
}
