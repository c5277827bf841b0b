#pragma once

#include <qcorotask.h>

namespace velto {

/// Lets a task started by a button run on by itself: a QCoro task that is let go before it finishes frees
/// itself when it ends.
inline void runDetached(QCoro::Task<void> &&task) {
    QCoro::Task<void> released = std::move(task);
}

} // namespace velto
