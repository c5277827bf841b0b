#include "app/shell/UnreadableFilesNotice.h"

#include "store/Store.h"

#include <vector>

namespace velto {

namespace {

/// The notice that names the Markdown files the load could not read; the library itself is fine.
ShellAlert unreadableFilesAlert(const std::vector<VeltoUnreadablePageFile> &files, bool otherPagesAreOpen) {
    std::vector<QString> items;
    for (const VeltoUnreadablePageFile &file : files) {
        QString path = QStringLiteral("“%1”").arg(QString::fromStdString(file.relativePath));
        QString reason = QString::fromStdString(file.reason);
        // Most reasons name the file already; it is named once.
        items.push_back(reason.contains(path) ? reason : path + QStringLiteral(": ") + reason);
    }
    const QString list = alertItemList(items);
    ShellAlert alert;
    alert.title = QStringLiteral("Some Files Can’t Be Read");
    alert.message = QStringLiteral("Velto can’t read these files in your Pages folder and leaves them as they are.") +
                    (otherPagesAreOpen ? QStringLiteral(" Your other pages are open.") : QString()) + list;
    alert.style = ShellAlert::Style::informational;
    return alert;
}

/// Whether the library holds a page besides the refused files: a folder of only refused files opens a new page.
bool holdsPagesOnDisk(const VeltoStore &store) {
    const VeltoDocument &document = store.document();
    return !document.pages.empty() || document.currentPage.updatedAt.has_value();
}

} // namespace

std::optional<ShellAlert> UnreadableFilesNotice::alertForNewlyUnreadable(const VeltoStore &store) {
    std::vector<VeltoUnreadablePageFile> newlyUnreadable;
    for (const auto &file : store.unreadableFiles()) {
        if (store.unreadableFilesNamedByRecovery().contains(file.relativePath)) {
            continue; // the notice of the page recovered from it named it
        }
        if (named_.insert((store.folderURL() / file.relativePath).string()).second) {
            newlyUnreadable.push_back(file);
        }
    }
    if (newlyUnreadable.empty()) {
        return std::nullopt;
    }
    return unreadableFilesAlert(newlyUnreadable, holdsPagesOnDisk(store));
}

} // namespace velto
