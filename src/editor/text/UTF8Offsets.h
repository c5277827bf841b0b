#pragma once

#include "editor/text/TextStorage.h"
#include "editor/text/UTF8Change.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace velto::editor {

/// Where the units of a text fall in its UTF-8 form: the byte of a unit every few thousand units, kept as the
/// text is edited, so that the byte of any unit is found by counting the units between it and the nearest
/// point, never the whole text before it. Points lie between code points; the first is the text's start.
class UTF8Offsets {
public:
    /// Units between two points, about: what finding a byte counts at most, and roughly what a point costs.
    static constexpr std::size_t pointSpacing = 4096;

    /// Measures the storage's whole text, which costs one read of it.
    void measure(const TextStorage &storage);
    /// Takes the places where a whole comparison of the storage's text found its pieces to end (`pieceEnds`, in
    /// order, none inside [start, newEnd)) instead of reading the text again, and measures only the units
    /// between `start` and `newEnd`, which the comparison converted; `end` is the text's end.
    void measureFrom(const TextStorage &storage, const std::vector<UnitAndByte> &pieceEnds, UnitAndByte start,
                     UnitAndByte newEnd, UnitAndByte end);

    /// The measured text's length in units and in bytes.
    UnitAndByte end() const { return end_; }

    /// The byte of `unit` (between two code points) in the measured text, counted on from the point before it
    /// over the units of `storage`, whose text before `unit` is the measured text's.
    std::size_t byteAfterPoint(const TextStorage &storage, std::size_t unit) const;
    /// The byte of `unit` (between two code points) in the measured text, counted back from the point after
    /// it over the units of `storage`, whose text from `unit + shift` on is the measured text's from `unit` on.
    std::size_t byteBeforePoint(const TextStorage &storage, std::size_t unit, std::ptrdiff_t shift) const;

    /// Follows a replacement in the measured text: what lay between `start` and `oldEnd` now lies between
    /// `start` and `newEnd` of the storage's text. Counts only the new units.
    void replace(const TextStorage &storage, UnitAndByte start, UnitAndByte oldEnd, UnitAndByte newEnd);

    /// The points, in order, for tests.
    const std::vector<UnitAndByte> &points() const { return points_; }

private:
    /// Drops the points from `first` to `last` that the points around them make needless: the two around
    /// lie no further apart than the spacing.
    void dropNeedlessPoints(std::size_t first, std::size_t last);

    std::vector<UnitAndByte> points_;
    UnitAndByte end_;
};

} // namespace velto::editor
