#pragma once

#include "editor/text/TextRange.h"

#include <cstddef>
#include <random>
#include <vector>

namespace velto::editor {

/// Ascending, disjoint ranges cut at random from a text of the given length, some empty, some
/// touching: the ranges a search is handed.
inline std::vector<TextRange> randomRanges(std::mt19937 &random, std::size_t length) {
    std::vector<TextRange> ranges;
    std::size_t position = random() % 3 == 0 ? 0 : random() % (length + 1);
    while (position <= length && ranges.size() < 4) {
        const std::size_t end = position + random() % (length - position + 1);
        ranges.push_back(rangeBetween(position, end));
        position = end + random() % 3;
    }
    return ranges;
}

} // namespace velto::editor
