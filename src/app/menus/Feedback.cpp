#include "app/menus/Feedback.h"

#include "app/lifecycle/ApplicationVersion.h"

#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>
#include <QtCore/QSysInfo>
#include <QtGui/QClipboard>
#include <QtGui/QDesktopServices>
#include <QtGui/QGuiApplication>
#include <qcoro/qcoroprocess.h>

#include <fstream>
#include <sstream>

namespace velto {

namespace {

std::string readFile(const std::filesystem::path &file) {
    std::ifstream stream(file);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

/// An os-release value: quotes removed, and inside them the backslash escapes undone.
QString unquoted(std::string_view value) {
    if (value.size() < 2 || (value.front() != '"' && value.front() != '\'') || value.back() != value.front()) {
        return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
    }
    std::string plain;
    for (std::size_t index = 1; index + 1 < value.size(); ++index) {
        if (value[index] == '\\' && index + 2 < value.size()) {
            ++index;
        }
        plain += value[index];
    }
    return QString::fromStdString(plain);
}

/// Whether the desktop names a default application for "mailto:"; true when it cannot tell.
QCoro::Task<bool> hasMailApplication() {
    QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty()) {
        co_return true; // opening the address will tell
    }
    QProcess query;
    query.start(xdgMime,
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/mailto")});
    auto awaiting = qCoro(query);
    bool finished = co_await awaiting.waitForFinished(std::chrono::milliseconds(3000));
    if (!finished || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        co_return true;
    }
    co_return !query.readAllStandardOutput().trimmed().isEmpty();
}

QCoro::Task<bool> openMailLinkOnDesktop(QUrl url) {
    QCoro::Task<bool> asking = hasMailApplication();
    bool hasApplication = co_await asking;
    co_return hasApplication &&QDesktopServices::openUrl(url);
}

} // namespace

QString SystemDetails::systemText() const {
    return distribution.isEmpty() ? QStringLiteral("Linux") : QStringLiteral("Linux, ") + distribution;
}

SystemDetails SystemDetails::current() {
    SystemDetails details;
    for (const char *file : {"/etc/os-release", "/usr/lib/os-release"}) {
        details.distribution = prettyNameFromOsRelease(readFile(file));
        if (!details.distribution.isEmpty()) {
            break;
        }
    }
    details.architecture = QSysInfo::currentCpuArchitecture();
    return details;
}

QString prettyNameFromOsRelease(std::string_view osRelease) {
    constexpr std::string_view key = "PRETTY_NAME=";
    std::size_t start = 0;
    while (start < osRelease.size()) {
        std::size_t end = osRelease.find('\n', start);
        std::string_view line =
            osRelease.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (line.starts_with(key)) {
            return unquoted(line.substr(key.size())).trimmed();
        }
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return {};
}

FeedbackMessage FeedbackMessage::make(const QString &recipient, const std::optional<std::string> &version,
                                      const std::optional<std::string> &build, const SystemDetails &system) {
    FeedbackMessage message;
    message.recipient = recipient;
    message.subject = QStringLiteral("Velto feedback");
    message.body = QStringLiteral("Hi Quorvane,\n\n[Write your feedback here]\n\n\n—\n") +
                   QString::fromStdString(ApplicationVersion(version, build).feedbackDescription()) +
                   QLatin1Char('\n') + system.systemText() + QLatin1Char('\n') + system.architecture;
    return message;
}

QUrl FeedbackMessage::mailtoURL() const {
    QByteArray encoded = "mailto:" + QUrl::toPercentEncoding(recipient, "@") +
                         "?subject=" + QUrl::toPercentEncoding(subject) + "&body=" + QUrl::toPercentEncoding(body);
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

QString FeedbackMessage::details() const {
    return recipient + QStringLiteral("\n\n") + body;
}

namespace FeedbackComposer {

Operations Operations::live() {
    Operations operations;
    operations.openMailLink = openMailLinkOnDesktop;
    operations.presentAlert = presentShellAlertModally;
    operations.copyText = [](QString text) {
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(text);
    };
    operations.system = SystemDetails::current();
    return operations;
}

QCoro::Task<void> compose(std::optional<QString> recipient, Operations operations) {
    if (!recipient) {
        co_return;
    }
    const ApplicationVersion &version = ApplicationVersion::current();
    FeedbackMessage message =
        FeedbackMessage::make(*recipient, version.marketingVersion, version.buildNumber, operations.system);
    QCoro::Task<bool> opening = operations.openMailLink(message.mailtoURL());
    bool opened = co_await opening;
    if (!opened) {
        showFallback(message, operations);
    }
}

void showFallback(const FeedbackMessage &message, const Operations &operations) {
    ShellAlert alert;
    alert.title = QStringLiteral("No Email App Is Available");
    alert.message = QStringLiteral("Send feedback to ") + message.recipient +
                    QStringLiteral(", or copy the address and technical information below.");
    alert.style = ShellAlert::Style::informational;
    alert.buttons = {QStringLiteral("Copy Details"), QStringLiteral("Cancel")};
    if (operations.presentAlert(alert) == firstAlertButton) {
        operations.copyText(message.details());
    }
}

} // namespace FeedbackComposer

} // namespace velto
