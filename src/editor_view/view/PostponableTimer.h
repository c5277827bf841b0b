#pragma once

#include <QBasicTimer>
#include <QObject>

#include <chrono>

namespace velto::editor {

/// A single-shot timer that every start while it runs puts off: it is due a delay after the last start.
///
/// Restarting a timer registers it with the event loop anew; a timer that waits for the text to be left alone,
/// restarted at every key, cost that twice per key. This one only moves its due time when put off later: it
/// fires when it was first set for, finds itself not due yet and waits for the rest.
class PostponableTimer {
public:
    using Clock = std::chrono::steady_clock;

    /// Due `delay` from now; the receiver gets its timer events.
    void start(std::chrono::milliseconds delay, QObject *receiver);
    void stop() { timer_.stop(); }
    bool isActive() const { return timer_.isActive(); }
    int timerId() const { return timer_.timerId(); }
    /// For a timer event of this timer: true when it is due (it stops then); false when it was set again for the
    /// rest of its wait.
    bool isDue(QObject *receiver);

private:
    QBasicTimer timer_;
    Clock::time_point due_;
};

} // namespace velto::editor
