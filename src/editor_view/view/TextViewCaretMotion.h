#pragma once

#include "editor_view/layout/CaretPlace.h"

#include <cstddef>
#include <optional>

namespace velto::editor {

class EditingCore;
class LayoutCache;
class VeltoTextView;

/// Moves the caret by lines, screens and line ends as laid out on screen. It keeps what a run of such
/// moves shares: the column that moving up and down aims at, and the side of a line wrap the head shows on.
class TextViewCaretMotion {
public:
    TextViewCaretMotion(VeltoTextView &view, EditingCore &core, LayoutCache &cache);

    /// The side of a line wrap on which the selection's head shows, when it stands at a wrap.
    CaretAffinity headAffinity() const { return headAffinity_; }
    /// The side the caret shows on at a position: the head's own, downstream anywhere else.
    CaretAffinity affinityAt(std::size_t position) const;
    /// A click that placed the caret past a line that wraps after a hyphen leaves it on that line.
    void setHeadAffinity(CaretAffinity affinity) { headAffinity_ = affinity; }

    /// The selection changed: a move of this class's own keeps its column, any other forgets it.
    void selectionDidChange();

    void moveVertically(bool below, bool extend);
    void moveByPage(bool below, bool extend);
    void moveToLineBoundary(bool end, bool extend);

private:
    void placeHead(CaretPlace head, bool extend);

    VeltoTextView &view_;
    EditingCore &core_;
    LayoutCache &cache_;
    std::optional<double> goalX_;
    bool keepGoalX_ = false;
    /// Upstream only while the head was placed at the end of a wrapped line; any other move resets it.
    CaretAffinity headAffinity_ = CaretAffinity::downstream;
};

} // namespace velto::editor
