#pragma once

#include <algorithm>
#include <cstddef>
#include <limits>
#include <ostream>

namespace velto::editor {

/// A range of UTF-16 code units in a text: where it starts and how many units it covers.
struct TextRange {
    /// The location of a range that was not found.
    static constexpr std::size_t notFound = std::numeric_limits<std::size_t>::max();

    std::size_t location = 0;
    std::size_t length = 0;

    constexpr std::size_t end() const { return location + length; }
    constexpr bool contains(std::size_t position) const { return position >= location && position < end(); }
    bool operator==(const TextRange &) const = default;
};

/// "{location, length}", so that test failures read plainly.
inline std::ostream &operator<<(std::ostream &stream, TextRange range) {
    return stream << '{' << range.location << ", " << range.length << '}';
}

/// The range from `start` up to `end` (empty when end lies before start).
constexpr TextRange rangeBetween(std::size_t start, std::size_t end) {
    return TextRange{start, end > start ? end - start : 0};
}

/// The overlap of two ranges; empty (length 0) when they do not overlap.
constexpr TextRange intersection(TextRange a, TextRange b) {
    const std::size_t start = std::max(a.location, b.location);
    const std::size_t end = std::min(a.end(), b.end());
    return end > start ? TextRange{start, end - start} : TextRange{start, 0};
}

/// True when the two ranges share at least one unit.
constexpr bool overlaps(TextRange a, TextRange b) {
    return intersection(a, b).length > 0;
}

/// The smallest range covering both.
constexpr TextRange unionRange(TextRange a, TextRange b) {
    return rangeBetween(std::min(a.location, b.location), std::max(a.end(), b.end()));
}

} // namespace velto::editor
