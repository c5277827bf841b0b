#pragma once

#include "editor/markdown/MarkdownSyntaxScanner.h"
#include "editor/markdown/StoredInfoString.h"

#include <cstddef>
#include <cstdint>

// The forms in which the code token index keeps a page's fence lines, backtick runs, fenced blocks and
// code spans: a 60 MB page holds about a million of them, and the scanner's own structures spend 8 bytes
// on every position and length and carry optional parts in place. These hold each position and length in
// 32 bits and leave out what follows from the rest, so that an item turned into its stored form and back
// is the very same item. Their positions wrap around as they are shifted, as ShiftedItemList allows.
namespace velto::editor {

/// A range in 32 bits.
struct StoredRange {
    std::uint32_t location = 0;
    std::uint32_t length = 0;
};

struct StoredBacktickRun {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
};

struct StoredInlineCodeSpan {
    StoredRange fullRange;
    StoredRange contentRange;
};

/// A fence line. Its opening marker, when it has one, lies on the whole line and is the line's run of fence
/// characters after its spaces (as the scanner finds it), so its ranges, character and length follow from the
/// line, its run and its spaces.
struct StoredFenceLine {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    std::uint32_t lengthWithoutBreaks = 0;
    std::uint32_t runLength = 0;
    StoredInfoString infoString;
    char character = 0; // a backtick or a tilde
    bool onlyBlanksAfterRun = false;
    bool opens = false;
    std::uint8_t indentation = 0;
};

/// A fenced block: its ranges as they are (an edit inside a block maps them one by one), its marker's spaces as
/// a count. The marker's run starts after those spaces on the opening line, so its range follows from them.
struct StoredFencedCodeBlock {
    StoredRange openingLine;
    StoredRange contentRange;
    StoredRange closingRange;
    StoredRange fullRange;
    StoredRange presentationRange;
    std::uint32_t markerLength = 0;
    StoredInfoString infoString;
    char character = 0; // a backtick or a tilde
    bool isClosed = false;
    std::uint8_t indentation = 0;
};

StoredBacktickRun toStored(const BacktickRun &run);
StoredInlineCodeSpan toStored(const InlineCodeSpan &span);
StoredFenceLine toStored(const FenceLine &line);
StoredFenceLine toStored(const FoundFenceLine &line);
StoredFencedCodeBlock toStored(const FencedCodeBlock &block);

/// The block an opening fence line and the line that closes it make, as the fence scan pairs them: a page's
/// blocks are stored as they are paired, without their full form in between.
StoredFencedCodeBlock storedBlock(const StoredFenceLine &opening, const StoredFenceLine &closing);
/// The block an opening fence line leaves open to the end of a text of `textLength` units.
StoredFencedCodeBlock storedBlockLeftOpen(const StoredFenceLine &opening, std::size_t textLength);

BacktickRun toItem(const StoredBacktickRun &run);
InlineCodeSpan toItem(const StoredInlineCodeSpan &span);
FenceLine toItem(const StoredFenceLine &line);
FencedCodeBlock toItem(const StoredFencedCodeBlock &block);

std::uint32_t startOf(const StoredBacktickRun &run);
std::uint32_t startOf(const StoredInlineCodeSpan &span);
std::uint32_t startOf(const StoredFenceLine &line);
std::uint32_t startOf(const StoredFencedCodeBlock &block);

void shift(StoredBacktickRun &run, std::ptrdiff_t delta);
void shift(StoredInlineCodeSpan &span, std::ptrdiff_t delta);
void shift(StoredFenceLine &line, std::ptrdiff_t delta);
void shift(StoredFencedCodeBlock &block, std::ptrdiff_t delta);

} // namespace velto::editor
