#include "editor/markdown/MarkdownPatternReach.h"

#include <algorithm>

namespace velto::editor {

namespace {

/// The span of the line an attempt may read through: from the candidate to the line's end.
struct LineAhead {
    const TextStorage &storage;
    std::size_t from;
    std::size_t lineEnd;

    std::size_t find(char16_t unit, std::size_t start) const {
        return start >= lineEnd ? lineEnd : storage.findForward(unit, rangeBetween(start, lineEnd));
    }

    /// The first ")" at or after `start` that no backslash precedes: a destination's walk can step
    /// over an escaped ")" but never over this one. The line's end when there is none.
    std::size_t unescapedClosingParenthesis(std::size_t start) const {
        std::size_t position = find(u')', start);
        while (position < lineEnd && position > 0 && storage.characterAt(position - 1) == u'\\') {
            position = find(u')', position + 1);
        }
        return position;
    }
};

bool occursBetween(const TextStorage &storage, char16_t unit, std::size_t from, std::size_t before) {
    return from < before && storage.findBackward(unit, rangeBetween(from, before)) != TextRange::notFound;
}

/// The reach of strong text, emphasis and strike-through opened before the candidate: their content
/// runs to the first delimiter unit, and the closing delimiter and the look-ahead after it read two more.
std::size_t delimitedReach(const TextStorage &storage, const LineAhead &ahead, std::size_t attemptsFrom) {
    std::size_t reach = 0;
    for (const char16_t delimiter : {u'*', u'_', u'~'}) {
        if (occursBetween(storage, delimiter, attemptsFrom, ahead.from)) {
            reach = std::max(reach, ahead.find(delimiter, ahead.from) + 2);
        }
    }
    return reach;
}

/// The reach of links opened before the candidate: a label runs to the first "]" and reads the unit
/// after it, and a destination, begun before or right after that "]", runs to an unescaped ")".
std::size_t linkReach(const TextStorage &storage, const LineAhead &ahead, std::size_t attemptsFrom) {
    if (!occursBetween(storage, u'[', attemptsFrom, ahead.from)) {
        return 0;
    }
    const std::size_t labelEnd = ahead.find(u']', ahead.from);
    std::size_t reach = labelEnd + 2;
    reach = std::max(reach, ahead.unescapedClosingParenthesis(ahead.from) + 1);
    if (labelEnd + 1 < ahead.lineEnd && storage.characterAt(labelEnd + 1) == u'(') {
        reach = std::max(reach, ahead.unescapedClosingParenthesis(labelEnd + 2) + 1);
    }
    return reach;
}

} // namespace

std::size_t markdownPatternReach(const TextStorage &storage, std::size_t candidate, std::size_t attemptsFrom,
                                 std::size_t lineEnd) {
    const LineAhead ahead{storage, candidate, lineEnd};
    // The letter at the candidate ends every other attempt; a look-ahead may read the unit after it.
    std::size_t reach = candidate + 2;
    reach = std::max(reach, delimitedReach(storage, ahead, attemptsFrom));
    reach = std::max(reach, linkReach(storage, ahead, attemptsFrom));
    return std::min(reach, lineEnd);
}

} // namespace velto::editor
