// Handing the editor's text over to the store's UTF-8 copy compares only around the edits made since the last
// hand-over, and gives the very change the whole comparison gives.
#include "editor/text/HandedOverText.h"

#include "RandomMixedText.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using velto::editor::HandedOverText;
using velto::editor::TextRange;
using velto::editor::TextStorage;
using velto::editor::UTF8Change;
using velto::editor::utf8Change;
using velto::text::toUTF8;

/// The store's copy of the page as the test keeps it: its text, and a version that changes with it.
struct StoreCopy {
    std::string text;
    std::uint64_t version = 1;
};

/// Hands the storage's text over to the copy, checking the change against the whole comparison; answers whether
/// only the text around the edits was compared.
bool handOver(HandedOverText &handedOver, const TextStorage &storage, StoreCopy &copy) {
    const UTF8Change expected = utf8Change(storage.pieces(), copy.text);
    const UTF8Change change = handedOver.changeFrom(storage, copy.text, copy.version);
    EXPECT_EQ(change, expected);
    copy.text.replace(change.location, change.length, change.replacement);
    copy.version += 1;
    handedOver.changeTaken(storage, copy.version, copy.text.size());
    EXPECT_EQ(copy.text, toUTF8(storage.string()));
    return handedOver.comparedAroundEdits();
}

std::u16string pageOf(std::size_t lines) {
    std::u16string page;
    for (std::size_t line = 0; line < lines; ++line) {
        page += u"- [ ] a line with `code`, caf\u00e9 and \U0001F600 \u4e2d\n";
    }
    return page;
}

// Typing, deleting across chunks, pasting long text, undoing by putting removed text back and texts with
// surrogates everywhere: each hand-over after the first compares around the edits, and gives the whole
// comparison's change.
TEST(HandedOverText, RandomEditsBetweenHandOversGiveTheWholeComparisonsChange) {
    velto::testing::RandomMixedText random(
        28, {u"a", u" ", u"\n", u"\u00e9", u"\u4e2d", u"\U0001F600", u"\xD83D", u"\xDE00", u"the quick brown fox "});
    auto pick = [&](std::size_t below) { return random.pick(below); };
    auto randomText = [&](std::size_t units) { return random.text(units); };
    TextStorage storage(pageOf(2000));
    StoreCopy copy{toUTF8(storage.string())};
    HandedOverText handedOver;
    EXPECT_FALSE(handOver(handedOver, storage, copy)) << "nothing was handed over before";
    std::size_t caret = storage.length() / 2;
    for (int round = 0; round < 300; ++round) {
        const std::size_t edits = pick(6);
        for (std::size_t edit = 0; edit < edits; ++edit) {
            caret = pick(5) == 0 ? pick(storage.length() + 1) : std::min(caret, storage.length());
            const std::size_t removed = pick(8) == 0 ? pick(std::min<std::size_t>(storage.length() - caret, 5000) + 1)
                                                     : pick(std::min<std::size_t>(storage.length() - caret, 2) + 1);
            const std::u16string removedText = storage.substring(TextRange{caret, removed});
            std::u16string inserted = pick(10) == 0 ? randomText(pick(9000)) : randomText(pick(3));
            storage.replaceCharacters(TextRange{caret, removed}, inserted);
            if (pick(4) == 0) { // undone
                storage.replaceCharacters(TextRange{caret, inserted.size()}, removedText);
                inserted = removedText;
            }
            caret += inserted.size();
        }
        ASSERT_TRUE(handOver(handedOver, storage, copy)) << "round " << round;
    }
}

/// Whether every place the hand-over keeps names the byte where its unit's text ends in the storage's UTF-8.
void expectOffsetsOf(const HandedOverText &handedOver, const TextStorage &storage, const std::string &name) {
    const std::u16string text = storage.string();
    for (const velto::editor::UnitAndByte &point : handedOver.offsets().points()) {
        ASSERT_EQ(point.byte, velto::text::utf8Length(std::u16string_view(text).substr(0, point.unit)))
            << name << ": unit " << point.unit;
    }
    EXPECT_EQ(handedOver.offsets().end().unit, text.size()) << name;
    EXPECT_EQ(handedOver.offsets().end().byte, velto::text::utf8Length(text)) << name;
}

// The first hand-over compares whole and keeps where the units fall from what that comparison read: the
// places are exact wherever the edit lies, and the next hand-over, around the edits, builds on them.
TEST(HandedOverText, TheWholeComparisonLeavesExactPlacesForTheNextHandOver) {
    struct Edit {
        const char *name;
        double at; // where in the page, from 0 (its start) to 1 (its end)
        std::size_t removed;
        std::u16string inserted;
    };
    const std::vector<Edit> edits{
        {"typed at the start", 0, 0, u"typed "},
        {"typed in the middle", 0.5, 0, u"words"},
        {"typed at the end", 1, 0, u"the end"},
        {"multi-byte characters", 0.3, 0, u"\u00e9\u4e2d\U0001F600"},
        {"a deletion", 0.5, 40, u""},
        {"a replacement across a line", 0.5, 60, u"new\nlines \U0001F601"},
        {"nothing changed", 0, 0, u""},
        {"a paste longer than the spacing of places", 0.25, 0, pageOf(300)},
    };
    for (const Edit &edit : edits) {
        TextStorage storage(pageOf(1500));
        StoreCopy copy{toUTF8(storage.string())};
        const auto location = static_cast<std::size_t>(edit.at * static_cast<double>(storage.length() - edit.removed));
        storage.replaceCharacters(TextRange{location, edit.removed}, edit.inserted);
        HandedOverText handedOver;
        EXPECT_FALSE(handOver(handedOver, storage, copy)) << edit.name;
        expectOffsetsOf(handedOver, storage, edit.name);
        storage.replaceCharacters(TextRange{storage.length() * 2 / 3, 1}, u"\u00e9x");
        EXPECT_TRUE(handOver(handedOver, storage, copy)) << edit.name;
        expectOffsetsOf(handedOver, storage, std::string(edit.name) + ", then typed");
    }
}

// Whenever what was handed over last is not known for sure, the text and the copy are compared whole.
TEST(HandedOverText, ComparesWholeWhenTheLastHandOverIsNotKnown) {
    struct Road {
        const char *name;
        std::function<void(TextStorage &, StoreCopy &)> take;
    };
    const std::vector<Road> roads{
        {"the copy changed by another writer",
         [](TextStorage &, StoreCopy &copy) {
             copy.text.insert(copy.text.size() / 3, "another writer's line\n");
             copy.version += 1;
         }},
        {"more edits than the storage remembers",
         [](TextStorage &storage, StoreCopy &) {
             for (int typed = 0; typed < 100; ++typed) {
                 storage.replaceCharacters(TextRange{500, 0}, u"x");
             }
         }},
        {"the storage given a text anew",
         [](TextStorage &storage, StoreCopy &) { storage = TextStorage(pageOf(1500) + u"the end"); }},
    };
    for (const Road &road : roads) {
        TextStorage storage(pageOf(1500));
        StoreCopy copy{toUTF8(storage.string())};
        HandedOverText handedOver;
        handOver(handedOver, storage, copy);
        storage.replaceCharacters(TextRange{100, 0}, u"typed");
        road.take(storage, copy);
        EXPECT_FALSE(handOver(handedOver, storage, copy)) << road.name;
        storage.replaceCharacters(TextRange{200, 3}, u"\U0001F601");
        EXPECT_TRUE(handOver(handedOver, storage, copy)) << road.name << ": the hand-over after is known again";
    }

    TextStorage storage(pageOf(100));
    StoreCopy copy{toUTF8(storage.string())};
    HandedOverText handedOver;
    handOver(handedOver, storage, copy);
    TextStorage another(pageOf(100));
    another.replaceCharacters(TextRange{0, 0}, u"x");
    EXPECT_FALSE(handOver(handedOver, another, copy)) << "another storage";
}

} // namespace
