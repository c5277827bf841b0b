#include "editor_view/view/CaretBlink.h"

#include <gtest/gtest.h>

using namespace velto::editor;
using namespace std::chrono_literals;

TEST(CaretBlinkTests, AKeyKeepsTheCaretShownForAWholePeriodWithoutRestartingTheTimer) {
    struct Step {
        const char *name;
        std::chrono::milliseconds at; // since the start
        bool isKey;                   // else a tick of the timer
        bool toggled;
        std::chrono::milliseconds next;
        bool shown;
    };
    const auto period = 500ms;
    const Step steps[] = {
        {"a tick a period after the start hides the caret", 500ms, false, true, 500ms, false},
        {"a key shows it", 700ms, true, false, 0ms, true},
        {"the tick after it leaves it shown for the rest of the period", 1000ms, false, false, 200ms, true},
        {"another key in between", 1100ms, true, false, 0ms, true},
        {"the rest of its period is waited for", 1200ms, false, false, 400ms, true},
        {"a tick a little early still ends the period", 1580ms, false, true, 500ms, false},
        {"blinking on", 2080ms, false, true, 500ms, true},
    };
    const CaretBlink::Clock::time_point start{std::chrono::hours(1)};
    CaretBlink blink;
    blink.showAnew(start);
    for (const Step &step : steps) {
        if (step.isKey) {
            blink.showAnew(start + step.at);
        } else {
            const CaretBlink::Tick tick = blink.tick(start + step.at, period);
            EXPECT_EQ(tick.toggled, step.toggled) << step.name;
            EXPECT_EQ(tick.next, step.next) << step.name;
        }
        EXPECT_EQ(blink.isShown(), step.shown) << step.name;
    }
}
