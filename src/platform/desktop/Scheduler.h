#pragma once

#include "platform/desktop/Cancellation.h"

#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>
#include <memory>

namespace velto {

/// One action waiting for its time. Cancelling it, or dropping the handle, keeps it from running.
class VeltoScheduledAction {
public:
    virtual ~VeltoScheduledAction() = default;
    virtual void cancel() = 0;
    /// Moves the action, not run or cancelled yet, to `delay` from now, and answers true; answers false and changes
    /// nothing when it ran or was cancelled, or its scheduler cannot move actions: then the caller schedules anew.
    /// A wait put off at every keystroke then costs no new timer each time.
    virtual bool postpone(std::chrono::milliseconds delay) {
        (void)delay;
        return false;
    }
};

/// Runs actions after a delay. The store's retry wait and the folder monitor's quiet times go through
/// one of these, so that tests move time by hand instead of sleeping.
class VeltoScheduler {
public:
    virtual ~VeltoScheduler() = default;

    /// Runs `action` once, `delay` from now, on the thread that called schedule (which runs a Qt event
    /// loop in production). The handle must be dropped on that thread too.
    virtual std::unique_ptr<VeltoScheduledAction> schedule(std::chrono::milliseconds delay,
                                                           std::function<void()> action) = 0;
};

/// The production scheduler: a single-shot QTimer on the calling thread.
VeltoScheduler &qtScheduler();

/// Suspends the calling coroutine for `delay` on `scheduler`. Returns true when the time passed and
/// false when `cancellation` was cancelled first (then at once, on the thread that owns the coroutine's
/// event loop).
QCoro::Task<bool> sleepFor(VeltoScheduler &scheduler, std::chrono::milliseconds delay, CancellationToken cancellation);

} // namespace velto
