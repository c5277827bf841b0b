#include "platform/desktop/Scheduler.h"
#include "support/async/EventLoopWaits.h"

#include <gtest/gtest.h>

#include <chrono>

namespace velto {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(QtScheduler, APostponedActionRunsOnceADelayAfterItsLastPostponement) {
    struct Case {
        const char *name;
        std::chrono::milliseconds delay;
        std::chrono::milliseconds postponedTo; // each of three postponements, 20 ms apart
    };
    const Case cases[] = {{"put off later", 60ms, 60ms}, {"put off to sooner", 2000ms, 30ms}};
    for (const Case &entry : cases) {
        int runs = 0;
        std::unique_ptr<VeltoScheduledAction> action = qtScheduler().schedule(entry.delay, [&runs] { ++runs; });
        Clock::time_point lastPostponed;
        for (int k = 0; k < 3; ++k) {
            const Clock::time_point wanted = Clock::now() + 20ms;
            ASSERT_TRUE(testing::processEventsUntil([&] { return Clock::now() >= wanted || runs > 0; }));
            ASSERT_EQ(runs, 0) << entry.name;
            EXPECT_TRUE(action->postpone(entry.postponedTo)) << entry.name;
            lastPostponed = Clock::now();
        }
        ASSERT_TRUE(testing::processEventsUntil([&] { return runs > 0; })) << entry.name;
        EXPECT_GE(Clock::now() - lastPostponed, entry.postponedTo) << entry.name;
        testing::processEventsFor(50ms);
        EXPECT_EQ(runs, 1) << entry.name;
        EXPECT_FALSE(action->postpone(10ms)) << entry.name << ": it ran";
    }

    // A cancelled action is not brought back.
    int runs = 0;
    std::unique_ptr<VeltoScheduledAction> action = qtScheduler().schedule(10ms, [&runs] { ++runs; });
    action->cancel();
    EXPECT_FALSE(action->postpone(10ms));
    testing::processEventsFor(40ms);
    EXPECT_EQ(runs, 0);
}

} // namespace
} // namespace velto
