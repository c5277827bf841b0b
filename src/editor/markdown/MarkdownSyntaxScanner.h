#pragma once

#include "editor/text/TextRange.h"

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

/// An unescaped run of backticks: where it starts and how many backticks it holds.
struct BacktickRun {
    std::size_t start = 0;
    std::size_t length = 0;
    bool operator==(const BacktickRun &) const = default;
};

/// A line that may open or close a fence (0 to 3 spaces, then three backticks or three tildes), with
/// what the fence scan needs of it. Everything but `start` is relative to the line, so that the line
/// keeps its facts when text before it changes.
struct FenceLine {
    std::size_t start = 0;
    std::size_t length = 0;              // with its line break
    std::size_t lengthWithoutBreaks = 0; // without trailing line feeds and carriage returns
    char16_t character = 0;              // the fence character after the spaces
    std::size_t runLength = 0;           // how many of it
    bool onlyBlanksAfterRun = false;     // so that a long enough run of the open fence's character closes
    std::optional<FenceMarker> opening;  // the marker when the line opens a fence; ranges from 0
    bool operator==(const FenceLine &) const = default;
};

/// A fence line as a scan finds it: what a FenceLine holds, with its marker's spaces counted and its info string
/// left in the scanned text, so that a caller keeping many lines in a form of its own copies no strings.
struct FoundFenceLine {
    std::size_t start = 0;
    std::size_t length = 0;
    std::size_t lengthWithoutBreaks = 0;
    char16_t character = 0;
    std::size_t runLength = 0;
    bool onlyBlanksAfterRun = false;
    bool opens = false;             // whether the line opens a fence
    std::size_t indentation = 0;    // the spaces before the run
    std::u16string_view infoString; // the opening marker's, in the scanned text
};

/// Whether a fence line closes the fence that a run of `openLength` of `openCharacter` opened: a run of at least
/// as many of that character with nothing but blanks after it.
template <typename Line> bool closesFence(const Line &line, char16_t openCharacter, std::size_t openLength) {
    return line.character == openCharacter && line.runLength >= openLength && line.onlyBlanksAfterRun;
}

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
/// True when an odd number of backslashes stands right before the location.
bool isEscaped(std::size_t location, std::u16string_view text);

// The pieces the scans are made of, for callers that keep them between scans. `window` ranges start
// at a line start and end at a line end (or the text's end).

/// The lines of the window that may open or close a fence.
std::vector<FenceLine> fenceLines(std::u16string_view text, TextRange window);
/// The same lines as found, added to `found`: a caller that reads a text a stretch at a time keeps the list for
/// every stretch. The views stay valid as long as the text.
void findFenceLines(std::u16string_view text, TextRange window, std::vector<FoundFenceLine> &found);
FenceLine fenceLineOf(const FoundFenceLine &found);
/// The fence scan, visiting only the given fence lines (ascending); other lines cannot change it.
FencedCodeScan fencedCodeScan(std::u16string_view text, const std::vector<FenceLine> &lines);
/// As above for a text of the given length.
FencedCodeScan fencedCodeScan(std::size_t textLength, const std::vector<FenceLine> &lines);

/// The fence scan one fence line at a time, for callers that start or stop it between lines: before a
/// line where no fence is open (at rest), the scan goes on from there as from the text's start.
class FencePairing {
public:
    /// Takes the next fence line; answers the block it closes, if it closes one.
    std::optional<FencedCodeBlock> take(const FenceLine &line);
    bool isAtRest() const { return !open_.has_value(); }
    /// The block left open at the end of a text of this length, if one is.
    std::optional<FencedCodeBlock> unclosedBlock(std::size_t textLength) const;

private:
    std::optional<FenceMarker> open_;
};

/// The unescaped backtick runs in the window, fenced code included.
std::vector<BacktickRun> backtickRuns(std::u16string_view text, TextRange window);
/// The code spans the runs make once runs inside the fenced ranges (ascending) are left out.
std::vector<InlineCodeSpan> inlineCodeSpans(const std::vector<BacktickRun> &runs,
                                            const std::vector<TextRange> &fencedRanges);
/// The incremental styling range with the text's fence scan already made.
std::optional<TextRange> incrementalStylingRange(TextRange editedRange, std::u16string_view text,
                                                 const FencedCodeScan &scan);

} // namespace MarkdownSyntaxScanner

} // namespace velto::editor
