#include "editor/markdown/MarkdownSyntaxScanner.h"

#include "editor/text/StringRanges.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace velto::editor {

std::vector<TextRange> DocumentStructure::literalCodeRanges() const {
    std::vector<TextRange> ranges;
    ranges.reserve(fencedBlocks.size() + inlineCodeSpans.size());
    for (const FencedCodeBlock &block : fencedBlocks) {
        ranges.push_back(block.fullRange);
    }
    for (const InlineCodeSpan &span : inlineCodeSpans) {
        ranges.push_back(span.fullRange);
    }
    return ranges;
}

const FencedCodeBlock *DocumentStructure::fencedBlock(std::size_t openingAt) const {
    for (const FencedCodeBlock &block : fencedBlocks) {
        if (block.opening.lineRange.location == openingAt) {
            return &block;
        }
    }
    return nullptr;
}

namespace MarkdownSyntaxScanner {

namespace {

constexpr char16_t backtick = u'`';
constexpr char16_t tilde = u'~';
constexpr char16_t backslash = u'\\';

/// The line's end with its trailing line feeds and carriage returns left out.
std::size_t endWithoutLineBreaks(std::u16string_view text, TextRange line) {
    std::size_t end = line.end();
    while (end > line.location && (text[end - 1] == u'\n' || text[end - 1] == u'\r')) {
        --end;
    }
    return end;
}

std::size_t spacesFrom(std::u16string_view text, std::size_t position, std::size_t end) {
    std::size_t count = 0;
    while (position + count < end && text[position + count] == u' ') {
        ++count;
    }
    return count;
}

/// The start of the line when only 0 to 3 spaces stand between it and the position; else not found.
std::size_t lineStartBeforeSpaces(std::u16string_view text, std::size_t position) {
    std::size_t start = position;
    while (start > 0 && position - start < 4 && text[start - 1] == u' ') {
        --start;
    }
    if (position - start >= 4 || (start > 0 && !isLineTerminator(text[start - 1]))) {
        return TextRange::notFound;
    }
    return start;
}

/// Whether the line, after its spaces, starts with three backticks or three tildes.
bool startsWithThreeFenceCharacters(std::u16string_view text, std::size_t lineStart) {
    std::size_t position = lineStart;
    while (position < text.size() && text[position] == u' ') {
        ++position;
    }
    if (position + 3 > text.size()) {
        return false;
    }
    const char16_t character = text[position];
    return (character == backtick || character == tilde) && text[position + 1] == character &&
           text[position + 2] == character;
}

FencedCodeBlock blockLeftOpen(std::size_t textLength, const FenceMarker &open) {
    FencedCodeBlock block;
    block.opening = open;
    block.contentRange = rangeBetween(open.lineRange.end(), textLength);
    block.fullRange = rangeBetween(open.lineRange.location, textLength);
    block.presentationRange = block.fullRange;
    return block;
}

/// Whether a line whose run of `character` is followed by `rest` (line breaks left out) opens a fence: not when the
/// rest of a backtick fence's line holds a backtick.
bool opensAfterRun(char16_t character, std::u16string_view rest) {
    return character != backtick || rest.find(backtick) == std::u16string_view::npos;
}

/// The info string of a line whose run of fence characters ends at `runEnd` and whose text ends (line breaks
/// left out) at `end`, when the line opens a fence.
std::optional<std::u16string_view> infoStringAfterRun(std::u16string_view text, char16_t character, std::size_t runEnd,
                                                      std::size_t end) {
    const std::u16string_view rest = text.substr(runEnd, end - runEnd);
    if (!opensAfterRun(character, rest)) {
        return std::nullopt;
    }
    return trimmingWhitespaceAndNewlines(rest);
}

/// The marker of a line whose run of at least three fence characters, after at most three spaces, ends at
/// `runEnd` and whose text ends (line breaks left out) at `end`; none when the line opens no fence.
std::optional<FenceMarker> markerOfRun(std::u16string_view text, TextRange lineRange, std::size_t spaces,
                                       std::size_t runEnd, std::size_t end) {
    const std::size_t runStart = lineRange.location + spaces;
    const char16_t character = text[runStart];
    const std::optional<std::u16string_view> infoString = infoStringAfterRun(text, character, runEnd, end);
    if (!infoString) {
        return std::nullopt;
    }
    FenceMarker marker;
    marker.character = character;
    marker.length = runEnd - runStart;
    marker.indentation = std::u16string(spaces, u' ');
    marker.infoString = std::u16string(*infoString);
    marker.lineRange = lineRange;
    marker.markerRange = rangeBetween(runStart, runEnd);
    return marker;
}

} // namespace

std::optional<FenceMarker> openingFence(std::u16string_view text, TextRange lineRange) {
    const std::size_t end = endWithoutLineBreaks(text, lineRange);
    if (end == lineRange.location) {
        return std::nullopt;
    }
    const std::size_t spaces = spacesFrom(text, lineRange.location, end);
    if (lineRange.location + spaces == end || spaces >= 4) {
        return std::nullopt;
    }
    const std::size_t runStart = lineRange.location + spaces;
    const char16_t character = text[runStart];
    if (character != backtick && character != tilde) {
        return std::nullopt;
    }
    std::size_t runEnd = runStart;
    while (runEnd < end && text[runEnd] == character) {
        ++runEnd;
    }
    if (runEnd - runStart < 3) {
        return std::nullopt;
    }
    return markerOfRun(text, lineRange, spaces, runEnd, end);
}

namespace {

/// Fills in the fence line starting at `lineStart`. The line is written where it is kept, field by field: built
/// apart and copied in, its parts are read back as wider words than they were written in, which costs the
/// processor a stall on each of a big page's million fence lines.
void fillFenceLine(std::u16string_view text, std::size_t lineStart, FoundFenceLine &line) {
    const TextRange range = rangeBetween(lineStart, lineEnd(text, lineStart));
    const std::size_t end = endWithoutLineBreaks(text, range);
    const std::size_t spaces = spacesFrom(text, lineStart, end);
    const std::size_t runStart = lineStart + spaces;
    const char16_t character = text[runStart];
    std::size_t position = runStart;
    while (position < end && text[position] == character) {
        ++position;
    }
    const std::size_t runEnd = position;
    const std::u16string_view rest = text.substr(runEnd, end - runEnd);
    bool onlyBlanksAfterRun = true;
    for (const char16_t unit : rest) {
        if (unit != u' ' && unit != u'\t') {
            onlyBlanksAfterRun = false;
            break;
        }
    }
    line.start = lineStart;
    line.length = range.length;
    line.lengthWithoutBreaks = end - lineStart;
    line.character = character;
    line.runLength = runEnd - runStart;
    line.onlyBlanksAfterRun = onlyBlanksAfterRun;
    line.indentation = spaces;
    // The line starts with at most three spaces and a run of three fence characters: it opens a fence as
    // openingFence finds it, unless the rest of the line rules its marker out.
    line.opens = opensAfterRun(character, rest);
    line.infoString = line.opens ? trimmingWhitespaceAndNewlines(rest) : std::u16string_view();
}

FenceMarker markerAt(const FenceLine &line) {
    FenceMarker marker = *line.opening;
    marker.lineRange.location += line.start;
    marker.markerRange.location += line.start;
    return marker;
}

} // namespace

void findFenceLines(std::u16string_view text, TextRange window, std::vector<FoundFenceLine> &found) {
    const std::u16string_view searched = text.substr(0, window.end());
    std::size_t position = window.location;
    while (position < searched.size()) {
        // Go straight to the next backtick or tilde; the line counts when that is its first character
        // after at most three spaces and starts a run of three.
        const std::size_t candidate = findEitherUnit(searched, position, backtick, tilde);
        if (candidate == searched.size()) {
            break;
        }
        const std::size_t lineStart = lineStartBeforeSpaces(text, candidate);
        if (lineStart == TextRange::notFound || !startsWithThreeFenceCharacters(text, lineStart)) {
            position = candidate + 1;
            continue;
        }
        fillFenceLine(text, lineStart, found.emplace_back());
        position = lineStart + found.back().length;
    }
}

FenceLine fenceLineOf(const FoundFenceLine &found) {
    FenceLine line;
    line.start = found.start;
    line.length = found.length;
    line.lengthWithoutBreaks = found.lengthWithoutBreaks;
    line.character = found.character;
    line.runLength = found.runLength;
    line.onlyBlanksAfterRun = found.onlyBlanksAfterRun;
    if (found.opens) {
        // The marker's ranges are counted from the line's start.
        FenceMarker marker;
        marker.character = found.character;
        marker.length = found.runLength;
        marker.indentation = std::u16string(found.indentation, u' ');
        marker.infoString = std::u16string(found.infoString);
        marker.lineRange = TextRange{0, found.length};
        marker.markerRange = TextRange{found.indentation, found.runLength};
        line.opening = std::move(marker);
    }
    return line;
}

std::vector<FenceLine> fenceLines(std::u16string_view text, TextRange window) {
    std::vector<FoundFenceLine> found;
    findFenceLines(text, window, found);
    std::vector<FenceLine> lines;
    lines.reserve(found.size());
    for (const FoundFenceLine &line : found) {
        lines.push_back(fenceLineOf(line));
    }
    return lines;
}

FencedCodeScan fencedCodeScan(std::u16string_view text, const std::vector<FenceLine> &lines) {
    return fencedCodeScan(text.size(), lines);
}

FencedCodeScan fencedCodeScan(std::size_t textLength, const std::vector<FenceLine> &lines) {
    FencedCodeScan scan;
    FencePairing pairing;
    for (const FenceLine &line : lines) {
        if (std::optional<FencedCodeBlock> block = pairing.take(line)) {
            scan.blocks.push_back(std::move(*block));
        }
    }
    if (std::optional<FencedCodeBlock> block = pairing.unclosedBlock(textLength)) {
        scan.blocks.push_back(std::move(*block));
        scan.isBalanced = false;
    }
    return scan;
}

std::optional<FencedCodeBlock> FencePairing::take(const FenceLine &line) {
    if (!open_) {
        if (line.opening) {
            open_ = markerAt(line);
        }
        return std::nullopt;
    }
    if (!closesFence(line, open_->character, open_->length)) {
        return std::nullopt;
    }
    FencedCodeBlock block;
    block.opening = std::move(*open_);
    block.contentRange = rangeBetween(block.opening.lineRange.end(), line.start);
    block.closingRange = TextRange{line.start, line.length};
    block.fullRange = rangeBetween(block.opening.lineRange.location, line.start + line.length);
    block.presentationRange = rangeBetween(block.opening.lineRange.location, line.start + line.lengthWithoutBreaks);
    open_.reset();
    return block;
}

std::optional<FencedCodeBlock> FencePairing::unclosedBlock(std::size_t textLength) const {
    return open_ ? std::optional<FencedCodeBlock>(blockLeftOpen(textLength, *open_)) : std::nullopt;
}

FencedCodeScan fencedCodeScan(std::u16string_view text) {
    return fencedCodeScan(text, fenceLines(text, TextRange{0, text.size()}));
}

std::vector<BacktickRun> backtickRuns(std::u16string_view text, TextRange window) {
    std::vector<BacktickRun> runs;
    const std::size_t end = window.end();
    std::size_t position = window.location;
    while (position < end) {
        position = findUnit(text.substr(0, end), position, backtick);
        if (position == end) {
            break;
        }
        if (isEscaped(position, text)) {
            ++position; // an escaped backtick is literal on its own
            continue;
        }
        const std::size_t start = position;
        while (position < text.size() && text[position] == backtick) {
            ++position;
        }
        runs.push_back(BacktickRun{start, position - start});
    }
    return runs;
}

std::vector<InlineCodeSpan> inlineCodeSpans(const std::vector<BacktickRun> &allRuns,
                                            const std::vector<TextRange> &fencedRanges) {
    // Backticks inside fenced code take no part. A run never straddles a fenced range's edge: those
    // lie at line starts and ends.
    std::vector<BacktickRun> runs;
    runs.reserve(allRuns.size());
    std::size_t fenced = 0;
    for (const BacktickRun &run : allRuns) {
        while (fenced < fencedRanges.size() && fencedRanges[fenced].end() <= run.start) {
            ++fenced;
        }
        if (fenced < fencedRanges.size() && fencedRanges[fenced].contains(run.start)) {
            continue;
        }
        runs.push_back(run);
    }

    // For every run, the next run of the same length (runs.size() when there is none).
    // Short runs, by far the most common, look their length up in an array.
    std::vector<std::size_t> nextOfSameLength(runs.size(), runs.size());
    std::array<std::size_t, 16> laterShortRun;
    laterShortRun.fill(runs.size());
    std::unordered_map<std::size_t, std::size_t> laterLongRun;
    for (std::size_t index = runs.size(); index-- > 0;) {
        const std::size_t length = runs[index].length;
        std::size_t &later = length < laterShortRun.size()
                                 ? laterShortRun[length]
                                 : laterLongRun.try_emplace(length, runs.size()).first->second;
        nextOfSameLength[index] = later;
        later = index;
    }
    std::vector<InlineCodeSpan> spans;
    std::size_t current = 0;
    while (current < runs.size()) {
        const std::size_t closing = nextOfSameLength[current];
        if (closing == runs.size()) {
            ++current; // no closing run: this one stays literal text
            continue;
        }
        const BacktickRun &opening = runs[current];
        const BacktickRun &closingRun = runs[closing];
        spans.push_back(InlineCodeSpan{rangeBetween(opening.start, closingRun.start + closingRun.length),
                                       rangeBetween(opening.start + opening.length, closingRun.start)});
        current = closing + 1;
    }
    return spans;
}

std::vector<InlineCodeSpan> inlineCodeSpans(std::u16string_view text, const std::vector<TextRange> &fencedRanges) {
    return inlineCodeSpans(backtickRuns(text, TextRange{0, text.size()}), fencedRanges);
}

DocumentStructure structure(std::u16string_view text) {
    DocumentStructure result;
    result.fencedBlocks = fencedCodeScan(text).blocks;
    std::vector<TextRange> fencedRanges;
    fencedRanges.reserve(result.fencedBlocks.size());
    for (const FencedCodeBlock &block : result.fencedBlocks) {
        fencedRanges.push_back(block.fullRange);
    }
    result.inlineCodeSpans = inlineCodeSpans(text, fencedRanges);
    return result;
}

bool isInsideFencedCode(std::size_t location, std::u16string_view text) {
    location = std::min(location, text.size());
    for (const FencedCodeBlock &block : fencedCodeScan(text).blocks) {
        if (block.contentRange.contains(location)) {
            return true;
        }
    }
    return false;
}

namespace {

TextRange paragraphsAroundEdit(TextRange editedRange, std::u16string_view text) {
    const std::size_t length = text.size();
    const std::size_t start = std::min(editedRange.location, length);
    const std::size_t end = std::min(editedRange.location + editedRange.length, length);
    TextRange range = paragraphRange(text, rangeBetween(start, end));
    if (range.location > 0) {
        range = unionRange(range, paragraphRange(text, TextRange{range.location - 1, 0}));
    }
    if (range.end() < length) {
        range = unionRange(range, paragraphRange(text, TextRange{range.end(), 0}));
    }
    return range;
}

} // namespace

std::optional<TextRange> incrementalStylingRange(TextRange editedRange, std::u16string_view text) {
    const TextRange range = paragraphsAroundEdit(editedRange, text);
    if (!containsSubstring(text, u"```") && !containsSubstring(text, u"~~~")) {
        return range;
    }
    return incrementalStylingRange(editedRange, text, fencedCodeScan(text));
}

// Without three fence characters in a row the scan finds no blocks and is balanced, so the range
// comes out as the paragraphs alone: no need for the text search above.
std::optional<TextRange> incrementalStylingRange(TextRange editedRange, std::u16string_view text,
                                                 const FencedCodeScan &scan) {
    TextRange range = paragraphsAroundEdit(editedRange, text);
    if (!scan.isBalanced) {
        return std::nullopt;
    }
    for (const FencedCodeBlock &block : scan.blocks) {
        if (overlaps(block.fullRange, range)) {
            range = unionRange(range, block.fullRange);
        }
    }
    return range;
}

bool isEscaped(std::size_t location, std::u16string_view text) {
    if (location == 0 || location > text.size() || text[location - 1] != backslash) {
        return false;
    }
    std::size_t count = 0;
    while (location > count && text[location - 1 - count] == backslash) {
        ++count;
    }
    return count % 2 == 1;
}

} // namespace MarkdownSyntaxScanner

} // namespace velto::editor
