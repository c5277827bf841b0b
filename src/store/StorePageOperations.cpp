#include "library/folder/PageFileNaming.h"
#include "model/Document.h"
#include "model/PageArchiveState.h"
#include "store/ArchivePolicy.h"
#include "store/Store.h"

#include <algorithm>

namespace velto {
namespace {

/// Where the page with that identifier stands among the other pages; nothing when it is not there.
std::optional<std::size_t> indexOfOtherPage(const VeltoDocument &document, const Uuid &pageID) {
    for (std::size_t index = 0; index < document.pages.size(); ++index) {
        if (document.pages[index].id == pageID) {
            return index;
        }
    }
    return std::nullopt;
}

/// Takes the other page at `index` out of the list and makes it current; the previous current page goes
/// to the front, so that library order runs from the most recently current page to the least.
void makeOtherPageCurrent(VeltoDocument &document, std::size_t index) {
    VeltoPage chosen = std::move(document.pages[index]);
    document.pages.erase(document.pages.begin() + static_cast<std::ptrdiff_t>(index));
    document.pages.insert(document.pages.begin(), std::move(document.currentPage));
    document.currentPage = std::move(chosen);
}

} // namespace

void VeltoStore::commitDocumentChange(const VeltoDocument &before, const std::set<Uuid> &archiveMetadataOnlyPageIDs) {
    // A save writes an archive-only change as the file's text with the new flag, so a page with unsaved
    // edits must stay a whole change: otherwise the disk text would replace what was typed.
    std::set<Uuid> archiveOnly;
    for (const Uuid &pageID : archiveMetadataOnlyPageIDs) {
        if (!hasUnsavedEdits(mutations_, pageID)) {
            archiveOnly.insert(pageID);
        }
    }
    recordMutations(before, document_, archiveOnly);
    if (loadState_.recoveryIssue() == nullptr) {
        schedule(); // while recovery is required, changes stay in memory
    }
    announceCurrentPageChange(before.currentPage);
}

std::optional<VeltoPageOperation> VeltoStore::createNewPage(Date now) {
    if (document_.currentPage.visibleTextView().empty()) {
        return std::nullopt; // the current page already is a new page
    }
    VeltoDocument before = document_;
    Uuid previousCurrentID = document_.currentPage.id;
    VeltoPage created = newEmptyPage(now);
    Uuid createdID = created.id;
    document_.pages.insert(document_.pages.begin(), std::move(document_.currentPage));
    document_.currentPage = std::move(created);
    std::set<Uuid> archivedByLimits = archivePagesBeyondActiveLimits(now);
    commitDocumentChange(before, archivedByLimits);

    VeltoPageOperation operation;
    operation.actionName = "New Page";
    operation.before = std::move(before);
    operation.after = document_;
    operation.effects.emplace_back(VeltoPageOperation::Archival{previousCurrentID});
    operation.effects.emplace_back(VeltoPageOperation::Creation{createdID});
    for (const Uuid &pageID : archivedByLimits) { // identifier order is the order of the upper-case texts
        if (pageID != previousCurrentID) {
            operation.effects.emplace_back(VeltoPageOperation::Archival{pageID});
        }
    }
    return operation;
}

std::optional<VeltoPageOperation> VeltoStore::selectPageOperation(const Uuid &pageID) {
    std::optional<std::size_t> index = indexOfOtherPage(document_, pageID);
    if (!index.has_value() || !isActiveLoadedPage(document_.pages[*index])) {
        return std::nullopt;
    }
    VeltoDocument before = document_;
    makeOtherPageCurrent(document_, *index);
    commitDocumentChange(before, {});

    VeltoPageOperation operation;
    operation.actionName = "Move Page";
    operation.effects.emplace_back(VeltoPageOperation::Movement{pageID});
    operation.before = std::move(before);
    operation.after = document_;
    return operation;
}

std::optional<VeltoArchiveTransition> VeltoStore::archiveCurrentPage(Date now) {
    bool hasActiveOtherPage = std::any_of(document_.pages.begin(), document_.pages.end(),
                                          [](const VeltoPage &page) { return !isArchivedPage(page); });
    if (document_.currentPage.visibleTextView().empty() && !hasActiveOtherPage) {
        return std::nullopt;
    }
    VeltoDocument before = document_;
    VeltoPage taken = std::move(document_.currentPage);
    markPageArchived(taken, now); // a page held only as a summary moves unmarked
    std::optional<std::size_t> next;
    for (std::size_t index = 0; index < document_.pages.size(); ++index) {
        if (isActiveLoadedPage(document_.pages[index])) {
            next = index;
            break;
        }
    }
    if (next.has_value()) {
        document_.currentPage = std::move(document_.pages[*next]);
        document_.pages.erase(document_.pages.begin() + static_cast<std::ptrdiff_t>(*next));
    } else {
        document_.currentPage = newEmptyPage(now);
    }
    document_.pages.insert(document_.pages.begin(), std::move(taken));
    // Recorded as a whole change, not archive metadata alone: the archived page's text as held is saved.
    commitDocumentChange(before, {});
    return VeltoArchiveTransition{std::move(before), document_};
}

QCoro::Task<bool> VeltoStore::restoreArchivedPage(Uuid pageID, Date now) {
    std::optional<std::size_t> index = indexOfOtherPage(document_, pageID);
    if (!index.has_value() || !isArchivedPage(document_.pages[*index])) {
        co_return false;
    }
    const VeltoSessionTicket ticket = session_.ticket();
    VeltoPage held = document_.pages[*index];
    std::uint64_t saveCountBeforeRead = pageSaveCount(pageID);
    std::optional<VeltoPage> latest;
    try {
        QCoro::Task<std::optional<VeltoPage>> reading = latestPageLoadOperation_(held, session_.folderURL());
        latest = co_await reading;
    } catch (...) {
        if (ticket.storeIsAlive()) {
            lastSaveErrorDescription_ = errorDescription(std::current_exception());
        }
        co_return false;
    }
    if (!ticket.stillCurrent()) {
        co_return false;
    }
    if (pageSaveCount(pageID) != saveCountBeforeRead) {
        latest.reset(); // saved while it was read: the page as held is newer than the text read
    }
    askEditorForPendingText(); // the page in front of the user is about to change
    // Looked up again: the page may have been restored, deleted or reloaded while its file was read.
    index = indexOfOtherPage(document_, pageID);
    if (!index.has_value() || document_.pages[*index] != held) {
        co_return false;
    }
    VeltoPage restored = latest.has_value() ? *latest : held;
    if (restored.content.asLoaded() == nullptr) {
        co_return false; // only a summary: restoring it would write the summary as the whole page
    }
    VeltoDocument before = document_;
    restored.restore(now);
    if (latest.has_value()) {
        pageBaselines_.insert_or_assign(pageID, VeltoPageBaseline::fromPage(*latest));
    }
    document_.pages[*index] = std::move(restored);
    makeOtherPageCurrent(document_, *index);
    commitDocumentChange(before, {pageID});
    co_return true;
}

QCoro::Task<int> VeltoStore::archiveOtherPages(Date now) {
    QCoro::Task<int> archiving = archivedRefreshedPageCount(isActiveLoadedPage, now);
    co_return co_await archiving;
}

QCoro::Task<int> VeltoStore::archivedRefreshedPageCount(std::function<bool(const VeltoPage &)> isEligible, Date now) {
    std::set<Uuid> candidates;
    for (const VeltoPage &page : document_.pages) {
        if (isEligible(page)) {
            candidates.insert(page.id);
        }
    }
    if (candidates.empty()) {
        co_return 0;
    }
    const VeltoSessionTicket ticket = session_.ticket();
    std::set<Uuid> archivedBeforeRefresh = document_.archivedPageIDs();
    // The refresh keeps unsaved edits: a page's disk text never replaces what was typed into it.
    QCoro::Task<std::set<Uuid>> refreshing = refreshPagesFromDisk(candidates);
    std::set<Uuid> refreshed = co_await refreshing;
    if (!ticket.stillCurrent()) {
        co_return 0;
    }
    if (archivedBeforeRefresh != document_.archivedPageIDs()) {
        emit archiveStateChanged();
    }
    VeltoDocument before = document_;
    std::set<Uuid> archived;
    for (VeltoPage &page : document_.pages) {
        if (refreshed.count(page.id) != 0 && isEligible(page)) {
            markPageArchived(page, now);
            archived.insert(page.id);
        }
    }
    if (archived.empty()) {
        co_return 0;
    }
    commitDocumentChange(before, archived);
    co_return static_cast<int>(archived.size());
}

int VeltoStore::deleteConfirmedArchivedPages(const std::set<Uuid> &pageIDs) {
    VeltoDocument before = document_;
    std::size_t removed = std::erase_if(document_.pages, [&pageIDs](const VeltoPage &page) {
        return pageIDs.count(page.id) != 0 && isArchivedPage(page); // active pages are never deleted
    });
    if (removed == 0) {
        return 0;
    }
    commitDocumentChange(before, {});
    return static_cast<int>(removed);
}

QCoro::Task<int> VeltoStore::deleteConfirmedArchivedPagesAfterReload(std::set<Uuid> pageIDs) {
    const VeltoSessionTicket ticket = session_.ticket();
    QCoro::Task<void> flushing = flush();
    co_await flushing;
    if (!ticket.storeIsAlive()) {
        co_return 0;
    }
    QCoro::Task<void> reloading = reloadFromDisk(false, std::nullopt);
    co_await reloading;
    if (!ticket.stillCurrent()) {
        co_return 0; // the pages were confirmed in another library
    }
    int removed = deleteConfirmedArchivedPages(pageIDs);
    if (removed > 0) {
        QCoro::Task<void> flushingDeletion = flush();
        co_await flushingDeletion;
    }
    co_return removed;
}

std::set<Uuid> VeltoStore::archivePagesBeyondActiveLimits(Date now) {
    std::set<Uuid> beyondLimits = archivePolicy_.pagesBeyondActiveLimits(document_);
    for (VeltoPage &page : document_.pages) {
        if (beyondLimits.count(page.id) != 0) {
            markPageArchived(page, now);
        }
    }
    if (!beyondLimits.empty()) {
        documentDidChange(); // recorded by the caller only while the library is loaded
    }
    return beyondLimits;
}

void VeltoStore::persistActiveLimitArchivalIfNeeded() {
    VeltoDocument before = document_;
    std::set<Uuid> archived = archivePagesBeyondActiveLimits(now());
    if (!archived.empty() && loadState_.isLoaded()) {
        commitDocumentChange(before, archived);
    }
}

QCoro::Task<int> VeltoStore::autoArchiveEligiblePages(Date now) {
    if (!archivePolicy_.period().period.has_value()) {
        co_return 0;
    }
    // Only the pages past the period are read again: another writer may have edited or archived them. The
    // policy is taken as it is now: a period changed while the pages are read applies from the next pass on.
    QCoro::Task<int> archiving = archivedRefreshedPageCount(
        [policy = archivePolicy_, now](const VeltoPage &page) { return policy.isPastPeriod(page, now); }, now);
    co_return co_await archiving;
}

QCoro::Task<bool> VeltoStore::applyArchiveTransition(VeltoDocument target) {
    const VeltoSessionTicket ticket = session_.ticket();
    const VeltoDocument present = document_;
    std::set<Uuid> changed = pagesChangingArchiveState(present, target);

    // Every file is read before anything changes: one failed read leaves the document as it was.
    std::map<Uuid, std::optional<VeltoPage>> latestPages;
    std::map<Uuid, std::uint64_t> saveCountsBeforeRead;
    for (const Uuid &pageID : changed) {
        const VeltoPage *presentPage = findPage(present, pageID);
        if (presentPage == nullptr || findPage(target, pageID) == nullptr) {
            continue;
        }
        saveCountsBeforeRead[pageID] = pageSaveCount(pageID);
        try {
            QCoro::Task<std::optional<VeltoPage>> reading =
                latestPageLoadOperation_(*presentPage, session_.folderURL());
            latestPages[pageID] = co_await reading;
        } catch (...) {
            if (ticket.storeIsAlive()) {
                lastSaveErrorDescription_ = errorDescription(std::current_exception());
            }
            co_return false;
        }
        if (!ticket.storeIsAlive()) {
            co_return false;
        }
    }
    // The panel checked the document before the reads; a change made meanwhile makes that check stale.
    if (!ticket.stillCurrent() || document_ != present) {
        co_return false;
    }

    VeltoDocument next = target;
    std::map<Uuid, VeltoPageBaseline> adoptedBaselines;
    for (const auto &[pageID, latest] : latestPages) {
        const VeltoPage &presentPage = *findPage(present, pageID);
        const VeltoPage &targetPage = *findPage(target, pageID);
        // Unsaved edits are never replaced by the file's text: the page as held carries them to the next save.
        // A text read before a save of the page finished is older than the page as held.
        bool readBeforeSave = pageSaveCount(pageID) != saveCountsBeforeRead[pageID];
        bool takesFile = latest.has_value() && !readBeforeSave && !hasUnsavedEdits(mutations_, pageID);
        VeltoPage base = takesFile ? *latest : presentPage;
        if (isArchivedPage(targetPage)) {
            markPageArchived(base, targetPage.archivedAt.value_or(now()));
        } else if (!base.restore(targetPage.updatedAt)) {
            co_return false; // only a summary is held: nothing to restore the page from
        }
        if (takesFile) {
            adoptedBaselines.insert_or_assign(pageID, VeltoPageBaseline::fromPage(*latest));
        }
        *findPage(next, pageID) = std::move(base);
    }
    for (const auto &[pageID, baseline] : adoptedBaselines) {
        pageBaselines_.insert_or_assign(pageID, baseline);
    }
    document_ = std::move(next);
    commitDocumentChange(present, changed);
    co_return true;
}

bool VeltoStore::apply(const VeltoPageOperation &operation, VeltoPageOperationDirection direction) {
    const bool redo = direction == VeltoPageOperationDirection::redo;
    const VeltoDocument &expected = redo ? operation.before : operation.after;
    const VeltoDocument &target = redo ? operation.after : operation.before;
    if (!matchesTimeline(expected, document_)) {
        return false;
    }
    VeltoDocument before = document_;
    document_ = target.preservingUpdatedAt(before);
    commitDocumentChange(before, {});
    return true;
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
    if (!ticket.stillCurrent()) {
        co_return VeltoConflictResolutionOutcome::unavailable;
    }
    if (!latest.has_value()) {
        // Deleted elsewhere. The library holds the page until its file has stayed away for a while, as a file that
        // a sync tool replaces does, and reads the folder again for it; the user, told it is gone, reviews it no more.
        conflictNotice_.remove(copyPageID);
        requestExternalRefresh(
            std::set<std::string>{VeltoPageLibrary::pageFileName(VeltoPageLibrary::namingRecord(copy))});
        co_return VeltoConflictResolutionOutcome::deleted;
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
        if (archivedBefore != document_.archivedPageIDs()) {
            emit archiveStateChanged();
        }
        co_return VeltoConflictResolutionOutcome::refreshed;
    }

    std::optional<Uuid> originalID;
    if (const VeltoPageFileContent *loaded = copy.content.asLoaded()) {
        originalID = loaded->conflictOriginalPageID();
    }
    // A copy that names itself as its original (a hand edit, a sync tool) has no other version to settle with.
    const VeltoPage *original =
        originalID.has_value() && *originalID != copyPageID ? findPage(document_, *originalID) : nullptr;
    if (resolution != VeltoConflictResolution::keepBothVersions && original == nullptr) {
        co_return VeltoConflictResolutionOutcome::unavailable;
    }

    VeltoDocument before = document_;
    const std::size_t copyIndex = static_cast<std::size_t>(position - document_.pages.begin());
    document_ = resolvingConflictCopy(std::move(document_), copyIndex, resolution, originalID, now);
    recordMutations(before, document_, {});
    conflictNotice_.remove(copyPageID);
    if (loadState_.recoveryIssue() == nullptr) {
        schedule();
    }
    announceCurrentPageChange(before.currentPage);
    co_return VeltoConflictResolutionOutcome::resolved;
}

} // namespace velto
