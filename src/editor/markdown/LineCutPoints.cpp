#include "editor/markdown/LineCutPoints.h"

#include <algorithm>

namespace velto::editor {

namespace {

bool isASCIILetter(char16_t unit) {
    return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z');
}

} // namespace

bool LineCutPoints::isCandidate(std::u16string_view text, std::size_t position) {
    return position > 0 && position < text.size() && text[position - 1] == u' ' && isASCIILetter(text[position]);
}

std::vector<std::size_t> LineCutPoints::of(std::u16string_view text, const std::vector<TextRange> &lines,
                                           std::vector<TextRange> matches) {
    std::sort(matches.begin(), matches.end(), [](TextRange a, TextRange b) { return a.location < b.location; });
    std::vector<std::size_t> points;
    std::size_t next = 0;        // the first match not yet passed
    std::size_t furthestEnd = 0; // the furthest end of the passed matches
    for (const TextRange line : lines) {
        std::size_t position = line.location + 1;
        while (position < line.end()) {
            if (!isCandidate(text, position)) {
                ++position;
                continue;
            }
            while (next < matches.size() && matches[next].location < position) {
                furthestEnd = std::max(furthestEnd, matches[next].end());
                ++next;
            }
            if (furthestEnd > position) {
                position = furthestEnd; // inside a match: the next candidate lies past it
                continue;
            }
            points.push_back(position);
            position += spacing;
        }
    }
    return points;
}

void LineCutPoints::moveThrough(const std::vector<CharacterEdit> &edits) {
    for (const CharacterEdit &edit : edits) {
        std::vector<std::size_t> moved;
        moved.reserve(points_.size());
        for (const std::size_t point : points_) {
            if (point + 1 < edit.location) {
                moved.push_back(point);
            } else if (point > edit.location + edit.oldLength) {
                moved.push_back(point - edit.oldLength + edit.newLength);
            }
        }
        points_ = std::move(moved);
    }
}

void LineCutPoints::replace(TextRange range, const std::vector<std::size_t> &points) {
    const auto first = std::lower_bound(points_.begin(), points_.end(), range.location);
    const auto last = std::upper_bound(first, points_.end(), range.end());
    const auto at = points_.erase(first, last);
    points_.insert(at, points.begin(), points.end());
}

std::vector<std::size_t> LineCutPoints::atOrBefore(std::size_t position, std::size_t count) const {
    std::vector<std::size_t> found;
    for (auto it = std::upper_bound(points_.begin(), points_.end(), position);
         it != points_.begin() && found.size() < count;) {
        found.push_back(*--it);
    }
    return found;
}

std::vector<std::size_t> LineCutPoints::atOrAfter(std::size_t position, std::size_t count) const {
    std::vector<std::size_t> found;
    for (auto it = std::lower_bound(points_.begin(), points_.end(), position);
         it != points_.end() && found.size() < count; ++it) {
        found.push_back(*it);
    }
    return found;
}

} // namespace velto::editor
