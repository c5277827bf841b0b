#include "model/Document.h"
#include "store/FolderIdentity.h"
#include "store/LibraryPool.h"
#include "store/PageArchiveState.h"
#include "store/Store.h"

#include <algorithm>
#include <variant>

namespace velto {
namespace {

/// One archived page's preview as the reading thread found it: the page, or the error's description.
using ArchivedPreviewLoadResult = std::variant<VeltoPage, std::string>;

} // namespace

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
    QCoro::Task<std::map<Uuid, ArchivedPreviewLoadResult>> reading = runOnLibraryPool(
        [collected, folderURL = ticket.folderURL(), fileManager = fileManager_, load = archivedPreviewLoadOperation_] {
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
