#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace velto {

/// Thrown by work that stops because its cancellation token was cancelled.
class CancellationError : public std::runtime_error {
public:
    CancellationError()
        : std::runtime_error("The operation was cancelled.") {}
};

/// A cancellation flag shared by the code that may cancel some work and the work itself, which checks
/// it at the points where stopping is safe. Copies share one flag. Work that waits instead of running
/// can ask to be told at once (`onCancel`), so that it does not have to poll.
class CancellationToken {
public:
    using CallbackId = std::uint64_t;

    CancellationToken();

    /// Cancels the work; callbacks registered so far run once, on this thread, after the flag is set.
    void cancel() const;
    bool isCancelled() const { return shared_->cancelled.load(std::memory_order_acquire); }
    /// Throws CancellationError when cancelled.
    void throwIfCancelled() const;

    /// Runs the callback when the token is cancelled; at once (on this thread) when it already is.
    /// The callback must not call removeCallback or cancel on this token.
    CallbackId onCancel(std::function<void()> callback) const;
    /// Forgets a callback that has not run yet; nothing when it ran already.
    void removeCallback(CallbackId id) const;

private:
    struct Shared {
        std::atomic<bool> cancelled{false};
        std::mutex mutex;
        CallbackId nextId = 1;
        std::map<CallbackId, std::function<void()>> callbacks;
    };
    std::shared_ptr<Shared> shared_;
};

} // namespace velto
