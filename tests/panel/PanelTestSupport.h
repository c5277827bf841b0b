#pragma once

#include "platform/desktop/ColorScheme.h"
#include "platform/desktop/DisplayOptions.h"
#include "store/Scheduler.h"

#include <QtCore/QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace velto::testing {

/// A scheduler whose time moves only when the test says so.
class ManualScheduler : public VeltoScheduler {
public:
    std::unique_ptr<VeltoScheduledAction> schedule(std::chrono::milliseconds delay,
                                                   std::function<void()> action) override;

    /// Moves time forward, running every action that falls due, in order of due time.
    void advance(std::chrono::milliseconds interval);
    std::size_t pendingCount() const;
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
    std::chrono::milliseconds now_{1'000'000};
    std::uint64_t nextOrder_ = 0;
    std::vector<Entry> entries_;
};

/// The display options and colour scheme every test of the panel starts from (all off, light); a test
/// that changes them puts them back through `resetDesktop`.
FixedDisplayOptions &testDisplayOptions();
FixedColorScheme &testColorScheme();
void resetDesktop();

} // namespace velto::testing
