#include "platform/Clock.h"

namespace velto {

namespace {

class SystemClock : public Clock {
public:
    Date now() const override { return std::chrono::system_clock::now(); }
};

} // namespace

const Clock &systemClock() {
    static const SystemClock clock;
    return clock;
}

} // namespace velto
