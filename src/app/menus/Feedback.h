#pragma once

#include "app/shell/ShellAlert.h"

#include <QtCore/QString>
#include <QtCore/QUrl>
#include <qcoro/qcorotask.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velto {

/// The system a feedback message names: "Linux", the distribution and the processor architecture.
struct SystemDetails {
    /// The distribution's PRETTY_NAME ("Debian GNU/Linux 12 (bookworm)"); empty when unknown.
    QString distribution;
    /// The processor architecture ("x86_64", "arm64").
    QString architecture;

    /// "Linux, Debian GNU/Linux 12 (bookworm)", or "Linux" when the distribution is unknown.
    QString systemText() const;

    /// This machine's: /etc/os-release, else /usr/lib/os-release, and Qt's architecture name.
    static SystemDetails current();
};

/// The PRETTY_NAME of an os-release text, with its quotes and escapes undone; empty when it has none.
QString prettyNameFromOsRelease(std::string_view osRelease);

/// A feedback e-mail, filled in with the version and the system.
struct FeedbackMessage {
    QString recipient;
    QString subject;
    QString body;

    static FeedbackMessage make(const QString &recipient, const std::optional<std::string> &version,
                                const std::optional<std::string> &build, const SystemDetails &system);

    /// "mailto:" with the recipient, the subject and the body, every reserved character escaped.
    QUrl mailtoURL() const;
    /// What "Copy Details" puts on the clipboard: the recipient, a blank line and the body.
    QString details() const;

    friend bool operator==(const FeedbackMessage &, const FeedbackMessage &) = default;
};

/// Hands the feedback message to the desktop's mail application, or, when there is none, offers to copy
/// the address and the details. Main thread.
namespace FeedbackComposer {

struct Operations {
    /// Opens the "mailto:" address; whether a mail application took it.
    std::function<QCoro::Task<bool>(QUrl)> openMailLink;
    ShellAlertPresenter presentAlert;
    /// Puts plain text on the clipboard, replacing what it held.
    std::function<void(QString)> copyText;
    SystemDetails system;

    /// The desktop's handler for "mailto:" (none when xdg-mime names no default), a modal alert, the clipboard.
    static Operations live();
};

/// Composes the message for this build's version; nothing without a recipient.
QCoro::Task<void> compose(std::optional<QString> recipient, Operations operations = Operations::live());

/// "No Email App Is Available", with "Copy Details" and "Cancel".
void showFallback(const FeedbackMessage &message, const Operations &operations);

} // namespace FeedbackComposer

} // namespace velto
