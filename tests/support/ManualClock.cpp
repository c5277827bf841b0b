#include "support/ManualClock.h"

namespace velto::testing {

ManualClock::ManualClock()
    : ManualClock(dateFromSecondsSince1970(1767605400)) {}

ManualClock::ManualClock(Date start)
    : now_(start) {}

Date ManualClock::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

void ManualClock::set(Date date) {
    std::lock_guard lock(mutex_);
    now_ = date;
}

void ManualClock::advance(std::chrono::system_clock::duration interval) {
    std::lock_guard lock(mutex_);
    now_ += interval;
}

void ManualClock::advanceSeconds(double seconds) {
    advance(std::chrono::round<std::chrono::system_clock::duration>(std::chrono::duration<double>(seconds)));
}

} // namespace velto::testing
