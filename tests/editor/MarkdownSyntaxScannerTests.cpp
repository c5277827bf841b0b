#include "editor/markdown/MarkdownSyntaxScanner.h"

#include <gtest/gtest.h>

using namespace velto::editor;
namespace Scanner = velto::editor::MarkdownSyntaxScanner;

namespace {

struct FenceCase {
    const char16_t *text;
    std::size_t blockCount;
    bool balanced;
    bool firstClosed;
};

} // namespace

TEST(MarkdownSyntaxScannerTests, JsonFenceGivesOneClosedBlock) {
    const std::u16string text = u"```json\n{}\n```";
    const FencedCodeScan scan = Scanner::fencedCodeScan(text);
    ASSERT_EQ(scan.blocks.size(), 1u);
    const FencedCodeBlock &block = scan.blocks[0];
    EXPECT_TRUE(scan.isBalanced);
    EXPECT_EQ(block.opening.infoString, u"json");
    EXPECT_EQ(block.opening.delimiter(), u"```");
    EXPECT_EQ(block.opening.markerRange, (TextRange{0, 3}));
    EXPECT_EQ(block.contentRange, (TextRange{8, 3}));
    EXPECT_EQ(block.closingRange, (TextRange{11, 3}));
    EXPECT_EQ(block.fullRange, (TextRange{0, 14}));
    EXPECT_EQ(block.presentationRange, (TextRange{0, 14}));
}

TEST(MarkdownSyntaxScannerTests, PresentationRangeLeavesOutClosingLineBreak) {
    const FencedCodeScan scan = Scanner::fencedCodeScan(u"~~~\r\nx\r\n~~~\r\nafter");
    ASSERT_EQ(scan.blocks.size(), 1u);
    EXPECT_EQ(scan.blocks[0].closingRange, (TextRange{8, 5}));
    EXPECT_EQ(scan.blocks[0].fullRange, (TextRange{0, 13}));
    EXPECT_EQ(scan.blocks[0].presentationRange, (TextRange{0, 11}));
}

TEST(MarkdownSyntaxScannerTests, FenceOpeningAndClosingRules) {
    const FenceCase cases[] = {
        {u"````\nx\n```\n", 1, false, false},       // a shorter run does not close
        {u"````\nx\n```\n`````\n", 1, true, true},  // a longer run does
        {u"~~~\nx\n```\n", 1, false, false},        // the other fence character does not close
        {u"~~~\n```\n~~~\n", 1, true, true},        // a backtick fence line inside a tilde block is content
        {u"```js`x\ncode\n```\n", 1, false, false}, // backtick info with a backtick: no fence; last line opens
        {u"~~~ a`b\ncode\n~~~\n", 1, true, true},   // tilde info may hold a backtick
        {u"    ```\ncode\n", 0, true, false},       // four spaces: no fence
        {u"\t```\ncode\n", 0, true, false},         // a tab is not indentation
        {u"```\ncode\n    ```\n", 1, false, false}, // four spaces before a closing run: content
        {u"```\ncode\n``` \t\n", 1, true, true},    // blanks after the closing run close
        {u"```\ncode\n``` x\n", 1, false, false},   // anything else does not
        {u"``\ncode\n", 0, true, false},            // two characters are no fence
        {u"", 0, true, false},
    };
    for (const FenceCase &c : cases) {
        const FencedCodeScan scan = Scanner::fencedCodeScan(c.text);
        SCOPED_TRACE(std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text)).c_str());
        ASSERT_EQ(scan.blocks.size(), c.blockCount);
        EXPECT_EQ(scan.isBalanced, c.balanced);
        if (c.blockCount > 0) {
            EXPECT_EQ(scan.blocks[0].closingRange.has_value(), c.firstClosed);
        }
    }
}

TEST(MarkdownSyntaxScannerTests, UnclosedFenceRunsToTheEndAndForcesFullRestyle) {
    const std::u16string text = u"intro\n```swift\nlet a = 1\n";
    const FencedCodeScan scan = Scanner::fencedCodeScan(text);
    ASSERT_EQ(scan.blocks.size(), 1u);
    EXPECT_FALSE(scan.isBalanced);
    EXPECT_FALSE(scan.blocks[0].closingRange.has_value());
    EXPECT_EQ(scan.blocks[0].contentRange, (TextRange{15, 10}));
    EXPECT_EQ(scan.blocks[0].fullRange, (TextRange{6, 19}));
    EXPECT_EQ(scan.blocks[0].presentationRange, scan.blocks[0].fullRange);
    EXPECT_EQ(Scanner::incrementalStylingRange(TextRange{0, 1}, text), std::nullopt);
}

TEST(MarkdownSyntaxScannerTests, InfoStringIsTrimmedAndIndentationKept) {
    const auto marker = Scanner::openingFence(u"  ~~~~  python extra \n", TextRange{0, 22});
    ASSERT_TRUE(marker.has_value());
    EXPECT_EQ(marker->indentation, u"  ");
    EXPECT_EQ(marker->length, 4u);
    EXPECT_EQ(marker->infoString, u"python extra");
    EXPECT_FALSE(Scanner::openingFence(u"   \n", TextRange{0, 4}).has_value());
}

// A fence line found in a text carries the marker that openingFence finds on that line, counted from its start.
TEST(MarkdownSyntaxScannerTests, FenceLinesCarryTheMarkerOfTheirLine) {
    const std::u16string text = u"intro\n  ~~~~  python extra \r\n```js`x\n   ````\t\n```\n~~~ a`b\n``` x\n";
    const std::vector<FenceLine> lines = Scanner::fenceLines(text, TextRange{0, text.size()});
    ASSERT_EQ(lines.size(), 6u);
    for (const FenceLine &line : lines) {
        std::optional<FenceMarker> expected = Scanner::openingFence(text, TextRange{line.start, line.length});
        if (expected) {
            expected->lineRange.location -= line.start;
            expected->markerRange.location -= line.start;
        }
        EXPECT_EQ(line.opening, expected) << line.start;
    }
    EXPECT_FALSE(lines[1].opening.has_value()); // a backtick fence's info string holding a backtick
}

TEST(MarkdownSyntaxScannerTests, InlineCodeSpansMatchRunsOfEqualLength) {
    struct SpanCase {
        const char16_t *text;
        std::vector<InlineCodeSpan> spans;
    };
    const SpanCase cases[] = {
        {u"`a`", {{{0, 3}, {1, 1}}}},
        {u"``a`b``", {{{0, 7}, {2, 3}}}},
        {u"`a", {}},
        {u"\\`a`", {}},                       // escaped first backtick: literal, the second has no partner
        {u"\\\\`a`", {{{2, 3}, {3, 1}}}},     // the backslash is itself escaped
        {u"`a\nb`", {{{0, 5}, {1, 3}}}},      // spans cross line breaks
        {u"`` a ` ``x`", {{{0, 9}, {2, 5}}}}, // runs between belong to the content
    };
    for (const SpanCase &c : cases) {
        EXPECT_EQ(Scanner::inlineCodeSpans(c.text, {}), c.spans);
    }
}

TEST(MarkdownSyntaxScannerTests, BackticksInsideFencedBlocksNeverMakeSpans) {
    const std::u16string text = u"`x\n```\n` code `\n```\n`";
    const DocumentStructure structure = Scanner::structure(text);
    ASSERT_EQ(structure.fencedBlocks.size(), 1u);
    ASSERT_EQ(structure.inlineCodeSpans.size(), 1u);
    EXPECT_EQ(structure.inlineCodeSpans[0].fullRange, (TextRange{0, 21}));
    EXPECT_EQ(structure.literalCodeRanges(), (std::vector<TextRange>{{3, 17}, {0, 21}}));
    EXPECT_NE(structure.fencedBlock(3), nullptr);
    EXPECT_EQ(structure.fencedBlock(0), nullptr);
}

TEST(MarkdownSyntaxScannerTests, InsideFencedCodeOnlyOnContentLines) {
    const std::u16string text = u"```\ncode\n```\n";
    EXPECT_FALSE(Scanner::isInsideFencedCode(0, text));
    EXPECT_FALSE(Scanner::isInsideFencedCode(2, text));
    EXPECT_TRUE(Scanner::isInsideFencedCode(4, text));
    EXPECT_TRUE(Scanner::isInsideFencedCode(8, text));
    EXPECT_FALSE(Scanner::isInsideFencedCode(9, text));
    const std::u16string unclosed = u"```\ncode";
    EXPECT_TRUE(Scanner::isInsideFencedCode(5, unclosed));
    EXPECT_FALSE(Scanner::isInsideFencedCode(unclosed.size(), unclosed));
    EXPECT_FALSE(Scanner::isInsideFencedCode(100, unclosed));
}

TEST(MarkdownSyntaxScannerTests, IncrementalRangeTakesNeighbouringParagraphs) {
    const std::u16string text = u"one\ntwo\nthree\nfour\nfive";
    EXPECT_EQ(Scanner::incrementalStylingRange(TextRange{9, 1}, text), (TextRange{4, 15}));
    EXPECT_EQ(Scanner::incrementalStylingRange(TextRange{0, 0}, text), (TextRange{0, 8}));
    EXPECT_EQ(Scanner::incrementalStylingRange(TextRange{22, 5}, text), (TextRange{14, 9}));
}

TEST(MarkdownSyntaxScannerTests, IncrementalRangeWidensToTouchedFencedBlocks) {
    const std::u16string text = u"a\n\nb\n```\nx\n\ny\n```\nc\n\nd";
    // Editing the line break after "y" reaches the block, which then counts whole; the paragraphs
    // around the block are not added again.
    const auto range = Scanner::incrementalStylingRange(TextRange{13, 1}, text);
    EXPECT_EQ(range, (TextRange{5, 13}));
    // Editing "a" stays away from the block.
    EXPECT_EQ(Scanner::incrementalStylingRange(TextRange{0, 1}, text), (TextRange{0, 3}));
}

TEST(MarkdownSyntaxScannerTests, EscapesCountConsecutiveBackslashes) {
    const std::u16string text = u"a\\*b\\\\*c\\\\\\*";
    EXPECT_FALSE(Scanner::isEscaped(0, text));
    EXPECT_FALSE(Scanner::isEscaped(1, text));
    EXPECT_TRUE(Scanner::isEscaped(2, text));
    EXPECT_FALSE(Scanner::isEscaped(6, text));
    EXPECT_TRUE(Scanner::isEscaped(11, text));
}
