#include "model/Document.h"
#include "model/ReloadError.h"
#include "model/ThreeWayMerge.h"
#include "store/FolderIdentity.h"
#include "store/PendingEdits.h"
#include "store/Store.h"

#include <set>
#include <string>

namespace velto {

namespace {

/// Whether `files` names a file that `earlier` does not.
bool listsFileNotIn(const std::vector<VeltoUnreadablePageFile> &files,
                    const std::vector<VeltoUnreadablePageFile> &earlier) {
    std::set<std::string> listedBefore;
    for (const auto &file : earlier) {
        listedBefore.insert(file.relativePath);
    }
    for (const auto &file : files) {
        if (!listedBefore.contains(file.relativePath)) {
            return true;
        }
    }
    return false;
}

} // namespace

void VeltoStore::requestExternalRefresh(std::optional<std::set<std::string>> changedRelativePaths) {
    if (refreshRequests_.add(changedRelativePaths)) {
        runExternalRefreshLoop(); // runs on by itself; it ends when no follow-up is asked for
    }
}

QCoro::Task<void> VeltoStore::runExternalRefreshLoop() {
    const VeltoSessionTicket ticket = session_.ticket();
    CancellationToken cancellation = externalRefreshCancellation_;
    while (true) {
        std::optional<std::set<std::string>> paths = refreshRequests_.take();
        std::exception_ptr error;
        try {
            QCoro::Task<void> reloading = reloadFromDisk(false, paths);
            co_await reloading;
        } catch (...) {
            error = std::current_exception();
        }
        if (!ticket.storeIsAlive()) {
            co_return;
        }
        bool waitForAvailability = false;
        if (error) {
            noteRefreshFailure(error);
            try {
                std::rethrow_exception(error);
            } catch (const VeltoReloadError &reloadError) {
                waitForAvailability = reloadError.kind() == VeltoReloadError::Kind::temporarilyUnavailable;
            } catch (...) {
            }
        }
        if (waitForAvailability) {
            refreshRequests_.giveBack(paths);
            QCoro::Task<bool> sleeping = sleepFor(*scheduler_, unavailableRetryDelay, cancellation);
            bool slept = co_await sleeping;
            if (!ticket.storeIsAlive()) {
                co_return;
            }
            if (!slept) {
                break; // the request given back stays pending for the next refresh
            }
            refreshRequests_.askForFollowUp();
        }
        if (!refreshRequests_.needsFollowUp() || cancellation.isCancelled()) {
            break;
        }
    }
    refreshRequests_.finish();
}

QCoro::Task<void> VeltoStore::reloadFromDisk(bool applyAutoArchive,
                                             std::optional<std::set<std::string>> changedRelativePaths) {
    VeltoSessionTicket ticket = session_.ticket();
    while (true) {
        co_await flush();
        if (!ticket.stillCurrent()) {
            co_return; // another library session began
        }
        if (hasOutstandingSave()) {
            continue; // edited while the flush waited: that edit is saved too before anything is loaded
        }
        std::uint64_t mutationRevision = mutations_.revision;
        // Started outside co_await: GCC 12 destroys argument temporaries of a co_await expression twice.
        QCoro::Task<VeltoLibraryLoadResult> loading =
            changedRelativePaths.has_value()
                ? incrementalLoadOperation_(ticket.folderURL(), document_, *changedRelativePaths)
                : loadOperation_(ticket.folderURL());
        VeltoLibraryLoadResult result = co_await loading;
        if (!ticket.stillCurrent()) {
            co_return;
        }
        if (mutations_.revision == mutationRevision) {
            askEditorForPendingText();
        }
        if (mutations_.revision == mutationRevision) {
            applyReload(result, applyAutoArchive);
            if (applyAutoArchive) {
                QCoro::Task<int> archiving = autoArchiveEligiblePages(now());
                co_await archiving;
            }
            co_return;
        }
        // Edited while the load ran: the loaded files are older than the document. Save, then load again.
        ticket = session_.ticket();
    }
}

bool VeltoStore::hasOutstandingSave() const {
    return loadState_.recoveryIssue() == nullptr && saveScheduler_.hasOutstandingSave(hasPendingMutations(mutations_));
}

void VeltoStore::askEditorForPendingText() {
    if (handOverPendingText) {
        handOverPendingText();
    }
}

void VeltoStore::announceCurrentPageChange(const VeltoPage &previous) {
    const VeltoPage &current = document_.currentPage;
    if (current.id != previous.id) {
        emit currentPageChangedOutsideEditor(current.id, CurrentPageChange::page);
    } else if (current.visibleText() != previous.visibleText()) {
        emit currentPageChangedOutsideEditor(current.id, CurrentPageChange::text);
    }
}

// A reload that waits for something to pass (a page file another program is replacing, a busy library, a full
// device) loses nothing of an open library while nothing is unsaved: it is retried, and no warning is shown.
void VeltoStore::noteRefreshFailure(const std::exception_ptr &error) {
    bool passes = false;
    try {
        std::rethrow_exception(error);
    } catch (const VeltoReloadError &reloadError) {
        passes = reloadError.kind() == VeltoReloadError::Kind::temporarilyUnavailable;
    } catch (...) {
    }
    if (passes && loadState_.isLoaded() && !hasPendingMutations(mutations_)) {
        return;
    }
    lastSaveErrorDescription_ = errorDescription(error);
}

void VeltoStore::applyReload(const VeltoLibraryLoadResult &result, bool /*applyAutoArchive*/) {
    if (const VeltoStoreRecoveryIssue *issue = result.failureIssue()) {
        if (issue->kind == VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable) {
            throw VeltoReloadError::temporarilyUnavailable(issue->message);
        }
        throw VeltoReloadError::unreadable(issue->message);
    }
    const VeltoLibraryLoadResult::Loaded *loaded = result.asLoaded();
    if (loaded == nullptr) {
        throw VeltoReloadError::libraryMissing();
    }
    const VeltoPage previousCurrentPage = document_.currentPage;
    const bool wasOpen = loadState_.isLoaded();
    // What could not be saved before the load (edits held while the library needed recovery) stays, merged
    // into what was loaded; everything else was saved by the flush before the load.
    VeltoReloadedDocument reloaded =
        keepingPendingChanges(document_, mutations_, pageBaselines_, loaded->document, pageBaselines(loaded->document));
    replaceDocument(std::move(reloaded.document));
    pageBaselines_ = std::move(reloaded.baselines);
    saveScheduler_.documentWasReloaded();
    loadState_ = VeltoStoreLoadState::loaded();
    bool metNewUnreadableFiles = listsFileNotIn(loaded->unreadableFiles, unreadableFiles_);
    unreadableFiles_ = loaded->unreadableFiles;
    lastSaveErrorDescription_.reset();
    keepConflictNoticeOfHeldCopies();
    mutations_.reset(loaded->structureRepair, true);
    if (reloaded.keptPendingChanges) {
        mutations_.record(loaded->document, document_);
    }
    if ((loaded->structureRepair.has_value() || reloaded.keptPendingChanges) && loadState_.isLoaded()) {
        schedule();
    }
    announceCurrentPageChange(previousCurrentPage);
    if (!wasOpen) {
        emit libraryOpened();
    }
    if (metNewUnreadableFiles) {
        emit unreadableFilesFound();
    }
}

void VeltoStore::replaceDocument(VeltoDocument document) {
    std::set<Uuid> archivedBefore = document_.archivedPageIDs();
    document_ = std::move(document);
    documentDidChange();
    if (onArchiveStateChange && archivedBefore != document_.archivedPageIDs()) {
        onArchiveStateChange();
    }
}

QCoro::Task<std::set<Uuid>> VeltoStore::refreshPagesFromDisk(std::set<Uuid> pageIDs) {
    const VeltoSessionTicket ticket = session_.ticket();
    std::set<Uuid> refreshed;
    for (const Uuid &pageID : pageIDs) {
        const VeltoPage *held = findPage(document_, pageID);
        if (held == nullptr) {
            continue;
        }
        std::uint64_t saveCountBeforeRead = pageSaveCount(pageID);
        // Read off the main thread: the shared lock may wait for another process's save.
        std::optional<VeltoPage> latest;
        std::exception_ptr error;
        try {
            QCoro::Task<std::optional<VeltoPage>> reading = latestPageLoadOperation_(*held, session_.folderURL());
            latest = co_await reading;
        } catch (...) {
            error = std::current_exception();
        }
        if (!ticket.stillCurrent()) {
            co_return refreshed;
        }
        if (error) {
            noteRefreshFailure(error);
            continue;
        }
        if (pageSaveCount(pageID) != saveCountBeforeRead) {
            continue; // a save of this page finished while it was read: the text read may be older than it
        }
        if (takeLatestPage(pageID, latest)) {
            refreshed.insert(pageID);
        }
    }
    co_return refreshed;
}

bool VeltoStore::takeLatestPage(const Uuid &pageID, const std::optional<VeltoPage> &latest) {
    if (latest.has_value() && document_.currentPage.id == pageID) {
        askEditorForPendingText(); // typed text becomes a pending edit, which the file never replaces
    }
    VeltoPage *held = findPage(document_, pageID); // looked up again: the document may have changed meanwhile
    if (held == nullptr) {
        return false;
    }
    if (!latest.has_value()) {
        return true; // no file: nothing to take
    }
    auto baseline = pageBaselines_.find(pageID);
    VeltoHeldPage before{*held, std::nullopt};
    if (baseline != pageBaselines_.end()) {
        before.baseline = baseline->second;
    }
    VeltoHeldPage after = takingFileIntoHeldPage(before, hasPendingChange(mutations_, pageID), *latest);
    if (after.page == before.page && after.baseline == before.baseline) {
        return true;
    }
    *held = std::move(after.page);
    documentDidChange();
    if (after.baseline.has_value()) {
        pageBaselines_.insert_or_assign(pageID, *after.baseline);
    }
    if (pageID == document_.currentPage.id) {
        announceCurrentPageChange(before.page);
    }
    return true;
}

} // namespace velto
