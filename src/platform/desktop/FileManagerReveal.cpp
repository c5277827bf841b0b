#include "platform/desktop/FileManagerReveal.h"

#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtDBus/QDBusPendingReply>
#include <QtGui/QDesktopServices>

#include <memory>

namespace velto::fileManager {

namespace {

QUrl fileUrl(const std::filesystem::path &path) {
    return QUrl::fromLocalFile(QString::fromStdString(path.string()));
}

} // namespace

bool openFolder(const std::filesystem::path &folder) {
    return QDesktopServices::openUrl(fileUrl(folder));
}

std::string noFileManagerMessage(const std::filesystem::path &pagesFolder) {
    return "No file manager is available. The Pages folder is “" + pagesFolder.string() + "”.";
}

namespace {

/// Asks the file manager to show `item` selected; when it does not answer in time, opens `fallbackFolder`.
void showItemOrOpenFolder(const std::filesystem::path &item, const std::filesystem::path &fallbackFolder,
                          std::function<void(bool shown)> done, std::chrono::milliseconds timeout,
                          QDBusConnection bus) {
    // Whichever comes first, the answer or the time-out, settles it; the other finds it settled.
    auto settled = std::make_shared<bool>(false);
    auto settle = [settled, fallbackFolder, done](bool fileManagerShowedIt) {
        if (*settled) {
            return;
        }
        *settled = true;
        done(fileManagerShowedIt || openFolder(fallbackFolder));
    };
    if (!bus.isConnected()) {
        settle(false);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{fileUrl(item).toString()} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, static_cast<int>(timeout.count())));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, settle] {
        settle(!watcher->isError());
        watcher->deleteLater();
    });
    // A file manager that starts but never answers must not leave the user waiting.
    QTimer::singleShot(timeout, watcher, [settle] { settle(false); });
}

} // namespace

void revealFile(const std::filesystem::path &file, std::function<void(bool shown)> done,
                std::chrono::milliseconds timeout) {
    revealFile(file, std::move(done), timeout, QDBusConnection::sessionBus());
}

void revealFolder(const std::filesystem::path &folder, std::function<void(bool shown)> done,
                  std::chrono::milliseconds timeout) {
    revealFolder(folder, std::move(done), timeout, QDBusConnection::sessionBus());
}

void revealFile(const std::filesystem::path &file, std::function<void(bool shown)> done,
                std::chrono::milliseconds timeout, const QDBusConnection &bus) {
    showItemOrOpenFolder(file, file.parent_path(), std::move(done), timeout, bus);
}

void revealFolder(const std::filesystem::path &folder, std::function<void(bool shown)> done,
                  std::chrono::milliseconds timeout, const QDBusConnection &bus) {
    showItemOrOpenFolder(folder, folder, std::move(done), timeout, bus);
}

} // namespace velto::fileManager
