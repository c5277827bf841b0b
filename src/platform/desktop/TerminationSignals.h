#pragma once

#include <QtCore/QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace velto {

/// Turns SIGTERM, SIGINT and SIGHUP into a call on the main thread's event loop: the signal handler only writes
/// the signal's number into a pipe, which a socket notifier reads.
class TerminationSignals : public QObject {
public:
    explicit TerminationSignals(std::function<void(int signalNumber)> onSignal);
    ~TerminationSignals() override;

private:
    void readSignal();

    std::function<void(int)> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace velto
