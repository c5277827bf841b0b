#include "platform/desktop/TerminationSignals.h"

#include <QtCore/QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velto {

namespace {

int signalPipe[2] = {-1, -1};
constexpr int watchedSignals[] = {SIGTERM, SIGINT, SIGHUP};

void writeSignal(int signalNumber) {
    int savedErrno = errno;
    unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] auto written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal)
    : onSignal_(std::move(onSignal)) {
    if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        return;
    }
    ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    for (int signalNumber : watchedSignals) {
        struct sigaction action {};
        action.sa_handler = writeSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(signalNumber, &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals() {
    for (int signalNumber : watchedSignals) {
        ::signal(signalNumber, SIG_DFL);
    }
}

void TerminationSignals::readSignal() {
    unsigned char byte = 0;
    if (::read(signalPipe[0], &byte, 1) == 1 && onSignal_) {
        onSignal_(byte);
    }
}

} // namespace velto
