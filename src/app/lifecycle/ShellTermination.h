#pragma once

#include "app/lifecycle/ApplicationTerminationCoordinator.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <chrono>
#include <functional>

class QMessageBox;

namespace velto {

/// Quitting: the final save runs first, one attempt at a time. A save that fails or takes too long is put to the
/// user ("Try Again", "Cancel", "Quit Without Saving") where asking is allowed; once the quit is allowed the
/// application exits, with status 1 when the last save failed, since nobody may have seen an alert.
class ShellTermination : public QObject {
    Q_OBJECT

public:
    using ExitApplication = std::function<void(int exitStatus)>;

    ShellTermination(std::chrono::milliseconds timeout, ExitApplication exitApplication);
    ~ShellTermination() override;

    /// Hands the editor the keystrokes the X server sent before now, which a signal to quit may overtake.
    static void deliverPendingInput();
    /// Starts the final save unless one runs; without `mayAsk` a failure quits without saving more.
    void begin(ApplicationTerminationCoordinator::Flush flush, bool mayAsk);
    /// Whether the quit has been allowed: the application is exiting.
    bool isQuitting() const { return quitting_; }

signals:
    /// The user chose to try the final save again: the quit starts over.
    void retryRequested();

private:
    void replyToTermination(bool allowingTermination);
    TerminationSaveDecision presentTerminationFailure(const TerminationSaveFailure &failure);

    ExitApplication exitApplication_;
    ApplicationTerminationCoordinator coordinator_;
    QPointer<QMessageBox> terminationAlert_;
    bool quitting_ = false;
};

} // namespace velto
