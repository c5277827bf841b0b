#pragma once

#include "editor/TextRange.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velto::editor {

/// One opening fence line.
struct FenceMarker {
    char16_t character = u'`';  // backtick or tilde
    std::size_t length = 0;     // the run of fence characters, at least 3
    std::u16string indentation; // the spaces before the run (0 to 3)
    std::u16string infoString;  // the rest of the line, trimmed of white space and line breaks
    TextRange lineRange;        // the whole line, line break included
    TextRange markerRange;      // the run of fence characters

    std::u16string delimiter() const { return std::u16string(length, character); }
    bool operator==(const FenceMarker &) const = default;
};

struct FencedCodeBlock {
    FenceMarker opening;
    TextRange contentRange;                // after the opening line up to the closing line (or the text's end)
    std::optional<TextRange> closingRange; // the closing line with its line break; none when unclosed
    TextRange fullRange;                   // opening line start to closing line end, line break included
    TextRange presentationRange;           // as fullRange without the closing line's line break
    bool operator==(const FencedCodeBlock &) const = default;
};

struct InlineCodeSpan {
    TextRange fullRange;    // first backtick of the opening run to the last of the closing run
    TextRange contentRange; // between the runs, not trimmed
    bool operator==(const InlineCodeSpan &) const = default;
};

struct FencedCodeScan {
    std::vector<FencedCodeBlock> blocks;
    bool isBalanced = true; // false exactly when the last block is unclosed
};

struct DocumentStructure {
    std::vector<FencedCodeBlock> fencedBlocks;
    std::vector<InlineCodeSpan> inlineCodeSpans;

    /// The full range of every fenced block, then of every inline code span.
    std::vector<TextRange> literalCodeRanges() const;
    /// The first block whose opening line starts at the location.
    const FencedCodeBlock *fencedBlock(std::size_t openingAt) const;
};

/// Finds the parts of a Markdown text that hold code (fenced blocks and inline code spans), the region
/// to restyle after an edit, and escaped characters. Positions are UTF-16 units.
namespace MarkdownSyntaxScanner {

DocumentStructure structure(std::u16string_view text);
FencedCodeScan fencedCodeScan(std::u16string_view text);
std::optional<FenceMarker> openingFence(std::u16string_view text, TextRange lineRange);
/// `fencedRanges` ascending; code spans are not looked for inside them.
std::vector<InlineCodeSpan> inlineCodeSpans(std::u16string_view text, const std::vector<TextRange> &fencedRanges);
bool isInsideFencedCode(std::size_t location, std::u16string_view text);
/// Whole paragraphs around the edit, widened to every fenced block they touch; none when the whole
/// text must be restyled (a fence is left open).
std::optional<TextRange> incrementalStylingRange(TextRange editedRange, std::u16string_view text);
/// As above, taking the fence scan of the text from `scanOfText` when it needs one, so that a caller
/// that scans the text anyway does not scan it twice.
std::optional<TextRange> incrementalStylingRange(TextRange editedRange, std::u16string_view text,
                                                 const std::function<FencedCodeScan()> &scanOfText);
/// True when an odd number of backslashes stands right before the location.
bool isEscaped(std::size_t location, std::u16string_view text);

} // namespace MarkdownSyntaxScanner

} // namespace velto::editor
