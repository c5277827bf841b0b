#pragma once

#include <chrono>

namespace velto::editor {

/// When the caret shows and when it hides. A key, a click or the focus shows it for a whole period again.
///
/// The timer that ticks the blink is not restarted for that: restarting it at every key cost its registration
/// with the event loop twice per key. A tick that comes while the caret has been shown for less than a period
/// since it was last shown anew leaves it shown and asks for the next tick when the period is over.
class CaretBlink {
public:
    using Clock = std::chrono::steady_clock;

    /// What a tick did: whether the caret's visibility changed, and when the next tick is due.
    struct Tick {
        bool toggled = false;
        std::chrono::milliseconds next{0};
    };

    /// The caret is shown anew at `now`, for a whole period.
    void showAnew(Clock::time_point now) {
        shown_ = true;
        shownAnewAt_ = now;
    }
    /// A tick of the timer at `now`, the caret blinking every `period`.
    Tick tick(Clock::time_point now, std::chrono::milliseconds period);

    bool isShown() const { return shown_; }

private:
    bool shown_ = true;
    Clock::time_point shownAnewAt_;
};

} // namespace velto::editor
