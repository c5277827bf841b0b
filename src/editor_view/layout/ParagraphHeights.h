#pragma once

#include "editor_view/layout/SparseParagraphs.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace velto::editor {

/// The height of every paragraph of a text, each on the grid of 1/64 of a pixel the layout cache keeps them
/// on, counted in 32 bits: a page holds millions of paragraphs, and a double for each cost a 60 MB page 8 MB
/// more. A height too tall for 32 bits (over 67 million pixels, a paragraph of tens of megabytes in a narrow
/// view) is kept whole beside the others. Every height reads back exactly as it was set.
class ParagraphHeights {
public:
    /// The units of the grid in a pixel.
    static constexpr double gridUnits = 64;
    /// The height rounded to the grid (the one glyph metrics come on): sums of such heights are exact.
    static double onGrid(double height) { return std::round(height * gridUnits) / gridUnits; }

    std::size_t size() const { return units_.size(); }
    bool empty() const { return units_.empty(); }
    /// The bytes the heights take.
    std::size_t bytes() const { return units_.capacity() * sizeof(std::uint32_t) + tall_.bytes(); }

    double operator[](std::size_t paragraph) const {
        const std::uint32_t units = units_[paragraph];
        return units != tallMark ? static_cast<double>(units) / gridUnits : *tall_.find(paragraph);
    }
    /// Sets a height, which must lie on the grid and not below 0.
    void set(std::size_t paragraph, double height) {
        const double units = height * gridUnits;
        if (units < static_cast<double>(tallMark)) {
            if (units_[paragraph] == tallMark) {
                tall_.take(paragraph);
            }
            units_[paragraph] = static_cast<std::uint32_t>(units);
        } else {
            units_[paragraph] = tallMark;
            tall_[paragraph] = height;
        }
    }

    /// As many paragraphs as given, each 0 high.
    void assign(std::size_t count) {
        units_.assign(count, 0);
        tall_.clear();
    }
    /// Removes `count` paragraphs from `at` on.
    void erase(std::size_t at, std::size_t count) {
        const auto from = units_.begin() + static_cast<std::ptrdiff_t>(at);
        units_.erase(from, from + static_cast<std::ptrdiff_t>(count));
        tall_.splice(at, count, 0);
    }
    /// Inserts `count` paragraphs 0 high at `at`.
    void insert(std::size_t at, std::size_t count) {
        units_.insert(units_.begin() + static_cast<std::ptrdiff_t>(at), count, 0);
        tall_.splice(at, 0, count);
    }

private:
    /// Marks a height kept among the tall ones.
    static constexpr std::uint32_t tallMark = std::numeric_limits<std::uint32_t>::max();

    std::vector<std::uint32_t> units_;
    SparseParagraphs<double> tall_;
};

} // namespace velto::editor
