#include "app/shell/UnreadableFilesNotice.h"

#include "panel/menu/PagePreview.h"
#include "store/Store.h"

#include <map>
#include <vector>

namespace velto {

namespace {

/// The titles of the recovered pages that keep the text typed into a page whose file can't be read, by the file's
/// path: after a relaunch, the notice of the recovery is gone, and this one says where that text is.
std::map<std::string, QString> recoveredPagesByFile(const VeltoStore &store) {
    constexpr std::size_t titleLength = 48;
    std::map<std::string, QString> titles;
    const auto note = [&](const VeltoPage &page) {
        if (std::optional<VeltoUnreadablePageFile> file = store.unreadableFileRecoveredAs(page)) {
            titles.emplace(file->relativePath,
                           QString::fromStdString(PagePreview::title(page.visibleTextView(), titleLength)));
        }
    };
    note(store.document().currentPage);
    for (const VeltoPage &page : store.document().pages) {
        note(page);
    }
    return titles;
}

/// The notice that names the Markdown files the load could not read; the library itself is fine.
ShellAlert unreadableFilesAlert(const std::vector<VeltoUnreadablePageFile> &files,
                                const std::map<std::string, QString> &recoveredPages, bool otherPagesAreOpen) {
    std::vector<QString> items;
    for (const VeltoUnreadablePageFile &file : files) {
        QString path = QStringLiteral("“%1”").arg(QString::fromStdString(file.relativePath));
        QString reason = QString::fromStdString(file.reason);
        // Most reasons name the file already; it is named once.
        QString item = reason.contains(path) ? reason : path + QStringLiteral(": ") + reason;
        if (auto recovered = recoveredPages.find(file.relativePath); recovered != recoveredPages.end()) {
            if (!item.endsWith(QLatin1Char('.'))) {
                item += QLatin1Char('.'); // "Permission denied", as the system says it
            }
            item += QStringLiteral(" The text you typed into its page is in the recovered page “%1”.")
                        .arg(recovered->second);
        }
        items.push_back(item);
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
    return unreadableFilesAlert(newlyUnreadable, recoveredPagesByFile(store), holdsPagesOnDisk(store));
}

} // namespace velto
