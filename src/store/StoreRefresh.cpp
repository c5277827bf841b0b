#include "model/Document.h"
#include "model/ReloadError.h"
#include "model/ThreeWayMerge.h"
#include "store/FolderIdentity.h"
#include "store/Store.h"

#include <QtCore/QPointer>

namespace velto {

void VeltoStore::requestExternalRefresh(std::optional<std::set<std::string>> changedRelativePaths) {
    if (changedRelativePaths.has_value()) {
        pendingExternalChangedPaths_.insert(changedRelativePaths->begin(), changedRelativePaths->end());
    } else {
        requiresFullExternalRefresh_ = true;
    }
    if (externalRefreshRunning_) {
        needsFollowUpExternalRefresh_ = true;
        return;
    }
    externalRefreshRunning_ = true;
    runExternalRefreshLoop(); // runs on by itself; it ends when no follow-up is asked for
}

void VeltoStore::takeExternalRefreshRequest(std::optional<std::set<std::string>> &paths) {
    needsFollowUpExternalRefresh_ = false;
    if (requiresFullExternalRefresh_) {
        paths.reset();
    } else {
        paths = pendingExternalChangedPaths_;
    }
    requiresFullExternalRefresh_ = false;
    pendingExternalChangedPaths_.clear();
}

void VeltoStore::giveBackExternalRefreshRequest(const std::optional<std::set<std::string>> &paths) {
    if (paths.has_value()) {
        pendingExternalChangedPaths_.insert(paths->begin(), paths->end());
    } else {
        requiresFullExternalRefresh_ = true;
    }
}

QCoro::Task<void> VeltoStore::runExternalRefreshLoop() {
    QPointer<VeltoStore> store(this);
    CancellationToken cancellation = externalRefreshCancellation_;
    while (true) {
        std::optional<std::set<std::string>> paths;
        takeExternalRefreshRequest(paths);
        std::exception_ptr error;
        try {
            QCoro::Task<void> reloading = reloadFromDisk(false, paths);
            co_await reloading;
        } catch (...) {
            error = std::current_exception();
        }
        if (store == nullptr) {
            co_return;
        }
        bool waitForAvailability = false;
        if (error) {
            lastSaveErrorDescription_ = errorDescription(error);
            try {
                std::rethrow_exception(error);
            } catch (const VeltoReloadError &reloadError) {
                waitForAvailability = reloadError.kind() == VeltoReloadError::Kind::temporarilyUnavailable;
            } catch (...) {
            }
        }
        if (waitForAvailability) {
            giveBackExternalRefreshRequest(paths);
            QCoro::Task<bool> sleeping = sleepFor(*scheduler_, unavailableRetryDelay, cancellation);
            bool slept = co_await sleeping;
            if (store == nullptr) {
                co_return;
            }
            if (!slept) {
                break; // the request given back stays pending for the next refresh
            }
            needsFollowUpExternalRefresh_ = true;
        }
        if (!needsFollowUpExternalRefresh_ || cancellation.isCancelled()) {
            break;
        }
    }
    externalRefreshRunning_ = false;
}

QCoro::Task<void> VeltoStore::reloadFromDisk(bool applyAutoArchive,
                                             std::optional<std::set<std::string>> changedRelativePaths) {
    QPointer<VeltoStore> store(this);
    std::uint64_t sessionRevision = librarySessionRevision_;
    std::filesystem::path folderURL = folderURL_;
    while (true) {
        co_await flush();
        if (store == nullptr || librarySessionRevision_ != sessionRevision) {
            co_return; // another library session began
        }
        std::uint64_t mutationRevision = mutations_.revision;
        // Started outside co_await: GCC 12 destroys argument temporaries of a co_await expression twice.
        QCoro::Task<VeltoLibraryLoadResult> loading =
            changedRelativePaths.has_value() ? incrementalLoadOperation_(folderURL, document_, *changedRelativePaths)
                                             : loadOperation_(folderURL);
        VeltoLibraryLoadResult result = co_await loading;
        if (store == nullptr || librarySessionRevision_ != sessionRevision || !isSameFolderURL(folderURL_, folderURL)) {
            co_return;
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
        sessionRevision = librarySessionRevision_;
        folderURL = folderURL_;
    }
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
    replaceDocument(loaded->document);
    pageBaselines_ = pageBaselines(document_);
    latestScheduledDocumentRevision_.reset();
    latestFailedGeneration_.reset();
    loadState_ = VeltoStoreLoadState::loaded();
    lastSaveErrorDescription_.reset();
    lastSaveConflictPresentation_.reset();
    mutations_.reset(loaded->structureRepair, true);
    if (loaded->structureRepair.has_value() && loadState_.isLoaded()) {
        schedule();
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
    QPointer<VeltoStore> store(this);
    std::uint64_t sessionRevision = librarySessionRevision_;
    std::set<Uuid> refreshed;
    for (const Uuid &pageID : pageIDs) {
        const VeltoPage *held = findPage(document_, pageID);
        if (held == nullptr) {
            continue;
        }
        // Read off the main thread: the shared lock may wait for another process's save.
        std::optional<VeltoPage> latest;
        std::exception_ptr error;
        try {
            QCoro::Task<std::optional<VeltoPage>> reading = latestPageLoadOperation_(*held, folderURL_);
            latest = co_await reading;
        } catch (...) {
            error = std::current_exception();
        }
        if (store == nullptr || librarySessionRevision_ != sessionRevision) {
            co_return refreshed;
        }
        if (error) {
            lastSaveErrorDescription_ = errorDescription(error);
            continue;
        }
        if (takeLatestPage(pageID, latest)) {
            refreshed.insert(pageID);
        }
    }
    co_return refreshed;
}

bool VeltoStore::takeLatestPage(const Uuid &pageID, const std::optional<VeltoPage> &latest) {
    VeltoPage *held = findPage(document_, pageID); // looked up again: the document may have changed meanwhile
    if (held == nullptr) {
        return false;
    }
    if (!latest.has_value()) {
        return true; // no file: nothing to take
    }
    VeltoPage page = *latest;
    VeltoPageBaseline latestBaseline = VeltoPageBaseline::fromPage(page);
    if (latestBaseline.checksum == VeltoPageBaseline::fromPage(*held).checksum) {
        page.updatedAt = held->updatedAt;
    } else {
        page.updatedAt = std::max(held->updatedAt.value_or(held->createdAt), page.updatedAt.value_or(page.createdAt));
    }

    if (mutations_.changedPageRevisions.count(pageID) == 0) {
        *held = std::move(page);
        documentDidChange();
        pageBaselines_.insert_or_assign(pageID, latestBaseline);
        return true;
    }

    // Unsaved edits: the file's text must never replace them.
    auto baseline = pageBaselines_.find(pageID);
    if (baseline != pageBaselines_.end() && baseline->second.checksum == latestBaseline.checksum) {
        return true; // the file is still what the edits started from
    }
    if (baseline == pageBaselines_.end() || !baseline->second.fileContents.has_value()) {
        return true; // nothing to merge against: the next save finds the file changed and keeps both versions
    }
    std::optional<std::string> merged = VeltoThreeWayMerge::merge(
        *baseline->second.fileContents, held->persistedFileContents(), page.persistedFileContents());
    if (!merged.has_value()) {
        return true; // conflicting: the edits stay, and the next save keeps the file's text as a conflict copy
    }
    held->content = VeltoPageContent::loaded(VeltoPageFileContent::parse(*merged));
    held->updatedAt = VeltoThreeWayMerge::maxDate(held->updatedAt, page.updatedAt);
    documentDidChange();
    pageBaselines_.insert_or_assign(pageID, latestBaseline);
    return true;
}

} // namespace velto
