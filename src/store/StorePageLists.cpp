#include "model/Document.h"
#include "store/FolderIdentity.h"
#include "store/LibraryPool.h"
#include "store/PageArchiveState.h"
#include "store/Store.h"

#include <algorithm>
#include <variant>

namespace velto {
namespace {

/// The date archived pages are listed by: the archive date, else the activity date.
Date archiveSortDate(const VeltoPage &page) {
    return page.archivedAt.value_or(activityDate(page));
}

/// One archived page's preview as the reading thread found it: the page, or the error's description.
using ArchivedPreviewLoadResult = std::variant<VeltoPage, std::string>;

} // namespace

std::vector<VeltoPage> VeltoStore::activeOtherPages() const {
    std::vector<VeltoPage> active;
    for (const VeltoPage &page : document_.pages) {
        if (!isArchivedPage(page)) {
            active.push_back(page);
        }
    }
    return active;
}

std::vector<VeltoPage> VeltoStore::activePagesSortedByActivity() const {
    std::vector<VeltoPage> pages = activeOtherPages();
    pages.insert(pages.begin(), document_.currentPage);
    std::stable_sort(pages.begin(), pages.end(), activityPrecedes);
    return pages;
}

std::vector<VeltoPage> VeltoStore::archivedPagesSortedByArchiveDate() const {
    std::vector<VeltoPage> archived;
    for (const VeltoPage &page : document_.pages) {
        if (isArchivedPage(page)) {
            archived.push_back(page);
        }
    }
    std::stable_sort(archived.begin(), archived.end(), [](const VeltoPage &a, const VeltoPage &b) {
        if (archiveSortDate(a) != archiveSortDate(b)) {
            return archiveSortDate(a) > archiveSortDate(b);
        }
        return activityPrecedes(a, b);
    });
    return archived;
}

std::vector<VeltoPage> VeltoStore::activePagesInNavigationOrder() const {
    std::vector<VeltoPage> pages{document_.currentPage};
    for (const VeltoPage &page : document_.pages) {
        if (isActiveLoadedPage(page)) {
            pages.push_back(page);
        }
    }
    return pages;
}

QCoro::Task<std::map<Uuid, VeltoPage>> VeltoStore::loadArchivedPreviews(std::vector<Uuid> pageIDs) {
    const VeltoSessionTicket ticket = session_.ticket();
    std::vector<VeltoPage> collected;
    for (const Uuid &pageID : pageIDs) {
        if (const VeltoPage *page = findPage(document_, pageID)) {
            collected.push_back(*page);
        }
    }
    if (collected.empty()) {
        co_return std::map<Uuid, VeltoPage>{};
    }

    // One read off the main thread for the whole batch: many archived files must never block the interface.
    QCoro::Task<std::map<Uuid, ArchivedPreviewLoadResult>> reading =
        runOnLibraryPool([collected, folderURL = ticket.folderURL(), fileManager = fileManager_, load = archivedPreviewLoadOperation_] {
            std::map<Uuid, ArchivedPreviewLoadResult> results;
            for (const VeltoPage &page : collected) {
                try {
                    results.emplace(page.id, load(page, folderURL, *fileManager));
                } catch (const std::exception &error) {
                    results.emplace(page.id, std::string(error.what()));
                }
            }
            return results;
        });
    std::map<Uuid, ArchivedPreviewLoadResult> results = co_await reading;

    std::map<Uuid, VeltoPage> answer;
    if (!ticket.stillCurrent()) {
        co_return answer;
    }
    for (const VeltoPage &page : collected) {
        auto result = results.find(page.id);
        if (result == results.end()) {
            continue;
        }
        if (const std::string *failure = std::get_if<std::string>(&result->second)) {
            lastSaveErrorDescription_ = *failure;
            continue;
        }
        VeltoPage *held = findPage(document_, page.id);
        // A page restored, edited or reloaded while the preview was read is newer than the preview: the
        // preview must not take its place.
        if (held == nullptr || *held != page) {
            continue;
        }
        *held = std::get<VeltoPage>(result->second);
        documentDidChange();
        if (page.id == document_.currentPage.id) {
            announceCurrentPageChange(page);
        }
        answer.emplace(page.id, *held);
    }
    co_return answer;
}

} // namespace velto
