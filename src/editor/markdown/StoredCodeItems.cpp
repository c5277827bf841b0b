#include "editor/markdown/StoredCodeItems.h"

namespace velto::editor {

// A page of a million fences holds two million lines and a million blocks: each byte here is megabytes there.
static_assert(sizeof(StoredFenceLine) == 24);
static_assert(sizeof(StoredFencedCodeBlock) == 52);

namespace {

std::uint32_t narrowed(std::size_t value) {
    return static_cast<std::uint32_t>(value);
}

StoredRange narrowed(TextRange range) {
    return StoredRange{narrowed(range.location), narrowed(range.length)};
}

TextRange widened(StoredRange range) {
    return TextRange{range.location, range.length};
}

/// Moves a position by `delta`, wrapping around in 32 bits.
void shiftPosition(std::uint32_t &position, std::ptrdiff_t delta) {
    position = static_cast<std::uint32_t>(static_cast<std::ptrdiff_t>(position) + delta);
}

} // namespace

// ---- backtick runs and code spans ----

StoredBacktickRun toStored(const BacktickRun &run) {
    return StoredBacktickRun{narrowed(run.start), narrowed(run.length)};
}

BacktickRun toItem(const StoredBacktickRun &run) {
    return BacktickRun{run.start, run.length};
}

std::uint32_t startOf(const StoredBacktickRun &run) {
    return run.start;
}

void shift(StoredBacktickRun &run, std::ptrdiff_t delta) {
    shiftPosition(run.start, delta);
}

StoredInlineCodeSpan toStored(const InlineCodeSpan &span) {
    return StoredInlineCodeSpan{narrowed(span.fullRange), narrowed(span.contentRange)};
}

InlineCodeSpan toItem(const StoredInlineCodeSpan &span) {
    return InlineCodeSpan{widened(span.fullRange), widened(span.contentRange)};
}

std::uint32_t startOf(const StoredInlineCodeSpan &span) {
    return span.fullRange.location;
}

void shift(StoredInlineCodeSpan &span, std::ptrdiff_t delta) {
    shiftPosition(span.fullRange.location, delta);
    shiftPosition(span.contentRange.location, delta);
}

// ---- fence lines ----

StoredFenceLine toStored(const FoundFenceLine &line) {
    StoredFenceLine stored;
    stored.start = narrowed(line.start);
    stored.length = narrowed(line.length);
    stored.lengthWithoutBreaks = narrowed(line.lengthWithoutBreaks);
    stored.runLength = narrowed(line.runLength);
    stored.character = static_cast<char>(line.character);
    stored.onlyBlanksAfterRun = line.onlyBlanksAfterRun;
    if (line.opens) {
        stored.opens = true;
        stored.indentation = static_cast<std::uint8_t>(line.indentation);
        stored.infoString = StoredInfoString(line.infoString);
    }
    return stored;
}

StoredFenceLine toStored(const FenceLine &line) {
    FoundFenceLine found;
    found.start = line.start;
    found.length = line.length;
    found.lengthWithoutBreaks = line.lengthWithoutBreaks;
    found.character = line.character;
    found.runLength = line.runLength;
    found.onlyBlanksAfterRun = line.onlyBlanksAfterRun;
    if (line.opening) {
        found.opens = true;
        found.indentation = line.opening->indentation.size();
        found.infoString = line.opening->infoString;
    }
    return toStored(found);
}

FenceLine toItem(const StoredFenceLine &stored) {
    FoundFenceLine found;
    found.start = stored.start;
    found.length = stored.length;
    found.lengthWithoutBreaks = stored.lengthWithoutBreaks;
    found.character = stored.character;
    found.runLength = stored.runLength;
    found.onlyBlanksAfterRun = stored.onlyBlanksAfterRun;
    found.opens = stored.opens;
    found.indentation = stored.indentation;
    found.infoString = stored.infoString.view();
    return MarkdownSyntaxScanner::fenceLineOf(found);
}

std::uint32_t startOf(const StoredFenceLine &line) {
    return line.start;
}

void shift(StoredFenceLine &line, std::ptrdiff_t delta) {
    shiftPosition(line.start, delta); // the rest of a fence line is relative to its start
}

// ---- fenced blocks ----

StoredFencedCodeBlock toStored(const FencedCodeBlock &block) {
    StoredFencedCodeBlock stored;
    stored.openingLine = narrowed(block.opening.lineRange);
    stored.contentRange = narrowed(block.contentRange);
    if (block.closingRange) {
        stored.isClosed = true;
        stored.closingRange = narrowed(*block.closingRange);
    }
    stored.fullRange = narrowed(block.fullRange);
    stored.presentationRange = narrowed(block.presentationRange);
    stored.markerLength = narrowed(block.opening.length);
    stored.character = static_cast<char>(block.opening.character);
    stored.indentation = static_cast<std::uint8_t>(block.opening.indentation.size());
    stored.infoString = StoredInfoString(block.opening.infoString);
    return stored;
}

namespace {

/// The block's parts that come of its opening line.
StoredFencedCodeBlock blockOpenedBy(const StoredFenceLine &opening) {
    StoredFencedCodeBlock block;
    block.openingLine = StoredRange{opening.start, opening.length};
    block.markerLength = opening.runLength;
    block.character = opening.character;
    block.indentation = opening.indentation;
    block.infoString = opening.infoString;
    return block;
}

} // namespace

StoredFencedCodeBlock storedBlock(const StoredFenceLine &opening, const StoredFenceLine &closing) {
    StoredFencedCodeBlock block = blockOpenedBy(opening);
    const std::uint32_t contentStart = opening.start + opening.length;
    block.contentRange = StoredRange{contentStart, closing.start - contentStart};
    block.isClosed = true;
    block.closingRange = StoredRange{closing.start, closing.length};
    block.fullRange = StoredRange{opening.start, closing.start + closing.length - opening.start};
    block.presentationRange = StoredRange{opening.start, closing.start + closing.lengthWithoutBreaks - opening.start};
    return block;
}

StoredFencedCodeBlock storedBlockLeftOpen(const StoredFenceLine &opening, std::size_t textLength) {
    StoredFencedCodeBlock block = blockOpenedBy(opening);
    const std::uint32_t contentStart = opening.start + opening.length;
    block.contentRange = StoredRange{contentStart, narrowed(textLength) - contentStart};
    block.fullRange = StoredRange{opening.start, narrowed(textLength) - opening.start};
    block.presentationRange = block.fullRange;
    return block;
}

FencedCodeBlock toItem(const StoredFencedCodeBlock &stored) {
    FencedCodeBlock block;
    block.opening.character = stored.character;
    block.opening.length = stored.markerLength;
    block.opening.indentation = std::u16string(stored.indentation, u' ');
    block.opening.infoString = stored.infoString.view();
    block.opening.lineRange = widened(stored.openingLine);
    block.opening.markerRange = TextRange{stored.openingLine.location + stored.indentation, stored.markerLength};
    block.contentRange = widened(stored.contentRange);
    if (stored.isClosed) {
        block.closingRange = widened(stored.closingRange);
    }
    block.fullRange = widened(stored.fullRange);
    block.presentationRange = widened(stored.presentationRange);
    return block;
}

std::uint32_t startOf(const StoredFencedCodeBlock &block) {
    return block.fullRange.location;
}

void shift(StoredFencedCodeBlock &block, std::ptrdiff_t delta) {
    shiftPosition(block.openingLine.location, delta);
    shiftPosition(block.contentRange.location, delta);
    shiftPosition(block.closingRange.location, delta);
    shiftPosition(block.fullRange.location, delta);
    shiftPosition(block.presentationRange.location, delta);
}

} // namespace velto::editor
