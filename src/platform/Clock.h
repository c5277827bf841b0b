#pragma once

#include "platform/Date.h"

namespace velto {

/// The source of the current time. Operations that compare against "now" take a clock so that tests
/// can move time by hand instead of sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    virtual Date now() const = 0;
};

/// The system's wall clock.
const Clock &systemClock();

} // namespace velto
