#pragma once

#include "model/Document.h"

namespace velto {

/// Archiving the current page as undo sees it: the whole library before and after.
struct VeltoArchiveTransition {
    VeltoDocument before;
    VeltoDocument after;

    friend bool operator==(const VeltoArchiveTransition &, const VeltoArchiveTransition &) = default;
};

/// Which way an undoable page operation is replayed: undo expects its `after` and returns to `before`,
/// redo expects `before` and moves to `after`.
enum class VeltoPageOperationDirection { undo, redo };

} // namespace velto
