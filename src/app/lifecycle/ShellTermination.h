#pragma once

#include "app/lifecycle/ApplicationTerminationCoordinator.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

class QMessageBox;

namespace velto {

/// Where the text a final save left on no disk goes on a quit regardless, and whether it could go there.
struct UnsavedTextKeeping {
    std::filesystem::path folder;       // empty: not known, "a file of its own"
    std::optional<std::string> failure; // why keeping the text there failed just now; none when it did not fail
};

/// The informative text of the alert about a final save that failed or takes too long: why, what the user can do
/// about it (a page too large to save says to take some text out), and where the text goes on a quit regardless;
/// when keeping it there failed too, that it is only in Velto and that Cancel keeps Velto open.
QString terminationFailureText(const TerminationSaveFailure &failure, const UnsavedTextKeeping &keeping = {});
/// The button that quits regardless, saying what the text above says: "Quit and Keep Text", or "Quit Without
/// Saving" when the text could not be kept.
QString quitRegardlessButton(const UnsavedTextKeeping &keeping);

/// Quitting: the final save runs first, one attempt at a time. A save that fails or takes too long is put to the
/// user ("Try Again", "Cancel", and quitting regardless) where asking is allowed; once the quit is allowed, what the
/// save left on no disk is kept elsewhere and the application exits, with status 1 when the last save failed or
/// left text on no page, since nobody may have seen an alert.
class ShellTermination : public QObject {
    Q_OBJECT

public:
    using ExitApplication = std::function<void(int exitStatus)>;
    /// Keeps the typed text the final save left on no disk; answers whether any is on no page.
    using KeepUnsavedText = std::function<bool()>;

    ShellTermination(std::chrono::milliseconds timeout, ExitApplication exitApplication);
    ~ShellTermination() override;

    /// Hands the editor the keystrokes the X server sent before now, which a signal to quit may overtake.
    static void deliverPendingInput();
    /// Starts the final save unless one runs; without `mayAsk` a failure quits without saving more, and an open
    /// alert about the final save is closed and taken as leave to quit.
    void begin(ApplicationTerminationCoordinator::Flush flush, bool mayAsk);
    /// Whether the quit has been allowed: the application is exiting.
    bool isQuitting() const { return quitting_; }
    /// What runs once the quit is allowed, before the application exits.
    void setKeepUnsavedText(KeepUnsavedText keepUnsavedText) { keepUnsavedText_ = std::move(keepUnsavedText); }
    /// Keeps the unsaved text now, before the alert says where it is; none: the alert knows no folder.
    void setKeepUnsavedTextNow(std::function<UnsavedTextKeeping()> keepNow) { keepNow_ = std::move(keepNow); }

signals:
    /// The user chose to try the final save again: the quit starts over.
    void retryRequested();

private:
    void replyToTermination(bool allowingTermination);
    TerminationSaveDecision presentTerminationFailure(const TerminationSaveFailure &failure);

    ExitApplication exitApplication_;
    KeepUnsavedText keepUnsavedText_;
    std::function<UnsavedTextKeeping()> keepNow_;
    ApplicationTerminationCoordinator coordinator_;
    QPointer<QMessageBox> terminationAlert_;
    bool quitting_ = false;
};

} // namespace velto
