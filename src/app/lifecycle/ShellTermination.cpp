#include "app/lifecycle/ShellTermination.h"

#include "app/shell/ShellAlert.h"
#include "platform/desktop/X11Requests.h"

#include <QtCore/QCoreApplication>

#include <QtWidgets/QMessageBox>

namespace velto {

ShellTermination::ShellTermination(std::chrono::milliseconds timeout, ExitApplication exitApplication)
    : exitApplication_(std::move(exitApplication))
    , coordinator_(
          timeout, [this](bool allowing) { replyToTermination(allowing); },
          [this](const TerminationSaveFailure &failure) { return presentTerminationFailure(failure); },
          [this] { emit retryRequested(); }) {}

ShellTermination::~ShellTermination() = default;

void ShellTermination::deliverPendingInput() {
    // A round trip to the X server: every key event it sent before its reply is then with us. Two turns of
    // event handling take them from the connection and then hand them to the editor.
    if (!roundTripToXServer()) {
        return;
    }
    for (int turn = 0; turn < 2; ++turn) {
        QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
    }
}

void ShellTermination::begin(ApplicationTerminationCoordinator::Flush flush, bool mayAsk) {
    coordinator_.begin(std::move(flush), mayAsk);
}

void ShellTermination::replyToTermination(bool allowingTermination) {
    if (!allowingTermination) {
        return;
    }
    if (terminationAlert_) {
        terminationAlert_->reject(); // the save completed while the alert was open
    }
    quitting_ = true;
    auto failure = coordinator_.lastUnconfirmedFailure();
    exitApplication_(failure && failure->kind == TerminationSaveFailure::Kind::failed ? 1 : 0);
}

TerminationSaveDecision ShellTermination::presentTerminationFailure(const TerminationSaveFailure &failure) {
    QString informative =
        failure.kind == TerminationSaveFailure::Kind::failed
            ? QStringLiteral("Your latest changes are not safely stored yet. Try saving again, keep Velto open, or "
                             "quit without saving.")
            : QStringLiteral("Saving is taking longer than expected. Try again, keep Velto open, or quit without "
                             "saving.");
    int response =
        runAlertModally(QMessageBox::Warning, QStringLiteral("Velto Couldn’t Save Before Quitting"), informative,
                        {QStringLiteral("Try Again"), QStringLiteral("Cancel"), QStringLiteral("Quit Without Saving")},
                        &terminationAlert_);
    if (response == firstAlertButton) {
        return TerminationSaveDecision::retry;
    }
    if (response == firstAlertButton + 2) {
        return TerminationSaveDecision::quitWithoutSaving;
    }
    return TerminationSaveDecision::cancel;
}

} // namespace velto
