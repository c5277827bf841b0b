#include "editor/markdown/MarkdownCodeTokenIndex.h"
#include "editor/markdown/MarkdownStyler.h"

#include "editor/MarkdownSamples.h"
#include "editor/StructurePrinting.h"
#include "editor/text/EditorSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

using namespace velto::editor;
namespace Scanner = velto::editor::MarkdownSyntaxScanner;

// Random edit sequences on generated Markdown: after every edit (or group of edits) and the
// incremental pass the editor runs, the storage must hold exactly the text of a model string and
// exactly the runs a full pass over that text gives, and the code index kept through the edits must
// describe the text as a fresh scan does. The edits open, close and move fences and code spans across
// lines, make and unmake setext headings, and mix carriage returns and CRLF into the line breaks.
// VELTO_LONG_PROPERTY_TESTS=1 runs many more and longer sequences.

namespace {

bool longRun() {
    const char *value = std::getenv("VELTO_LONG_PROPERTY_TESTS");
    return value != nullptr && *value != '\0' && *value != '0';
}

std::vector<Attributes> perCharacter(const TextStorage &storage) {
    std::vector<Attributes> attributes;
    for (const AttributeRun &run : storage.attributeRuns(TextRange{0, storage.length()})) {
        attributes.insert(attributes.end(), run.range.length, run.attributes);
    }
    return attributes;
}

/// Generated Markdown with some of its line feeds turned into carriage returns or CRLF pairs.
std::u16string mixedLineBreaks(std::u16string text, std::mt19937 &random, unsigned share) {
    std::u16string mixed;
    for (const char16_t unit : text) {
        if (unit == u'\n' && random() % 100 < share) {
            mixed += random() % 2 ? u"\r" : u"\r\n";
        } else {
            mixed += unit;
        }
    }
    return mixed;
}

std::u16string randomInsertion(std::mt19937 &random) {
    static const char16_t *const pieces[] = {
        u"```",
        u"```js\n",
        u"\n```\n",
        u"~~~",
        u"~~~~\n",
        u"`",
        u"``",
        u"\\`",
        u"\n",
        u"\r",
        u"\r\n",
        u"\n\n",
        u"===",
        u"\n===",
        u"---",
        u"#",
        u"# ",
        u"x",
        u"word",
        u"*",
        u"**",
        u"_",
        u"~~",
        u"\\",
        u"> ",
        u"- ",
        u"- [ ] ",
        u" ",
        u"\t",
        u"\u2028",
        u"[a](https://x.y)",
        u"https://velto.example/z.",
        u"    ",
    };
    return pieces[random() % std::size(pieces)];
}

class Editing {
public:
    /// With `largeEdits`, some edits remove, move or insert thousands of units, across the storage's
    /// chunks and the code index's blocks of items.
    Editing(std::u16string text, std::mt19937 &random, bool largeEdits = false)
        : storage_(text)
        , model_(std::move(text))
        , random_(random)
        , largeEdits_(largeEdits) {
        MarkdownStyler::apply(storage_);
    }

    /// One to three random edits in one editing group, then the incremental pass over what they changed.
    void editAndStyle() {
        storage_.beginEditing();
        const int edits = random_() % 4 == 0 ? 2 + static_cast<int>(random_() % 2) : 1;
        for (int k = 0; k < edits; ++k) {
            editOnce();
        }
        storage_.endEditing();
        const std::optional<EditingSummary> summary = storage_.lastEditingSummary();
        MarkdownStyler::apply(storage_, summary ? summary->editedRange : TextRange{0, 0});
    }

    const TextStorage &storage() const { return storage_; }
    const std::u16string &model() const { return model_; }

private:
    void editOnce() {
        const std::size_t length = model_.size();
        std::size_t location = random_() % (length + 1);
        if (random_() % 3 == 0) {
            // Edits near line starts make and break fences, headings and underlines.
            while (location > 0 && model_[location - 1] != u'\n' && model_[location - 1] != u'\r') {
                --location;
            }
        }
        const std::size_t reach = largeEdits_ && random_() % 6 == 0 ? 5000 : 12;
        const std::size_t removed =
            std::min<std::size_t>(random_() % 3 == 0 ? random_() % reach : 0, length - location);
        std::u16string inserted = random_() % 5 == 0 ? u"" : randomInsertion(random_);
        if (largeEdits_ && random_() % 10 == 0) {
            // A pasted copy of another part of the page.
            const std::size_t from = random_() % (length + 1);
            inserted = model_.substr(from, random_() % 6000);
        }
        if (random_() % 8 == 0 && removed > 0) {
            // Move the removed text elsewhere: a code span or a fence travels across lines.
            inserted = model_.substr(location, removed);
            replace(TextRange{location, removed}, u"");
            replace(TextRange{random_() % (model_.size() + 1), 0}, inserted);
            return;
        }
        replace(TextRange{location, removed}, inserted);
    }

    void replace(TextRange range, const std::u16string &inserted) {
        storage_.replaceCharacters(range, inserted);
        model_.replace(range.location, range.length, inserted);
    }

    TextStorage storage_;
    std::u16string model_;
    std::mt19937 &random_;
    bool largeEdits_;
};

/// The storage's runs, unit by unit, equal those of a fresh storage of the same text styled in full.
void expectStyledAsAFullPass(const Editing &editing, int document, int step) {
    TextStorage fresh(editing.model());
    MarkdownStyler::apply(fresh);
    const std::vector<Attributes> expected = perCharacter(fresh);
    const std::vector<Attributes> actual = perCharacter(editing.storage());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        ASSERT_EQ(actual[k], expected[k]) << "document " << document << " step " << step << ": at " << k;
    }
}

class MarkdownStylerPropertyTests : public ::testing::Test {};

} // namespace

TEST_F(MarkdownStylerPropertyTests, IncrementalPassesAfterRandomEditsEqualAFullPass) {
    const int documents = longRun() ? 60 : 6;
    const int steps = longRun() ? 600 : 120;
    for (int document = 0; document < documents; ++document) {
        std::mt19937 random(100 + static_cast<unsigned>(document));
        const unsigned breakShare = document % 3 == 0 ? 0 : 30;
        Editing editing(mixedLineBreaks(samples::generatedMarkdown(1500, document + 1), random, breakShare), random);
        for (int step = 0; step < steps; ++step) {
            editing.editAndStyle();
            const TextStorage &storage = editing.storage();
            ASSERT_EQ(storage.length(), editing.model().size());
            ASSERT_EQ(storage.substring(TextRange{0, storage.length()}), editing.model());
            ASSERT_NO_FATAL_FAILURE(expectStyledAsAFullPass(editing, document, step));
        }
    }
}

// Pages of many storage chunks and many code items: edits within one chunk and across several, chunks
// cut and joined, blocks of index items split and merged; styling and the code index must stay those
// of the text.
TEST_F(MarkdownStylerPropertyTests, IncrementalPassesOverManyChunksEqualAFullPass) {
    const int documents = longRun() ? 12 : 2;
    const int steps = longRun() ? 400 : 80;
    for (int document = 0; document < documents; ++document) {
        std::mt19937 random(500 + static_cast<unsigned>(document));
        Editing editing(mixedLineBreaks(samples::generatedMarkdown(14000, document + 3), random, 20), random, true);
        for (int step = 0; step < steps; ++step) {
            editing.editAndStyle();
            const TextStorage &storage = editing.storage();
            ASSERT_EQ(storage.substring(TextRange{0, storage.length()}), editing.model());
            ASSERT_EQ(MarkdownStyler::fencedBlocks(storage), Scanner::fencedCodeScan(editing.model()).blocks)
                << "document " << document << " step " << step;
            ASSERT_NO_FATAL_FAILURE(expectStyledAsAFullPass(editing, document, step));
        }
    }
}

// The index kept through the same kind of edits, without styling, against a fresh scan; and what it
// reports as changed covers every block and span that is new.
TEST_F(MarkdownStylerPropertyTests, CodeIndexKeptThroughEditsEqualsARebuild) {
    const int documents = longRun() ? 60 : 8;
    const int steps = longRun() ? 600 : 150;
    for (int document = 0; document < documents; ++document) {
        std::mt19937 random(300 + static_cast<unsigned>(document));
        TextStorage storage(mixedLineBreaks(samples::generatedMarkdown(1200, document + 7), random, 25));
        MarkdownCodeTokenIndex index(storage.string());
        index.takeStructureChange();
        std::uint64_t indexed = storage.characterVersion();
        for (int step = 0; step < steps; ++step) {
            const std::size_t location = random() % (storage.length() + 1);
            const std::size_t removed = std::min<std::size_t>(random() % 4, storage.length() - location);
            const std::u16string inserted = random() % 4 ? randomInsertion(random) : u"";
            storage.replaceCharacters(TextRange{location, removed}, inserted);
            const DocumentStructure before = index.structure();
            index.update(storage, *storage.characterEditsSince(indexed));
            indexed = storage.characterVersion();

            const DocumentStructure expected = Scanner::structure(storage.string());
            const DocumentStructure kept = index.structure();
            ASSERT_EQ(kept.fencedBlocks, expected.fencedBlocks) << "document " << document << " step " << step;
            ASSERT_EQ(kept.inlineCodeSpans, expected.inlineCodeSpans) << "document " << document << " step " << step;
            ASSERT_EQ(index.isBalanced(), Scanner::fencedCodeScan(storage.string()).isBalanced);
            // Every span that is not an old one carried along by the edit must lie in the reported change.
            const EditMapping mapping(CharacterEdit{location, removed, inserted.size()});
            std::vector<InlineCodeSpan> carried;
            for (InlineCodeSpan span : before.inlineCodeSpans) {
                if (span.fullRange.location >= mapping.oldEnd) {
                    span.fullRange.location = span.fullRange.location + inserted.size() - removed;
                    span.contentRange.location = span.contentRange.location + inserted.size() - removed;
                } else if (span.fullRange.location < location && span.fullRange.end() > location) {
                    span.fullRange = mapping.range(span.fullRange);
                    span.contentRange = mapping.range(span.contentRange);
                }
                carried.push_back(span);
            }
            const std::optional<TextRange> changed = index.takeStructureChange();
            for (const InlineCodeSpan &span : kept.inlineCodeSpans) {
                if (std::find(carried.begin(), carried.end(), span) == carried.end()) {
                    ASSERT_TRUE(changed && changed->location <= span.fullRange.location &&
                                changed->end() >= span.fullRange.end())
                        << "document " << document << " step " << step << ": " << span << " not reported";
                }
            }
        }
    }
}

namespace {

bool isLetter(char16_t unit) {
    return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z');
}

/// A long single line of inline constructs, sometimes inside a heading, quote or list item and with
/// a line around it.
std::u16string longInlineLine(std::mt19937 &random, std::size_t units) {
    static const char16_t *const starts[] = {u"", u"# ", u"> ", u"- ", u"1. ", u"- [ ] "};
    std::u16string line = starts[random() % std::size(starts)];
    while (line.size() < units) {
        line += samples::inlineLine(random) + u" ";
    }
    switch (random() % 3) {
    case 0:
        return line;
    case 1:
        return u"before\n" + line + u"\n===\nafter";
    default:
        return line + u"\nabc";
    }
}

/// A keystroke: mostly letters typed or deleted among letters, sometimes a delimiter that opens or
/// closes emphasis, a code span or a link anywhere on the line, a blank that splits a word, or a
/// line break other than a line feed that starts a heading, quote, list item, rule or fence inside the line.
void longLineKeystroke(TextStorage &storage, std::u16string &model, std::mt19937 &random) {
    static const char16_t *const delimiters[] = {
        u"*",  u"**", u"_", u"__", u"~~",   u"`",  u"``", u"[",    u"](",   u")",    u"(",         u"!",    u":",
        u"\\", u" ",  u"#", u"<",  u"x://", u"\n", u"\r", u"\r# ", u"\r> ", u"\r- ", u"\u2028---", u"\r```"};
    static const char16_t *const letters[] = {u"x", u"ab", u"Q", u"word"};
    std::size_t location = random() % (model.size() + 1);
    if (random() % 4 != 0) {
        // Most keystrokes land among letters, as typing does.
        const auto endsLetters = [&model](std::size_t at) {
            return at > 0 && isLetter(model[at - 1]) &&
                   (at == model.size() || isLetter(model[at]) || model[at] == u' ' || model[at] == u'\n');
        };
        while (location < model.size() && !endsLetters(location)) {
            ++location;
        }
    }
    std::size_t removed = 0;
    std::u16string inserted;
    const unsigned kind = random() % 10;
    if (kind < 4) {
        inserted = letters[random() % std::size(letters)];
    } else if (kind < 7) {
        removed = std::min<std::size_t>(1 + random() % 3, model.size() - location);
    } else if (kind < 8) {
        removed = std::min<std::size_t>(1 + random() % 2, model.size() - location);
        inserted = letters[random() % std::size(letters)];
    } else {
        removed = random() % 4 == 0 ? std::min<std::size_t>(1, model.size() - location) : 0;
        inserted = delimiters[random() % std::size(delimiters)];
    }
    storage.replaceCharacters(TextRange{location, removed}, inserted);
    model.replace(location, removed, inserted);
}

/// Now and then a few more letters or blanks typed after the last keystroke, as a fast typist types
/// them before the editor's next pass. Returns what the keystroke and they changed, as the editor
/// gathers the range it styles.
TextRange typedOnBeforeAPass(TextStorage &storage, std::u16string &model, std::mt19937 &typing) {
    const CharacterEdit last = storage.characterEditsSince(storage.characterVersion() - 1)->front();
    std::size_t caret = last.location + last.newLength;
    for (unsigned key = typing() % 3 == 0 ? 1 + typing() % 4 : 0; key > 0; --key) {
        const std::u16string typed(1, typing() % 4 == 0 ? u' ' : static_cast<char16_t>(u'a' + typing() % 26));
        storage.replaceCharacters(TextRange{caret, 0}, typed);
        model.insert(caret, typed);
        ++caret;
    }
    return rangeBetween(last.location, caret);
}

} // namespace

// Single lines of tens of kilobytes full of emphasis, strong text, strike-through, code spans, links,
// images and bare addresses: keystrokes are styled as the editor styles them, one or a few typed
// before each pass, and the runs must equal a full pass after every pass, whether it restyled the
// line or only a window of it.
TEST_F(MarkdownStylerPropertyTests, KeystrokesInLongLinesEqualAFullPass) {
    const int documents = longRun() ? 8 : 3;
    const int steps = longRun() ? 250 : 90;
    const std::size_t lineLength = longRun() ? 40000 : 12000;
    int windows = 0;
    int windowsAfterSeveralKeystrokes = 0;
    for (int document = 0; document < documents; ++document) {
        std::mt19937 random(700 + static_cast<unsigned>(document));
        std::mt19937 typing(500 + static_cast<unsigned>(document));
        std::u16string model = longInlineLine(random, lineLength);
        TextStorage storage(model);
        MarkdownStyler::apply(storage);
        for (int step = 0; step < steps; ++step) {
            const std::uint64_t versionBefore = storage.characterVersion();
            longLineKeystroke(storage, model, random);
            const TextRange edited = typedOnBeforeAPass(storage, model, typing);
            const bool severalKeystrokes = storage.characterVersion() > versionBefore + 1;
            const TextRange restyled = MarkdownStyler::apply(storage, edited);
            const bool window = restyled.length < lineLength / 2;
            windows += window ? 1 : 0;
            windowsAfterSeveralKeystrokes += window && severalKeystrokes ? 1 : 0;
            ASSERT_EQ(storage.substring(TextRange{0, storage.length()}), model);
            TextStorage fresh(model);
            MarkdownStyler::apply(fresh);
            const std::vector<Attributes> expected = perCharacter(fresh);
            const std::vector<Attributes> actual = perCharacter(storage);
            for (std::size_t k = 0; k < expected.size(); ++k) {
                ASSERT_EQ(actual[k], expected[k]) << "document " << document << " step " << step << ": at " << k;
            }
        }
    }
    // Many keystrokes were restyled through a window of their line, so both ways of styling were checked,
    // and so were windows over several keystrokes.
    EXPECT_GT(windows, documents * steps / 4);
    EXPECT_GT(windowsAfterSeveralKeystrokes, documents * steps / 30);
}
