#include "editor/markdown/MarkdownStyler.h"

#include "editor/AttributeDump.h"
#include "editor/MarkdownSamples.h"
#include "editor/markdown/MarkdownStylerMemory.h"
#include "editor/text/EditorSettings.h"

#include <gtest/gtest.h>

#include <random>

using namespace velto::editor;
using velto::editor::testing::dumpRuns;

namespace {

class MarkdownStylerIncrementalTests : public ::testing::Test {
protected:
    static TextStorage styled(std::u16string text) {
        TextStorage storage(std::move(text));
        MarkdownStyler::apply(storage);
        return storage;
    }

    static std::vector<Attributes> perCharacter(const TextStorage &storage) {
        std::vector<Attributes> attributes;
        for (const AttributeRun &run : storage.attributeRuns(TextRange{0, storage.length()})) {
            attributes.insert(attributes.end(), run.range.length, run.attributes);
        }
        return attributes;
    }

    static double fontSizeAt(const TextStorage &storage, std::size_t location) {
        return attributeValueAs<FontDescriptor>(storage.attribute(AttributeKey::font, location))->pointSize;
    }
};

} // namespace

// One keystroke at a time over generated Markdown: the incremental pass must leave everything
// outside its region as it was, style the region as a full pass of the whole text styles it, and never
// touch the text. (Outside the region a full pass may differ: a backtick typed here changes how every
// later backtick run pairs up, and the incremental pass by design restyles only around the edit.)
TEST_F(MarkdownStylerIncrementalTests, RandomKeystrokesMatchFullPassInsideRegionAndLeaveTheRestAlone) {
    std::mt19937 random(5);
    TextStorage storage = styled(samples::generatedMarkdown(2500, 3));
    const std::u16string typed = u"a #*_-=>[]()!.:/\\ 1`~";
    for (int step = 0; step < 300; ++step) {
        const std::u16string &text = storage.string();
        const std::size_t position = random() % (text.size() + 1);
        TextRange edited{position, 0};
        if (random() % 3 == 0 && position < text.size()) {
            storage.replaceCharacters(TextRange{position, 1}, u"");
        } else if (random() % 5 == 0) {
            storage.replaceCharacters(TextRange{position, 0}, u"\n");
            edited.length = 1;
        } else {
            storage.replaceCharacters(TextRange{position, 0}, std::u16string(1, typed[random() % typed.size()]));
            edited.length = 1;
        }
        const std::u16string textBefore = storage.string();
        const std::vector<Attributes> before = perCharacter(storage);

        const TextRange region = MarkdownStyler::apply(storage, edited);

        ASSERT_EQ(storage.string(), textBefore) << "styling changed the text";
        ASSERT_TRUE(region.location <= edited.location && region.end() >= edited.end());
        const std::vector<Attributes> after = perCharacter(storage);
        for (std::size_t k = 0; k < after.size(); ++k) {
            if (!region.contains(k)) {
                ASSERT_EQ(after[k], before[k]) << "step " << step << ": attribute outside the region changed at " << k;
            }
        }
        const std::vector<Attributes> full = perCharacter(styled(storage.string()));
        for (std::size_t k = region.location; k < region.end(); ++k) {
            ASSERT_EQ(after[k], full[k]) << "step " << step << ": region " << region << " differs from a full pass at "
                                         << k;
        }
    }
}

TEST_F(MarkdownStylerIncrementalTests, FullPassNeverChangesGeneratedText) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const std::u16string text = samples::generatedMarkdown(3000, seed);
        TextStorage storage(text);
        MarkdownStyler::apply(storage);
        ASSERT_EQ(storage.string(), text);
        ASSERT_EQ(storage.lastEditingSummary()->changeInLength, 0);
        ASSERT_TRUE(storage.lastEditingSummary()->attributesOnly);
    }
}

TEST_F(MarkdownStylerIncrementalTests, HeadingTwoParagraphsAwayKeepsItsRuns) {
    TextStorage storage = styled(u"# Far heading\n\nmiddle\n\nedited here\n\nafter");
    const std::vector<AttributeRun> headingRuns = storage.attributeRuns(TextRange{0, 14});
    storage.replaceCharacters(TextRange{23, 0}, u"x");
    const TextRange region = MarkdownStyler::apply(storage, TextRange{23, 1});
    EXPECT_EQ(region, (TextRange{22, 15}));
    EXPECT_EQ(storage.attributeRuns(TextRange{0, 14}), headingRuns);
}

TEST_F(MarkdownStylerIncrementalTests, SetextTitleJustOutsideTheParagraphsKeepsItsHeadingFont) {
    TextStorage storage = styled(u"x\nTitle\n===\n");
    ASSERT_EQ(fontSizeAt(storage, 3), 22);
    // A digit, not a letter: letters typed among letters keep their runs without restyling lines.
    storage.replaceCharacters(TextRange{0, 0}, u"1");
    const TextRange region = MarkdownStyler::apply(storage, TextRange{0, 1});
    EXPECT_EQ(region, (TextRange{0, 13}));
    EXPECT_EQ(fontSizeAt(storage, 4), 22);
}

TEST_F(MarkdownStylerIncrementalTests, InlineCodeSpanningParagraphsIsRestyledWhole) {
    TextStorage storage = styled(u"`start\n\nmiddle\n\nend` tail");
    storage.replaceCharacters(TextRange{9, 0}, u"1");
    const TextRange region = MarkdownStyler::apply(storage, TextRange{9, 1});
    EXPECT_EQ(region, (TextRange{0, storage.length()}));
    EXPECT_NE(storage.attribute(AttributeKey::veltoInlineCode, 9), nullptr);
}

// An unclosed fence no longer makes a pass restyle everything: the code index knows the blocks, so
// typing before the fence or inside it restyles its own lines and still ends as a full pass would.
TEST_F(MarkdownStylerIncrementalTests, UnclosedFenceKeepsPassesSmallAndStylesAsAFullPass) {
    TextStorage storage = styled(u"a\n\nb\n\n```\ncode\nmore code\n");
    storage.replaceCharacters(TextRange{0, 0}, u"1");
    EXPECT_EQ(MarkdownStyler::apply(storage, TextRange{0, 1}), (TextRange{0, 4}));
    EXPECT_EQ(perCharacter(storage), perCharacter(styled(storage.string())));
    storage.replaceCharacters(TextRange{15, 0}, u"#");
    EXPECT_EQ(MarkdownStyler::apply(storage, TextRange{15, 1}), (TextRange{11, 6}));
    EXPECT_EQ(perCharacter(storage), perCharacter(styled(storage.string())));
    TextStorage empty;
    EXPECT_EQ(MarkdownStyler::apply(empty, TextRange{0, 0}), (TextRange{0, 0}));
}

// Typing inside a block's contents restyles the edited lines (the full pass would give them nothing
// but the block's code attributes) and keeps the block's highlighted tokens.
TEST_F(MarkdownStylerIncrementalTests, TypingInBlockRestylesItsLinesAndKeepsTokenColours) {
    TextStorage storage = styled(u"intro\n\n```js\nlet a = 1\n\nlet b = 2\n```\n\nafter");
    storage.addAttributes(Attributes{{AttributeKey::veltoCodeSyntaxToken, std::string("keyword")},
                                     {AttributeKey::veltoCodeSyntaxGeneration, std::uint64_t{3}}},
                          TextRange{13, 3});
    storage.replaceCharacters(TextRange{32, 0}, u"3"); // after "let b = 2"
    const TextRange region = MarkdownStyler::apply(storage, TextRange{32, 1});
    EXPECT_EQ(region, (TextRange{24, 11}));
    EXPECT_NE(storage.attribute(AttributeKey::veltoCodeSyntaxToken, 14), nullptr);
    storage.removeAttribute(AttributeKey::veltoCodeSyntaxToken, TextRange{0, storage.length()});
    storage.removeAttribute(AttributeKey::veltoCodeSyntaxGeneration, TextRange{0, storage.length()});
    storage.removeAttribute(AttributeKey::foregroundColor, TextRange{13, 3});
    TextStorage expected = styled(storage.string());
    expected.removeAttribute(AttributeKey::foregroundColor, TextRange{13, 3});
    EXPECT_EQ(perCharacter(storage), perCharacter(expected));
}

struct FastPathCase {
    const char *name;
    const char16_t *styledText; // styled by a full pass first
    TextRange replaced;
    const char16_t *replacement;
    bool restyled;
    double sizeAfter; // font size at the paragraph's first character afterwards
};

TEST_F(MarkdownStylerIncrementalTests, HeadingFastPathDecidesFromHashesAndCurrentSize) {
    const FastPathCase cases[] = {
        {"blank typed after hash", u"#Title", {1, 0}, u" ", true, 22},
        {"blank removed after hash", u"# Title", {1, 1}, u"", true, 15},
        {"hash and blank without title", u"#", {1, 0}, u" ", true, 15},
        {"seven hashes", u"######Title", {6, 0}, u"# ", false, 15},
        {"level five blank removed", u"##### Title", {5, 1}, u"", false, 15},
        {"hash line inside fenced block", u"```\n#x\n```\n", {5, 0}, u" ", false, 15},
        {"setext title", u"Title\n===\n", {1, 0}, u"x", false, 22},
        {"ordinary typing", u"plain words", {3, 0}, u"x", false, 15},
        {"heading with a code span of its own", u"# a `b` c\nd `e`\n", {2, 0}, u"x", true, 22},
        {"backtick typed into a heading pairs below it", u"# Title\nsome `code`\n", {7, 0}, u" `", false, 22},
        {"backtick removed from a heading's span", u"# Ti`tle\nx`\n", {4, 1}, u"", false, 22},
        {"heading a span reaches out of", u"# Ti`tle\nx`\n", {2, 0}, u"a", false, 22},
    };
    for (const FastPathCase &c : cases) {
        SCOPED_TRACE(c.name);
        TextStorage storage = styled(c.styledText);
        storage.replaceCharacters(c.replaced, c.replacement);
        const TextRange edited{c.replaced.location, std::char_traits<char16_t>::length(c.replacement)};
        const std::string runsBefore = dumpRuns(storage);
        const bool restyled = MarkdownStyler::applyImmediateHeadingChange(storage, edited);
        EXPECT_EQ(restyled, c.restyled);
        if (!restyled) {
            EXPECT_EQ(dumpRuns(storage), runsBefore) << "a declined fast path must change nothing";
        }
        const std::size_t probe = c.replaced.location >= 4 && c.styledText[0] == u'`' ? 4 : 0;
        if (c.restyled || probe == 0) {
            EXPECT_EQ(fontSizeAt(storage, probe), c.sizeAfter);
        }
    }
    TextStorage empty;
    EXPECT_FALSE(MarkdownStyler::applyImmediateHeadingChange(empty, TextRange{0, 0}));
}

TEST_F(MarkdownStylerIncrementalTests, HeadingFastPathFindsItsParagraphBetweenEverySeparator) {
    // A heading typed between two paragraphs, whatever ends them; neither neighbour changes.
    const char16_t *separators[] = {u"\n", u"\r", u"\r\n", u"\u2029"};
    for (const char16_t *separator : separators) {
        const std::u16string end(separator);
        SCOPED_TRACE(static_cast<int>(end.size() * 10000 + end[0]));
        const std::u16string before = u"intro words" + end;
        TextStorage storage = styled(before + u"#Title" + end + u"after words");
        storage.replaceCharacters(TextRange{before.size() + 1, 0}, u" ");
        EXPECT_TRUE(MarkdownStyler::applyImmediateHeadingChange(storage, TextRange{before.size() + 1, 1}));
        EXPECT_EQ(fontSizeAt(storage, before.size()), 22);
        EXPECT_EQ(fontSizeAt(storage, 0), 15);
        EXPECT_EQ(fontSizeAt(storage, storage.length() - 1), 15);
        // Deleting the blank again from the end of the heading's paragraph takes it back to body text.
        storage.replaceCharacters(TextRange{before.size() + 1, 1}, u"");
        EXPECT_TRUE(MarkdownStyler::applyImmediateHeadingChange(storage, TextRange{before.size() + 6, 0}));
        EXPECT_EQ(fontSizeAt(storage, before.size()), 15);
    }
}

struct KeystrokeCase {
    const char *name;
    const char16_t *text; // styled by a full pass first
    TextRange replaced;
    const char16_t *replacement;
};

// Edits whose effect reaches beyond their own line: after the incremental pass the storage must be
// styled exactly as a full pass styles the new text.
TEST_F(MarkdownStylerIncrementalTests, EditsReachingOtherLinesEndAsAFullPass) {
    const KeystrokeCase cases[] = {
        {"underline broken by a letter", u"Title\n===\nbody", {6, 0}, u"x"},
        {"underline deleted", u"intro\n\nTitle\n===\nbody", {13, 3}, u""},
        {"underline typed", u"Title\nxx\n", {6, 2}, u"=="},
        {"title over carriage returns", u"a\rb\rc\n===\n", {0, 0}, u"z"},
        {"underline after CRLF lines", u"one\r\ntwo\n===\r\n", {5, 0}, u"#"},
        {"closing fence deleted", u"```\ncode\n```\n# after\n", {9, 3}, u""},
        {"fence opened above text", u"# one\n\ntwo *three*\n", {0, 0}, u"```\n"},
        {"fence closed far below", u"```\n# a\n\n# b\n\nc `d`\n", {20, 0}, u"\n```"},
        {"backtick pairs every later run anew", u"`a` b\n\n`c` d\n\n`e` f\n", {0, 0}, u"`"},
        {"span across lines loses its closer", u"x `a\nb` y\n\n*z*\n", {6, 1}, u""},
        {"escape typed before a span", u"p `q` r\n\n`s`\n", {2, 0}, u"\\"},
        {"tilde fence inside backtick block", u"```\n~~~\n```\nt\n", {4, 3}, u""},
        {"fence after a carriage return underlined from inside", u"a\r~~~~\nb\n", {7, 1}, u"=="},
        {"opening line ending in a separator", u"~~~\u2028x\ny\n", {6, 0}, u"#"},
    };
    for (const KeystrokeCase &c : cases) {
        SCOPED_TRACE(c.name);
        TextStorage storage = styled(c.text);
        storage.replaceCharacters(c.replaced, c.replacement);
        MarkdownStyler::apply(storage,
                              TextRange{c.replaced.location, std::char_traits<char16_t>::length(c.replacement)});
        EXPECT_EQ(dumpRuns(storage), dumpRuns(styled(storage.string())));
    }
}

// A code span may run across whole fenced blocks; an address that overlaps the span gets no link,
// not even on its part after the span, however the spans and blocks lie.
TEST_F(MarkdownStylerIncrementalTests, AddressInsideASpanAroundABlockIsNotLinked) {
    TextStorage storage =
        styled(u"`open\n```\nblock\n```\n~~~\nmore\n~~~\nhttps://velto.example/x`tail after `a` `b`\n");
    for (std::size_t k = 0; k < storage.length(); ++k) {
        EXPECT_EQ(storage.attribute(AttributeKey::link, k), nullptr) << "at " << k;
    }
}

// Deleting the last line of an unclosed block restyles nothing else, and leaves the page as a full
// pass would; typing "=" there and deleting it again keeps the fence line out of any heading.
TEST_F(MarkdownStylerIncrementalTests, EditsAtTheEndOfAnUnclosedBlockStayInsideIt) {
    TextStorage storage = styled(u"intro\n\n```\ncode\n");
    const std::vector<AttributeRun> introRuns = storage.attributeRuns(TextRange{0, 7});
    for (const char16_t *typed : {u"x", u"=", u"\n"}) {
        const std::size_t end = storage.length();
        storage.replaceCharacters(TextRange{end, 0}, typed);
        MarkdownStyler::apply(storage, TextRange{end, 1});
        EXPECT_EQ(perCharacter(storage), perCharacter(styled(storage.string())));
        storage.replaceCharacters(TextRange{end, 1}, u"");
        EXPECT_EQ(MarkdownStyler::apply(storage, TextRange{end, 0}), (TextRange{end, 0}));
        EXPECT_EQ(perCharacter(storage), perCharacter(styled(storage.string())));
        EXPECT_EQ(storage.attributeRuns(TextRange{0, 7}), introRuns);
    }
}

// Keystrokes among letters and next to markers, each styled on its own as the editor styles it: the
// page ends as a full pass styles it.
TEST_F(MarkdownStylerIncrementalTests, KeystrokesAmongLettersAndMarkersEqualAFullPass) {
    struct Case {
        const char16_t *text;
        std::size_t location;
        std::size_t removed;
        const char16_t *inserted;
    };
    const Case cases[] = {
        {u"some **bold words** here", 9, 0, u"x"},            // inside strong text
        {u"some **bold words** here", 7, 0, u"x"},            // next to its delimiters
        {u"some **bold words** here", 8, 2, u""},             // deleting letters
        {u"some a*b here", 6, 1, u""},                        // deleting a star between letters
        {u"some ab here", 6, 1, u"1"},                        // a digit is no letter
        {u"# Title text", 4, 0, u"xy"},                       // in a heading
        {u"word", 0, 0, u"x"},                                // at the start of the text
        {u"*em* word", 9, 0, u"s"},                           // at its end
        {u"see https://velto.example/page now", 16, 0, u"x"}, // in a bare address
        {u"see httpxs://a.b now", 8, 1, u""},                 // making a bare address
        {u"[my label](dest) more", 6, 0, u"x"},               // in a link's label
        {u"[my label](dest) more", 13, 0, u"x"},              // in its destination, the link's value
        {u"```js\ncode\n```\n", 4, 0, u"x"},                  // in a fence's language
        {u"a `code span` b", 5, 0, u"x"},                     // in a code span
        {u"> quoted words", 5, 0, u"x"},                      // in a quote
        {u"Title line\n===\n", 3, 0, u"x"},                   // in a setext title
        {u"Title line\n===\n", 10, 0, u"s"},                  // at its end
        {u"# some _light_ words", 14, 0, u"x"},               // after a delimiter
        {u"# some _light words", 13, 0, u"x"},                // before a blank
        {u"# some _light words", 14, 0, u"x"},                // after a blank
        {u"> quoted words", 1, 0, u"x"},                      // between marker and blank
    };
    for (std::size_t index = 0; index < std::size(cases); ++index) {
        const Case &example = cases[index];
        TextStorage storage(example.text);
        MarkdownStyler::apply(storage);
        storage.replaceCharacters(TextRange{example.location, example.removed}, example.inserted);
        const TextRange inserted{example.location, std::u16string_view(example.inserted).size()};
        MarkdownStyler::apply(storage, inserted);
        const std::u16string text = storage.substring(TextRange{0, storage.length()});
        EXPECT_EQ(perCharacter(storage), perCharacter(styled(text))) << "case " << index;
    }
}

// Only changes of characters since a pass in the same colours are restyled through a window of their
// long line, however many keystrokes came before the pass; after a change of colours or of attributes
// alone the whole line is restyled.
TEST_F(MarkdownStylerIncrementalTests, LongLineWindowsOnlyAfterTypingSinceAPass) {
    std::u16string line;
    while (line.size() < 20000) {
        line += u"some **bold words** here ";
    }
    TextStorage storage(line);
    MarkdownStyler::apply(storage);
    const TextRange whole{0, storage.length()};
    const std::size_t middle = line.find(u"words", whole.length / 2) + 2;
    storage.replaceCharacters(TextRange{middle, 0}, u"x");
    EXPECT_LT(MarkdownStyler::apply(storage, TextRange{middle, 1}).length, whole.length / 4);

    storage.replaceCharacters(TextRange{middle, 0}, u"x");
    storage.replaceCharacters(TextRange{middle, 0}, u"y");
    EXPECT_LT(MarkdownStyler::apply(storage, TextRange{middle, 2}).length, whole.length / 4);

    const Color red = Color::sRGB(1, 0, 0);
    storage.replaceCharacters(TextRange{middle, 0}, u"z");
    EXPECT_EQ(MarkdownStyler::apply(storage, TextRange{middle, 1}, red).length, storage.length());
    EXPECT_EQ(perCharacter(storage), perCharacter([&storage, &red] {
                  TextStorage fresh(storage.string());
                  MarkdownStyler::apply(fresh, red);
                  return fresh;
              }()));

    storage.addAttribute(AttributeKey::kern, 1.0, TextRange{0, 3});
    storage.replaceCharacters(TextRange{middle, 0}, u"w");
    EXPECT_EQ(MarkdownStyler::apply(storage, TextRange{middle, 1}, red).length, storage.length());
}

namespace {

/// `count` blocks of one line of code each, their fences naming a language (eight in turn) or none.
std::u16string fencedBlocks(int count, bool tagged) {
    static const char16_t *const languages[] = {u"js", u"python", u"cpp", u"rust", u"go", u"sql", u"bash", u"xml"};
    std::u16string text;
    for (int block = 0; block < count; ++block) {
        text += u"```";
        text += tagged ? languages[block % 8] : u"";
        text += u"\nvar a = \"s\"; // c\n```\n";
    }
    return text;
}

} // namespace

// A key typed at the start of the first fence line makes it text: with tagged fences the next fence opens a
// block that the one after closes, and every block after those is as it was, so the pass reads a few blocks;
// with bare fences every block below changes and the page is restyled once. Either way the pass reads the
// blocks it restyles at most once (it once took in one block after another, reading all of them each time),
// and styles as a full pass does.
TEST_F(MarkdownStylerIncrementalTests, FenceLineEditAboveManyBlocksReadsEachBlockOnceAndEqualsAFullPass) {
    constexpr int blocks = 10'000;
    struct Case {
        const char *name;
        bool tagged;
        std::size_t mostBlocksRead;
        std::size_t blocksRestyled;
    };
    const Case cases[] = {{"tagged fences", true, 16, 4}, {"bare fences", false, 2 * blocks, blocks}};
    for (const Case &example : cases) {
        SCOPED_TRACE(example.name);
        TextStorage storage = styled(fencedBlocks(blocks, example.tagged));
        const std::shared_ptr<MarkdownCodeTokenIndex> index = MarkdownStyler::codeTokenIndexFor(storage);
        for (const bool typing : {true, false}) {
            SCOPED_TRACE(typing ? "typed" : "removed");
            storage.replaceCharacters(TextRange{0, typing ? 0u : 1u}, typing ? u"q" : u"");
            ASSERT_EQ(MarkdownStyler::codeTokenIndexFor(storage), index) << "the index follows the edit";
            const std::size_t readBefore = index->fencedBlocksRead();
            const TextRange region = MarkdownStyler::apply(storage, TextRange{0, typing ? 1u : 0u});
            EXPECT_LE(index->fencedBlocksRead() - readBefore, example.mostBlocksRead);
            EXPECT_LE(region.length, example.blocksRestyled * storage.length() / blocks + 1);
            EXPECT_EQ(perCharacter(storage), perCharacter(styled(storage.string())));
        }
    }
}
