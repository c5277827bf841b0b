#include "platform/BootTime.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

// The start is read from the process's own record: a misread field gives a time of another kind (a size, a
// count of ticks spent), which lands after now or at zero.
TEST(BootTime, ThisProcessStartedSinceBootAndBeforeNow) {
    const double start = bootTime::processStartMilliseconds();
    const double now = bootTime::nowMilliseconds();
    EXPECT_GT(start, 0.0);
    EXPECT_LE(start, now);
    EXPECT_LE(now, bootTime::nowMilliseconds());
}

} // namespace
} // namespace velto
