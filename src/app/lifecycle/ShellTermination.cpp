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
    if (!mayAsk && terminationAlert_) {
        // A logout while the user is asked: nobody may be there to answer, and the session waits for Velto to end.
        // The coordinator takes the closed alert as leave to quit.
        terminationAlert_->reject();
    }
}

void ShellTermination::replyToTermination(bool allowingTermination) {
    if (!allowingTermination) {
        return;
    }
    if (terminationAlert_) {
        terminationAlert_->reject(); // the save completed while the alert was open
    }
    quitting_ = true;
    const bool textOnNoPage = keepUnsavedText_ && keepUnsavedText_();
    auto failure = coordinator_.lastUnconfirmedFailure();
    const bool saveFailed = failure && failure->kind == TerminationSaveFailure::Kind::failed;
    exitApplication_(saveFailed || textOnNoPage ? 1 : 0);
}

namespace {

/// What becomes of the text on a quit regardless: kept in a file of Velto's own, or, when that failed, lost.
QString onQuitText(const UnsavedTextKeeping &keeping) {
    if (keeping.failure) {
        QString why = QString::fromStdString(*keeping.failure).trimmed();
        if (!why.isEmpty() && !why.endsWith(QLatin1Char('.'))) {
            why += QLatin1Char('.');
        }
        return QStringLiteral("\n\nVelto couldn’t keep the text in a file of its own either") +
               (why.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + why) +
               QStringLiteral(" The text is only in Velto’s panel now: if you quit, it is lost. Cancel keeps Velto "
                              "open with your text.");
    }
    const QString where =
        keeping.folder.empty()
            ? QStringLiteral("in a file of its own")
            : QStringLiteral("in a file in “%1”").arg(QString::fromStdString(keeping.folder.string()));
    return QStringLiteral(" If you quit, Velto keeps the text it couldn’t save %1 and names it the next time it opens.")
        .arg(where);
}

} // namespace

QString quitRegardlessButton(const UnsavedTextKeeping &keeping) {
    return keeping.failure ? QStringLiteral("Quit Without Saving") : QStringLiteral("Quit and Keep Text");
}

QString terminationFailureText(const TerminationSaveFailure &failure, const UnsavedTextKeeping &keeping) {
    const QString quitChoice =
        keeping.failure ? QStringLiteral("quit without saving.") : QStringLiteral("quit and keep the text.");
    if (failure.kind == TerminationSaveFailure::Kind::timedOut) {
        return QStringLiteral("Saving is taking longer than expected. Try again, keep Velto open, or ") + quitChoice +
               onQuitText(keeping);
    }
    // The store's description says why, and for a page too large to save, that some text must come out of it.
    QString why = QString::fromStdString(failure.description).trimmed();
    // A file-system error names its operation and file first ("open “/…/transaction.lock”: "); the sentence after it
    // says the same in the user's words.
    const qsizetype firstQuote = why.indexOf(QChar(u'“'));
    const qsizetype afterFile = why.indexOf(QStringLiteral("”: "));
    if (firstQuote > 0 && afterFile > firstQuote && !why.left(firstQuote).trimmed().contains(QLatin1Char(' '))) {
        why = why.mid(afterFile + 3);
    }
    if (!why.isEmpty() && !why.endsWith(QLatin1Char('.'))) {
        why += QLatin1Char('.');
    }
    return (why.isEmpty() ? QString() : why + QLatin1Char('\n') + QLatin1Char('\n')) +
           QStringLiteral("Your latest changes are not safely stored yet. Try saving again, keep Velto open, or ") +
           quitChoice + onQuitText(keeping);
}

TerminationSaveDecision ShellTermination::presentTerminationFailure(const TerminationSaveFailure &failure) {
    // Kept before the alert tells where the text is: the alert says so only when it is true.
    const UnsavedTextKeeping keeping = keepNow_ ? keepNow_() : UnsavedTextKeeping{};
    int response = runAlertModally(
        QMessageBox::Warning, QStringLiteral("Velto Couldn’t Save Before Quitting"),
        terminationFailureText(failure, keeping),
        {QStringLiteral("Try Again"), QStringLiteral("Cancel"), quitRegardlessButton(keeping)}, &terminationAlert_);
    if (response == firstAlertButton) {
        return TerminationSaveDecision::retry;
    }
    if (response == firstAlertButton + 2) {
        return TerminationSaveDecision::quitWithoutSaving;
    }
    return TerminationSaveDecision::cancel;
}

} // namespace velto
