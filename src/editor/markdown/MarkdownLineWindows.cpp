#include "editor/markdown/MarkdownLineWindows.h"

#include "editor/markdown/MarkdownPatternReach.h"
#include "editor/markdown/MarkdownStylerPasses.h"
#include "editor/text/StorageLines.h"

#include <algorithm>

// A change inside one long line is restyled through a window of the line between two of its cut
// points, placed so that the full pass over the text now finds in the window exactly what a pass
// started afresh at the window's start finds:
// - at the start, a cut point of the text before the change whose searches cannot read as far as the
//   change: the searches before it found what they found before, and none crossed it then;
// - at the end, a cut point of the text before the change, after the change, that no match of the
//   window's pass crosses now: the searches from there on are those that ran there before.
// The line's own start and end serve too, since every search starts and stops there anyway, but not
// both at once (that window is the line, which the line pass styles with its neighbours).
// The window's pass reads the text up to where its searches begun before the end can read, so
// what it finds before the end is what the full pass finds.
namespace velto::editor::MarkdownStyler {

namespace {

/// The longest stretch of a line a window's pass reads; beyond it restyling the line costs as much.
constexpr std::size_t longestWindowPass = 64 * 1024;

/// The stretch the edits changed, in the text as it is now: from the first unit any of them touched
/// to the last, whatever lies between.
TextRange changedStretch(const std::vector<CharacterEdit> &edits) {
    std::optional<TextRange> stretch;
    for (const CharacterEdit &edit : edits) {
        const std::size_t oldEnd = edit.location + edit.oldLength;
        const std::size_t newEnd = edit.location + edit.newLength;
        if (!stretch) {
            stretch = TextRange{edit.location, edit.newLength};
            continue;
        }
        const auto moved = [&](std::size_t position, std::size_t inside) {
            return position <= edit.location ? position
                   : position >= oldEnd      ? position - edit.oldLength + edit.newLength
                                             : inside;
        };
        const std::size_t start = std::min(moved(stretch->location, edit.location), edit.location);
        const std::size_t end = std::max(moved(stretch->end(), newEnd), newEnd);
        stretch = rangeBetween(start, end);
    }
    return stretch.value_or(TextRange{});
}

/// Whether every edit kept the units it removed and none of them was a line feed.
bool removedNoLineFeed(const std::vector<CharacterEdit> &edits) {
    return std::all_of(edits.begin(), edits.end(), [](const CharacterEdit &edit) {
        return edit.keepsRemovedUnits() && edit.removedUnits.find(u'\n') == std::u16string::npos;
    });
}

bool crosses(TextRange range, std::size_t position) {
    return range.location < position && position < range.end();
}

/// Where to start a window: the nearest cut point before the change whose searches cannot read as
/// far as the change, else the line's start, where every search starts afresh anyway, unless the
/// line may underline the one before it (its first unit is "=", or may have been).
std::optional<std::size_t> windowStart(const TextStorage &storage, const LineCutPoints &cutPoints, TextRange line,
                                       TextRange changed) {
    if (changed.location >= line.location + 2) {
        for (const std::size_t point : cutPoints.atOrBefore(changed.location - 2, 4)) {
            if (point <= line.location) {
                break;
            }
            if (markdownPatternReach(storage, point, line.location, line.end()) <= changed.location) {
                return point;
            }
        }
    }
    const bool mayUnderline =
        line.location > 0 && (changed.location == line.location || storage.characterAt(line.location) == u'=');
    return mayUnderline ? std::nullopt : std::optional<std::size_t>(line.location);
}

/// Where a window may end: the nearest cut points after the change, then the line's end, where
/// every search stops anyway; never the line's end when the window starts at the line's start.
std::vector<std::size_t> windowEnds(const LineCutPoints &cutPoints, TextRange line, TextRange changed,
                                    std::size_t start) {
    std::vector<std::size_t> ends;
    for (const std::size_t point : cutPoints.atOrAfter(changed.end() + 1, 4)) {
        if (point >= line.end()) {
            break;
        }
        ends.push_back(point);
    }
    if (start > line.location) {
        ends.push_back(line.end());
    }
    return ends;
}

/// The inline code spans of the index over the range, moved to a copy of it that starts at the
/// range's start and cut at its end.
std::vector<InlineCodeSpan> spansInCopyOf(const MarkdownCodeTokenIndex &index, TextRange range) {
    std::vector<InlineCodeSpan> spans;
    for (const InlineCodeSpan &span : index.inlineCodeSpansOverlapping(range)) {
        const auto inCopy = [&range](TextRange part) {
            return rangeBetween(part.location - range.location, std::min(part.end(), range.end()) - range.location);
        };
        spans.push_back(InlineCodeSpan{inCopy(span.fullRange), inCopy(span.contentRange)});
    }
    return spans;
}

/// Restyles the window of the line when no match of its pass crosses its end: returns the window,
/// with the cut points inside it placed anew; none when it cannot be cut there.
std::optional<TextRange> restyleWindow(TextStorage &storage, const MarkdownCodeTokenIndex &index, TextRange window,
                                       TextRange line, LineCutPoints &cutPoints, const std::optional<Color> &color,
                                       const StyleSettings &style) {
    const TextRange read =
        rangeBetween(window.location, markdownPatternReach(storage, window.end(), window.location, line.end()));
    if (read.length > longestWindowPass) {
        return std::nullopt;
    }
    for (const InlineCodeSpan &span : index.inlineCodeSpansOverlapping(read)) {
        if (crosses(span.fullRange, window.location) || crosses(span.fullRange, window.end())) {
            return std::nullopt;
        }
    }
    TextStorage scratch(storage.substring(read));
    const DocumentStructure structure{{}, spansInCopyOf(index, read)};
    LongLineMatches recorded;
    recorded.lines = {TextRange{0, scratch.length()}};
    applyFullPass(
        scratch, color, style, [&structure] { return structure; }, FullPassSearch::outsideStyledCode, &recorded);
    const std::size_t end = window.length;
    std::vector<TextRange> matchesBeforeEnd;
    for (const TextRange match : recorded.matches) {
        if (crosses(match, end)) {
            return std::nullopt;
        }
        if (match.location < end) {
            matchesBeforeEnd.push_back(match);
        }
    }
    storage.beginEditing();
    copyRuns(scratch, TextRange{0, end}, storage, window.location);
    storage.endEditing();
    // The window's ends are cut points now, unless they are the line's own.
    std::vector<std::size_t> points;
    if (window.location > line.location) {
        points.push_back(window.location);
    }
    for (const std::size_t point : LineCutPoints::of(scratch.string(), {TextRange{0, end}}, matchesBeforeEnd)) {
        points.push_back(window.location + point);
    }
    if (window.end() < line.end()) {
        points.push_back(window.end());
    }
    cutPoints.replace(window, points);
    return window;
}

} // namespace

std::optional<TextRange> restyleWithinLongLine(TextStorage &storage, const MarkdownCodeTokenIndex &index,
                                               const std::vector<CharacterEdit> &edits, LineCutPoints &cutPoints,
                                               const std::optional<Color> &color, const StyleSettings &style) {
    const TextRange changed = changedStretch(edits);
    if (!removedNoLineFeed(edits) || changed.end() > storage.length() ||
        storage.findForward(u'\n', changed) < changed.end()) {
        return std::nullopt;
    }
    const TextRange line = lineFeedLines(storage, changed);
    if (line.length < LineCutPoints::longLineLength || !index.fencedBlocksOverlapping(line).empty()) {
        return std::nullopt;
    }
    const std::optional<std::size_t> start = windowStart(storage, cutPoints, line, changed);
    if (!start) {
        return std::nullopt;
    }
    for (const std::size_t end : windowEnds(cutPoints, line, changed, *start)) {
        if (const auto window =
                restyleWindow(storage, index, rangeBetween(*start, end), line, cutPoints, color, style)) {
            return window;
        }
    }
    return std::nullopt;
}

} // namespace velto::editor::MarkdownStyler
