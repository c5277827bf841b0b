#pragma once

#include "platform/Clock.h"

#include <chrono>
#include <mutex>

namespace velto::testing {

/// A clock that stands still until the test moves it.
class ManualClock : public velto::Clock {
public:
    /// Starts at 2026-01-05T09:30:00Z unless told otherwise.
    ManualClock();
    explicit ManualClock(Date start);

    Date now() const override;

    void set(Date date);
    void advance(std::chrono::system_clock::duration interval);
    void advanceSeconds(double seconds);

private:
    mutable std::mutex mutex_;
    Date now_;
};

} // namespace velto::testing
