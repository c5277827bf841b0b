#pragma once

#include "editor/text/TextRange.h"
#include "editor/text/TextStorage.h"

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace velto::editor {

/// Places inside long lines where the full pass's styling may be cut: a pass over the text between
/// two of them, started afresh at the first, finds the matches the full pass finds there.
///
/// A cut point is a candidate (an ASCII letter right after a blank, so that no pattern anchored at a
/// line start, no look-behind and no escape sees anything there) that no match of the full pass
/// crosses. A pattern's search resumes where its last match ended, so where no match crosses a
/// place, the search from there on is the search started afresh there: whatever lies before it no
/// longer matters. Only lines of at least `longLineLength` units get cut points, one every
/// `spacing` units or so.
class LineCutPoints {
public:
    static constexpr std::size_t longLineLength = 8192;
    static constexpr std::size_t spacing = 512;

    /// Whether the position can be a cut point: a blank before it and an ASCII letter at it.
    static bool isCandidate(std::u16string_view text, std::size_t position);
    /// The cut points of the lines (ascending, disjoint): one candidate about every `spacing` units
    /// that none of the matches crosses (a match crosses a place that lies strictly inside it).
    static std::vector<std::size_t> of(std::u16string_view text, const std::vector<TextRange> &lines,
                                       std::vector<TextRange> matches);

    /// Follows the character edits: points before an edit stay, points after it move with the text,
    /// and points the edit touched, or that touch it, are dropped (their neighbours may have changed).
    void moveThrough(const std::vector<CharacterEdit> &edits);
    /// Replaces the points within the range (its ends included) with the given ones.
    void replace(TextRange range, const std::vector<std::size_t> &points);
    void clear() { points_.clear(); }

    /// The points at or before `position`, nearest first.
    std::vector<std::size_t> atOrBefore(std::size_t position, std::size_t count) const;
    /// The points at or after `position`, nearest first.
    std::vector<std::size_t> atOrAfter(std::size_t position, std::size_t count) const;
    const std::vector<std::size_t> &points() const { return points_; }

private:
    std::vector<std::size_t> points_; // ascending
};

} // namespace velto::editor
