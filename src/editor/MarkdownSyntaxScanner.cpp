#include "editor/MarkdownSyntaxScanner.h"

#include "editor/StringRanges.h"

#include <algorithm>
#include <map>

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

bool isClosingFence(std::u16string_view text, TextRange line, const FenceMarker &open) {
    const std::size_t end = endWithoutLineBreaks(text, line);
    const std::size_t spaces = spacesFrom(text, line.location, end);
    if (spaces >= 4) {
        return false;
    }
    std::size_t position = line.location + spaces;
    std::size_t run = 0;
    while (position < end && text[position] == open.character) {
        ++run;
        ++position;
    }
    if (run < open.length) {
        return false;
    }
    for (; position < end; ++position) {
        if (text[position] != u' ' && text[position] != u'\t') {
            return false;
        }
    }
    return true;
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

FencedCodeBlock closedBlock(std::u16string_view text, const FenceMarker &open, TextRange closingLine) {
    FencedCodeBlock block;
    block.opening = open;
    block.contentRange = rangeBetween(open.lineRange.end(), closingLine.location);
    block.closingRange = closingLine;
    block.fullRange = rangeBetween(open.lineRange.location, closingLine.end());
    block.presentationRange = rangeBetween(open.lineRange.location, endWithoutLineBreaks(text, closingLine));
    return block;
}

FencedCodeBlock unclosedBlock(std::u16string_view text, const FenceMarker &open) {
    FencedCodeBlock block;
    block.opening = open;
    block.contentRange = rangeBetween(open.lineRange.end(), text.size());
    block.fullRange = rangeBetween(open.lineRange.location, text.size());
    block.presentationRange = block.fullRange;
    return block;
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
    const std::u16string_view rest = text.substr(runEnd, end - runEnd);
    if (character == backtick && rest.find(backtick) != std::u16string_view::npos) {
        return std::nullopt;
    }
    FenceMarker marker;
    marker.character = character;
    marker.length = runEnd - runStart;
    marker.indentation = std::u16string(spaces, u' ');
    marker.infoString = std::u16string(trimmingWhitespaceAndNewlines(rest));
    marker.lineRange = lineRange;
    marker.markerRange = rangeBetween(runStart, runEnd);
    return marker;
}

FencedCodeScan fencedCodeScan(std::u16string_view text) {
    FencedCodeScan scan;
    std::optional<FenceMarker> open;
    std::size_t position = 0;
    while (position < text.size()) {
        // Only a line whose first character after at most three spaces is a backtick or a tilde can
        // open or close a fence; every other line leaves the scan as it is.
        const std::size_t candidate = findEitherUnit(text, position, backtick, tilde);
        if (candidate == text.size()) {
            break;
        }
        const std::size_t lineStart = lineStartBeforeSpaces(text, candidate);
        if (lineStart == TextRange::notFound) {
            position = candidate + 1;
            continue;
        }
        const TextRange line = rangeBetween(lineStart, lineEnd(text, lineStart));
        if (!open) {
            open = openingFence(text, line);
        } else if (isClosingFence(text, line, *open)) {
            scan.blocks.push_back(closedBlock(text, *open, line));
            open.reset();
        }
        position = line.end();
    }
    if (open) {
        scan.blocks.push_back(unclosedBlock(text, *open));
        scan.isBalanced = false;
    }
    return scan;
}

std::vector<InlineCodeSpan> inlineCodeSpans(std::u16string_view text, const std::vector<TextRange> &fencedRanges) {
    struct Run {
        std::size_t start;
        std::size_t length;
    };
    std::vector<Run> runs;
    std::size_t fenced = 0;
    std::size_t position = 0;
    while (position < text.size()) {
        position = findUnit(text, position, backtick);
        if (position == text.size()) {
            break;
        }
        while (fenced < fencedRanges.size() && fencedRanges[fenced].end() <= position) {
            ++fenced;
        }
        if (fenced < fencedRanges.size() && fencedRanges[fenced].contains(position)) {
            position = fencedRanges[fenced].end();
            continue;
        }
        if (isEscaped(position, text)) {
            ++position; // an escaped backtick is literal on its own
            continue;
        }
        const std::size_t start = position;
        while (position < text.size() && text[position] == backtick) {
            ++position;
        }
        runs.push_back(Run{start, position - start});
    }

    std::map<std::size_t, std::vector<std::size_t>> runsByLength;
    for (std::size_t index = 0; index < runs.size(); ++index) {
        runsByLength[runs[index].length].push_back(index);
    }
    std::vector<InlineCodeSpan> spans;
    std::size_t current = 0;
    while (current < runs.size()) {
        const std::vector<std::size_t> &sameLength = runsByLength[runs[current].length];
        const auto closing = std::upper_bound(sameLength.begin(), sameLength.end(), current);
        if (closing == sameLength.end()) {
            ++current; // no closing run: this one stays literal text
            continue;
        }
        const Run &opening = runs[current];
        const Run &closingRun = runs[*closing];
        spans.push_back(InlineCodeSpan{rangeBetween(opening.start, closingRun.start + closingRun.length),
                                       rangeBetween(opening.start + opening.length, closingRun.start)});
        current = *closing + 1;
    }
    return spans;
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

std::optional<TextRange> incrementalStylingRange(TextRange editedRange, std::u16string_view text) {
    return incrementalStylingRange(editedRange, text, [text] { return fencedCodeScan(text); });
}

std::optional<TextRange> incrementalStylingRange(TextRange editedRange, std::u16string_view text,
                                                 const std::function<FencedCodeScan()> &scanOfText) {
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
    if (!containsSubstring(text, u"```") && !containsSubstring(text, u"~~~")) {
        return range;
    }
    const FencedCodeScan scan = scanOfText();
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
