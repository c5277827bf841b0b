#include "support/async/EventLoopWaits.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QTimer>

namespace velto::testing {

// processEvents with a time limit does not wait for events; the periodic timer wakes a waiting loop instead.
bool processEventsUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout) {
    QDeadlineTimer deadline(timeout);
    QTimer wake;
    wake.start(10);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void processEventsFor(std::chrono::milliseconds interval) {
    processEventsUntil([] { return false; }, interval);
}

} // namespace velto::testing
