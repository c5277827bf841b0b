#include "editor_view/view/PostponableTimer.h"

namespace velto::editor {

void PostponableTimer::start(std::chrono::milliseconds delay, QObject *receiver) {
    const Clock::time_point due = Clock::now() + delay;
    if (!timer_.isActive() || due < due_) {
        timer_.start(static_cast<int>(delay.count()), receiver);
    }
    due_ = due;
}

bool PostponableTimer::isDue(QObject *receiver) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(due_ - Clock::now());
    if (left.count() > 0) {
        timer_.start(static_cast<int>(left.count()), receiver);
        return false;
    }
    timer_.stop();
    return true;
}

} // namespace velto::editor
