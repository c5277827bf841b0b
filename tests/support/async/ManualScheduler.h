#pragma once

#include "platform/desktop/Scheduler.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace velto::testing {

/// A scheduler whose time moves only when the test advances it; due actions run on the test's thread.
class ManualScheduler : public VeltoScheduler {
public:
    std::unique_ptr<VeltoScheduledAction> schedule(std::chrono::milliseconds delay,
                                                   std::function<void()> action) override;

    /// Moves time forward, running every action that falls due, in order of due time.
    void advance(std::chrono::milliseconds interval);
    /// The number of actions waiting (cancelled ones excluded).
    std::size_t pendingCount() const;
    /// How many actions were scheduled so far; postponing one does not count.
    std::uint64_t scheduledCount() const { return nextOrder_ - postponedCount_; }
    /// Moves the waiting action whose cancellation flag this is to `delay` from now; false when it is not waiting.
    bool postpone(const std::shared_ptr<bool> &cancelled, std::chrono::milliseconds delay);
    std::chrono::milliseconds now() const { return now_; }
    /// The scheduler's time as a steady-clock point, for code that reads a clock.
    std::chrono::steady_clock::time_point steadyNow() const { return std::chrono::steady_clock::time_point(now_); }

private:
    struct Entry {
        std::chrono::milliseconds due;
        std::uint64_t order;
        std::function<void()> action;
        std::shared_ptr<bool> cancelled;
    };
    // Far from zero, as a real steady clock is: code that keeps "never" as a zero time point sees a long
    // time since then.
    std::chrono::milliseconds now_{1'000'000};
    std::uint64_t nextOrder_ = 0;
    std::uint64_t postponedCount_ = 0;
    std::vector<Entry> entries_;
};

} // namespace velto::testing
