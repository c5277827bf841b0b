#include "editor/markdown/StoredCodeItems.h"

namespace velto::editor {

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

StoredFenceLine toStored(const FenceLine &line) {
    StoredFenceLine stored;
    stored.start = narrowed(line.start);
    stored.length = narrowed(line.length);
    stored.lengthWithoutBreaks = narrowed(line.lengthWithoutBreaks);
    stored.runLength = narrowed(line.runLength);
    stored.character = line.character;
    stored.onlyBlanksAfterRun = line.onlyBlanksAfterRun;
    if (line.opening) {
        stored.opens = true;
        stored.indentation = static_cast<std::uint8_t>(line.opening->indentation.size());
        stored.infoString = StoredInfoString(line.opening->infoString);
    }
    return stored;
}

FenceLine toItem(const StoredFenceLine &stored) {
    FenceLine line;
    line.start = stored.start;
    line.length = stored.length;
    line.lengthWithoutBreaks = stored.lengthWithoutBreaks;
    line.runLength = stored.runLength;
    line.character = stored.character;
    line.onlyBlanksAfterRun = stored.onlyBlanksAfterRun;
    if (stored.opens) {
        FenceMarker marker;
        marker.character = stored.character;
        marker.length = stored.runLength;
        marker.indentation = std::u16string(stored.indentation, u' ');
        marker.infoString = stored.infoString.view();
        // The marker's ranges are counted from the line's start.
        marker.lineRange = TextRange{0, stored.length};
        marker.markerRange = TextRange{stored.indentation, stored.runLength};
        line.opening = std::move(marker);
    }
    return line;
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
    stored.character = block.opening.character;
    stored.indentation = static_cast<std::uint8_t>(block.opening.indentation.size());
    stored.infoString = StoredInfoString(block.opening.infoString);
    return stored;
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
