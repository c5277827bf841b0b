#include "store/PendingEdits.h"

#include "library/folder/PageFileNaming.h"
#include "model/ThreeWayMerge.h"

#include <algorithm>

namespace velto {
namespace {

std::optional<VeltoPageBaseline> baselineOf(const std::map<Uuid, VeltoPageBaseline> &baselines, const Uuid &pageID) {
    auto found = baselines.find(pageID);
    if (found == baselines.end()) {
        return std::nullopt;
    }
    return found->second;
}

} // namespace

bool hasPendingChange(const VeltoMutationTracker &mutations, const Uuid &pageID) {
    return mutations.changedPageRevisions.count(pageID) != 0;
}

bool hasPendingMutations(const VeltoMutationTracker &mutations) {
    return !mutations.changedPageRevisions.empty() || !mutations.archiveMetadataPageRevisions.empty() ||
           !mutations.removedPageRevisions.empty() || mutations.structureRevision.has_value();
}

std::map<Uuid, std::string>
pagesHoldingTextOfUnreadableFiles(const VeltoDocument &held,
                                  const std::vector<VeltoUnreadablePageFile> &unreadableFiles) {
    std::map<Uuid, std::string> pages;
    if (unreadableFiles.empty()) {
        return pages;
    }
    std::set<std::string> unreadablePaths;
    for (const VeltoUnreadablePageFile &file : unreadableFiles) {
        unreadablePaths.insert(file.relativePath);
    }
    auto check = [&](const VeltoPage &page) {
        if (page.content.asLoaded() == nullptr || page.visibleTextView().empty()) {
            return;
        }
        std::string path = VeltoPageLibrary::pageFileName(VeltoPageLibrary::namingRecord(page));
        if (unreadablePaths.contains(path)) {
            pages.emplace(page.id, std::move(path));
        }
    };
    check(held.currentPage);
    for (const VeltoPage &page : held.pages) {
        check(page);
    }
    return pages;
}

VeltoHeldPage takingFileIntoHeldPage(const VeltoHeldPage &held, bool hasPendingChange, VeltoPage latest) {
    VeltoPageBaseline latestBaseline = VeltoPageBaseline::fromPage(latest);
    if (latestBaseline.checksum == VeltoPageBaseline::fromPage(held.page).checksum) {
        latest.updatedAt = held.page.updatedAt;
    } else {
        latest.updatedAt =
            std::max(held.page.updatedAt.value_or(held.page.createdAt), latest.updatedAt.value_or(latest.createdAt));
    }
    if (!hasPendingChange) {
        return {std::move(latest), latestBaseline};
    }
    if (held.baseline.has_value() && held.baseline->checksum == latestBaseline.checksum) {
        return held; // the file is still what the edits started from
    }
    if (!held.baseline.has_value() || !held.baseline->fileContents.has_value()) {
        return held; // nothing to merge against: the next save finds the file changed and keeps both versions
    }
    std::optional<std::string> merged = VeltoThreeWayMerge::merge(
        *held.baseline->fileContents, held.page.persistedFileContents(), latest.persistedFileContents());
    if (!merged.has_value()) {
        return held; // conflicting: the edits stay, and the next save keeps the file's text as a conflict copy
    }
    VeltoHeldPage result{held.page, latestBaseline};
    result.page.content = VeltoPageContent::loaded(VeltoPageFileContent::parse(*merged));
    result.page.updatedAt = VeltoThreeWayMerge::maxDate(held.page.updatedAt, latest.updatedAt);
    return result;
}

VeltoReloadedDocument keepingPendingChanges(const VeltoDocument &held, const VeltoMutationTracker &mutations,
                                            const std::map<Uuid, VeltoPageBaseline> &heldBaselines,
                                            VeltoDocument loaded, std::map<Uuid, VeltoPageBaseline> loadedBaselines) {
    VeltoReloadedDocument result{std::move(loaded), std::move(loadedBaselines), false};
    auto keep = [&](const VeltoPage &heldPage, bool isCurrent) {
        if (!hasPendingChange(mutations, heldPage.id)) {
            return;
        }
        VeltoHeldPage pending{heldPage, baselineOf(heldBaselines, heldPage.id)};
        VeltoPage *loadedPage = findPage(result.document, heldPage.id);
        if (loadedPage == nullptr) {
            // A page with no file yet (typed into while the library could not be read): it is kept, and the
            // one in front of the user stays there.
            if (isCurrent) {
                result.document.pages.insert(result.document.pages.begin(), std::move(result.document.currentPage));
                result.document.currentPage = heldPage;
            } else {
                result.document.pages.push_back(heldPage);
            }
        } else {
            VeltoHeldPage taken = takingFileIntoHeldPage(pending, true, *loadedPage);
            if (taken.page == *loadedPage) {
                return; // the load already holds what was pending
            }
            *loadedPage = std::move(taken.page);
            pending.baseline = std::move(taken.baseline);
        }
        if (pending.baseline.has_value()) {
            result.baselines.insert_or_assign(heldPage.id, *pending.baseline);
        } else {
            result.baselines.erase(heldPage.id);
        }
        result.keptPendingChanges = true;
    };
    keep(held.currentPage, true);
    for (const VeltoPage &page : held.pages) {
        keep(page, false);
    }
    return result;
}

} // namespace velto
