#include "editor_view/view/CaretBlink.h"

namespace velto::editor {

CaretBlink::Tick CaretBlink::tick(Clock::time_point now, std::chrono::milliseconds period) {
    using std::chrono::milliseconds;
    if (shown_) {
        const milliseconds shownFor = std::chrono::ceil<milliseconds>(now - shownAnewAt_);
        // A coarse timer may tick a little early: a tenth of the period short of it counts as the period.
        const milliseconds left = period - shownFor;
        if (left > period / 10) {
            return Tick{false, left};
        }
    }
    shown_ = !shown_;
    return Tick{true, period};
}

} // namespace velto::editor
