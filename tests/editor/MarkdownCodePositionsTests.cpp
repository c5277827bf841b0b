#include "editor/markdown/MarkdownStyler.h"

#include "editor/StructurePrinting.h"
#include "editor/text/EditorSettings.h"

#include <gtest/gtest.h>

#include <random>

using namespace velto::editor;
namespace Scanner = velto::editor::MarkdownSyntaxScanner;

namespace {

struct PositionCase {
    const char16_t *text;
    std::size_t location;
    std::optional<TextRange> block; // the full range of the block holding the location
    bool insideFencedCode;
    std::optional<TextRange> span; // the full range of the span holding the location
};

std::u16string randomPiece(std::mt19937 &random) {
    static const char16_t *const pieces[] = {u"```",  u"~~~", u"`", u"``",   u"\\", u"\n",   u"\r",
                                             u"\r\n", u"  ",  u"a", u"js\n", u"\t", u"````", u"x y"};
    return pieces[random() % std::size(pieces)];
}

} // namespace

TEST(MarkdownCodePositionsTests, AnswersForFenceLinesContentsAndSpans) {
    const PositionCase cases[] = {
        {u"```js\nlet\n```\nafter", 0, TextRange{0, 14}, false, std::nullopt},  // the opening line
        {u"```js\nlet\n```\nafter", 6, TextRange{0, 14}, true, std::nullopt},   // content
        {u"```js\nlet\n```\nafter", 10, TextRange{0, 14}, false, std::nullopt}, // the closing line
        {u"```js\nlet\n```\nafter", 14, std::nullopt, false, std::nullopt},     // after the block
        {u"a `code` b", 2, std::nullopt, false, TextRange{2, 6}},               // the opening backtick
        {u"a `code` b", 7, std::nullopt, false, TextRange{2, 6}},               // the closing backtick
        {u"a `code` b", 8, std::nullopt, false, std::nullopt},
        {u"a \\`code` b", 4, std::nullopt, false, std::nullopt},     // an escaped backtick
        {u"~~~\n`a`\n", 5, TextRange{0, 8}, true, std::nullopt},     // no spans in a block
        {u"text\n~~~\nopen", 13, std::nullopt, false, std::nullopt}, // the end of an unclosed block
        {u"text\n~~~\nopen", 12, TextRange{5, 8}, true, std::nullopt},
        {u"``a\n` b``", 5, std::nullopt, false, TextRange{0, 9}}, // a span over a line break
    };
    for (const PositionCase &test : cases) {
        const TextStorage storage(test.text);
        const std::optional<FencedCodeBlock> block = MarkdownStyler::fencedBlockContaining(storage, test.location);
        const std::optional<InlineCodeSpan> span = MarkdownStyler::inlineCodeSpanContaining(storage, test.location);
        SCOPED_TRACE(::testing::Message() << "location " << test.location);
        EXPECT_EQ(block ? std::optional(block->fullRange) : std::nullopt, test.block);
        EXPECT_EQ(span ? std::optional(span->fullRange) : std::nullopt, test.span);
        EXPECT_EQ(MarkdownStyler::isInsideFencedCode(storage, test.location), test.insideFencedCode);
        EXPECT_EQ(MarkdownStyler::isInsideLiteralCode(storage, test.location), test.block || test.span);
    }
}

// Through random edits (with and without styling passes in between) every answer must equal the
// scanner's over the whole text.
TEST(MarkdownCodePositionsTests, AnswersFollowEditsAsAFreshScanDoes) {
    std::mt19937 random(8);
    for (int document = 0; document < 12; ++document) {
        TextStorage storage;
        for (int k = 0; k < 40; ++k) {
            storage.replaceCharacters(TextRange{storage.length(), 0}, randomPiece(random));
        }
        if (document % 2 == 0) {
            MarkdownStyler::apply(storage);
        }
        for (int step = 0; step < 25; ++step) {
            const std::size_t location = random() % (storage.length() + 1);
            const std::size_t removed = std::min<std::size_t>(random() % 4, storage.length() - location);
            storage.replaceCharacters(TextRange{location, removed}, random() % 3 ? randomPiece(random) : u"");
            if (step % 5 == 0) {
                MarkdownStyler::apply(storage, TextRange{location, 0});
            }
            const std::u16string &text = storage.string();
            const DocumentStructure expected = Scanner::structure(text);
            for (std::size_t at = 0; at <= text.size(); ++at) {
                const auto block = MarkdownStyler::fencedBlockContaining(storage, at);
                const auto holding = std::find_if(expected.fencedBlocks.begin(), expected.fencedBlocks.end(),
                                                  [at](const FencedCodeBlock &b) { return b.fullRange.contains(at); });
                ASSERT_EQ(block.has_value(), holding != expected.fencedBlocks.end()) << "at " << at;
                if (block) {
                    ASSERT_EQ(*block, *holding);
                }
                const auto span = MarkdownStyler::inlineCodeSpanContaining(storage, at);
                const auto spanHolding =
                    std::find_if(expected.inlineCodeSpans.begin(), expected.inlineCodeSpans.end(),
                                 [at](const InlineCodeSpan &s) { return s.fullRange.contains(at); });
                ASSERT_EQ(span.has_value(), spanHolding != expected.inlineCodeSpans.end()) << "at " << at;
                if (span) {
                    ASSERT_EQ(*span, *spanHolding);
                }
                ASSERT_EQ(MarkdownStyler::isInsideFencedCode(storage, at), Scanner::isInsideFencedCode(at, text))
                    << "at " << at;
            }
        }
    }
}
