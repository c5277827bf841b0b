#include "model/Document.h"
#include "model/PageSlug.h"
#include "store/PageArchiveState.h"
#include "store/Store.h"

#include <algorithm>

namespace velto {
namespace {

const char *const recoveredTitle = "Page Recovered After File Removal";

std::string reviewTitle(std::size_t copyCount) {
    if (copyCount == 1) {
        return "Review Saved Conflict Copy…";
    }
    return "Review " + std::to_string(copyCount) + " Saved Conflict Copies…";
}

/// The copy's file text as held, parsed again; empty when only a summary of the copy is held.
VeltoPageFileContent copyFileContent(const VeltoPage &copy) {
    const VeltoPageFileContent *loaded = copy.content.asLoaded();
    return VeltoPageFileContent::parse(loaded != nullptr ? loaded->fileContents() : "");
}

} // namespace

void VeltoStore::updateConflictPresentation(const VeltoSaveResult &result) {
    if (result.conflicts.empty()) {
        return; // an earlier notice stays until its copies are dealt with
    }
    std::vector<Uuid> ordinaryCopies;
    for (const VeltoSaveConflict &conflict : result.conflicts) {
        if (result.pageIDReplacements.count(conflict.originalPageID) == 0) {
            ordinaryCopies.push_back(conflict.preservedPage.id);
        }
    }
    VeltoSaveConflictPresentation presentation;
    if (ordinaryCopies.empty()) {
        presentation.title = recoveredTitle;
        presentation.message =
            "The original page file was removed or emptied. Velto kept your local edit as a new page.";
        for (const VeltoSaveConflict &conflict : result.conflicts) {
            presentation.pageIDs.push_back(conflict.preservedPage.id);
        }
    } else if (ordinaryCopies.size() == 1) {
        presentation.title = reviewTitle(1);
        presentation.message = "This page changed in another app or Velto window. Your edit is current, and the "
                               "other version was saved as a separate page.";
        presentation.pageIDs = ordinaryCopies;
    } else {
        presentation.title = reviewTitle(ordinaryCopies.size());
        presentation.message = std::to_string(ordinaryCopies.size()) +
                               " pages changed elsewhere. Your edits are current, and the other versions were "
                               "saved as separate pages.";
        presentation.pageIDs = ordinaryCopies;
    }
    lastSaveConflictPresentation_ = std::move(presentation);
}

void VeltoStore::removeConflictFromPresentation(const Uuid &pageID) {
    if (!lastSaveConflictPresentation_.has_value()) {
        return;
    }
    std::vector<Uuid> &remaining = lastSaveConflictPresentation_->pageIDs;
    std::erase(remaining, pageID);
    if (remaining.empty()) {
        lastSaveConflictPresentation_.reset();
        return;
    }
    lastSaveConflictPresentation_->title = reviewTitle(remaining.size()); // the message keeps its first count
}

void VeltoStore::keepConflictNoticeOfHeldCopies() {
    if (!lastSaveConflictPresentation_.has_value()) {
        return;
    }
    std::vector<Uuid> &listed = lastSaveConflictPresentation_->pageIDs;
    const std::size_t countBefore = listed.size();
    std::erase_if(listed, [this](const Uuid &pageID) {
        const VeltoPage *page = findPage(document_, pageID);
        return page == nullptr || isArchivedPage(*page);
    });
    if (listed.empty()) {
        lastSaveConflictPresentation_.reset();
    } else if (listed.size() != countBefore && lastSaveConflictPresentation_->title != recoveredTitle) {
        lastSaveConflictPresentation_->title = reviewTitle(listed.size());
    }
}

QCoro::Task<VeltoConflictResolutionOutcome> VeltoStore::resolveConflict(Uuid copyPageID,
                                                                        VeltoConflictResolution resolution, Date now) {
    auto position = std::find_if(document_.pages.begin(), document_.pages.end(),
                                 [&copyPageID](const VeltoPage &page) { return page.id == copyPageID; });
    if (position == document_.pages.end() || !isConflictCopy(*position)) {
        co_return VeltoConflictResolutionOutcome::unavailable;
    }
    const VeltoPage copy = *position;

    const VeltoSessionTicket ticket = session_.ticket();
    std::optional<VeltoPage> latest;
    try {
        QCoro::Task<std::optional<VeltoPage>> reading = latestPageLoadOperation_(copy, session_.folderURL());
        latest = co_await reading;
    } catch (...) {
        if (ticket.storeIsAlive()) {
            lastSaveErrorDescription_ = errorDescription(std::current_exception());
        }
        co_return VeltoConflictResolutionOutcome::unavailable;
    }
    if (!ticket.stillCurrent() || !latest.has_value()) {
        co_return VeltoConflictResolutionOutcome::unavailable;
    }
    askEditorForPendingText(); // the resolution may replace the text of the page in front of the user
    // Looked up again: the user chose on the copy as it was shown, not as it may have become meanwhile.
    position = std::find_if(document_.pages.begin(), document_.pages.end(),
                            [&copyPageID](const VeltoPage &page) { return page.id == copyPageID; });
    if (position == document_.pages.end() || *position != copy) {
        co_return VeltoConflictResolutionOutcome::unavailable;
    }
    // A copy changed elsewhere is shown again before anything is decided on it; unsaved edits made to the copy
    // itself are what the user reviewed, and stay.
    if (latest->persistedFileContents() != copy.persistedFileContents() && !hasUnsavedEdits(mutations_, copyPageID)) {
        std::set<Uuid> archivedBefore = document_.archivedPageIDs();
        *position = *latest;
        documentDidChange();
        pageBaselines_.insert_or_assign(copyPageID, VeltoPageBaseline::fromPage(*latest));
        if (onArchiveStateChange && archivedBefore != document_.archivedPageIDs()) {
            onArchiveStateChange();
        }
        co_return VeltoConflictResolutionOutcome::refreshed;
    }

    std::optional<Uuid> originalID;
    if (const VeltoPageFileContent *loaded = copy.content.asLoaded()) {
        originalID = loaded->conflictOriginalPageID();
    }
    const VeltoPage *original = originalID.has_value() ? findPage(document_, *originalID) : nullptr;
    if (resolution != VeltoConflictResolution::keepBothVersions && original == nullptr) {
        co_return VeltoConflictResolutionOutcome::unavailable;
    }

    VeltoDocument before = document_;
    const std::size_t copyIndex = static_cast<std::size_t>(position - document_.pages.begin());
    document_.pages.erase(position); // its file goes with the next save, as any removed page's does
    if (resolution == VeltoConflictResolution::useSavedCopy) {
        VeltoPage *replaced = findPage(document_, *originalID);
        VeltoPage page;
        page.id = replaced->id;
        page.createdAt = replaced->createdAt;
        page.fileSlug = replaced->fileSlug;
        page.relativeFilePath = replaced->relativeFilePath;
        page.updatedAt = now;
        VeltoPageFileContent content = copyFileContent(copy);
        content.writeVeltoMetadata(replaced->id, content.isArchived(), std::nullopt);
        page.content = VeltoPageContent::loaded(std::move(content));
        *replaced = std::move(page);
    } else if (resolution == VeltoConflictResolution::keepBothVersions) {
        VeltoPageFileContent content = copyFileContent(copy);
        content.writeVeltoMetadata(content.veltoPageID(), content.isArchived(), std::nullopt);
        VeltoPage page;
        page.id = Uuid::random();
        page.createdAt = copy.createdAt;
        page.updatedAt = copy.updatedAt;
        page.fileSlug = VeltoPageSlug::make();
        page.content = VeltoPageContent::loaded(VeltoPageFileContent{content.frontMatter, content.body, "\n"});
        std::size_t index = std::min(copyIndex, document_.pages.size());
        document_.pages.insert(document_.pages.begin() + static_cast<std::ptrdiff_t>(index), std::move(page));
    }
    recordMutations(before, document_, {});
    removeConflictFromPresentation(copyPageID);
    if (loadState_.recoveryIssue() == nullptr) {
        schedule();
    }
    announceCurrentPageChange(before.currentPage);
    co_return VeltoConflictResolutionOutcome::resolved;
}

} // namespace velto
