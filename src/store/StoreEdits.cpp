#include "library/folder/LibraryFolder.h"
#include "library/save/PageFileWrites.h"
#include "library/save/ProcessWriter.h"
#include "model/Document.h"
#include "model/PageArchiveState.h"
#include "model/ThreeWayMerge.h"
#include "store/LibraryPool.h"
#include "store/PagesNotSavedError.h"
#include "store/Store.h"

#include <algorithm>
#include <utility>

namespace velto {
namespace {

/// The revisions moved to the replacing identifiers; where two meet, the later revision stays.
std::map<Uuid, std::uint64_t> replacingKeys(const std::map<Uuid, std::uint64_t> &revisions,
                                            const std::map<Uuid, Uuid> &replacements) {
    std::map<Uuid, std::uint64_t> replaced;
    for (const auto &[pageID, revision] : revisions) {
        auto replacement = replacements.find(pageID);
        const Uuid &key = replacement == replacements.end() ? pageID : replacement->second;
        auto [entry, inserted] = replaced.try_emplace(key, revision);
        if (!inserted) {
            entry->second = std::max(entry->second, revision);
        }
    }
    return replaced;
}

/// Replaces part of the text in place. A text about to outgrow its room moves into a new one with a sixteenth
/// to spare: grown in place, its room would double, and a 5 MiB page would hold 10 MB after one typed character.
/// A text a save request or the page's baseline still reads is left to them, and the changed text made at once,
/// in one pass.
void replaceKeepingLittleRoom(CopyOnWriteText &text, std::size_t location, std::size_t length,
                              std::string_view replacement) {
    const std::size_t newSize = text.size() - length + replacement.size();
    if (newSize <= text.roomInPlace()) {
        text.edit().replace(location, length, replacement);
        return;
    }
    const std::string_view held = text.text();
    std::string grown;
    grown.reserve(newSize + newSize / 16);
    grown.append(held.substr(0, location)).append(replacement).append(held.substr(location + length));
    text = std::move(grown);
}

} // namespace

void VeltoStore::setText(std::string text, Date now) {
    VeltoPageFileContent *content = document_.currentPage.content.asLoaded();
    // Compared where it is held: a page of up to 5 MiB is not copied to be compared.
    bool isUnchanged = content != nullptr ? text == content->body : text == document_.currentPage.visibleTextView();
    if (!acceptsTextEdit(isUnchanged)) {
        return;
    }
    // The text is moved in, not copied; save requests share it with the store.
    content->body = std::move(text);
    currentPageTextDidChange(now);
}

void VeltoStore::replaceText(std::size_t location, std::size_t length, std::string_view replacement, Date now) {
    VeltoPageFileContent *content = document_.currentPage.content.asLoaded();
    if (content == nullptr) {
        std::string text = document_.currentPage.visibleText();
        location = std::min(location, text.size());
        setText(text.replace(location, length, replacement), now);
        return;
    }
    location = std::min(location, content->body.size());
    length = std::min(length, content->body.size() - location);
    if (!acceptsTextEdit(content->body.text().compare(location, length, replacement) == 0)) {
        return;
    }
    replaceKeepingLittleRoom(content->body, location, length, replacement);
    currentPageTextDidChange(now);
}

bool VeltoStore::acceptsTextEdit(bool isUnchanged) {
    if (isUnchanged) {
        if (lastSaveErrorDescription_.has_value() && loadState_.recoveryIssue() == nullptr) {
            schedule(); // an unchanged edit retries a failed save
        }
        return false;
    }
    if (document_.currentPage.content.asLoaded() == nullptr) {
        // Only a summary of this page is held: writing the edited preview, or an empty text, as its whole
        // file would destroy the page. The edit is refused, and said so.
        lastSaveErrorDescription_ = "Velto couldn’t save your change because this page isn’t fully loaded yet.";
        return false;
    }
    return true;
}

void VeltoStore::currentPageTextDidChange(Date now) {
    // An edit changes the current page's body alone, never its archive state or the page order: it is marked
    // as that page's change without comparing copies of the page.
    document_.currentPage.updatedAt = now;
    documentDidChange();
    mutations_.recordPageChange(document_.currentPage.id);
    if (loadState_.recoveryIssue() == nullptr) {
        schedule();
    }
}

void VeltoStore::recordMutations(const VeltoDocument &before, const VeltoDocument &after,
                                 const std::set<Uuid> &archiveMetadataOnlyPageIDs) {
    documentDidChange();
    mutations_.record(before, after, archiveMetadataOnlyPageIDs);
    if (archiveStateDiffers(before, after)) {
        emit archiveStateChanged();
    }
}

VeltoSaveRequest VeltoStore::saveRequest(std::uint64_t generation) {
    VeltoSaveRequest request;
    request.writerID = VeltoPageLibrary::processWriterID();
    request.operationID = Uuid::random();
    request.recordedAt = now();
    request.generation = generation;
    request.mutationRevision = mutations_.revision;
    request.document = documentCopyToSave_.has_value() ? std::move(*documentCopyToSave_) : document_;
    documentCopyToSave_.reset();
    // An edit made the copy kept for the next load stale: holding it would keep a whole library twice until then.
    if (documentCopy_ != nullptr && documentCopyRevision_ != saveScheduler_.documentRevision()) {
        freeOnLibraryPool(std::exchange(documentCopy_, nullptr));
    }
    request.changedPageRevisions = mutations_.changedPageRevisions;
    request.archiveMetadataPageRevisions = mutations_.archiveMetadataPageRevisions;
    request.removedPageRevisions = mutations_.removedPageRevisions;
    request.structureRevision = mutations_.structureRevision;
    for (const auto &[pageID, revision] : mutations_.changedPageRevisions) {
        auto baseline = pageBaselines_.find(pageID);
        if (baseline != pageBaselines_.end()) {
            request.expectedPageBaselines.emplace(pageID, baseline->second);
        }
    }
    // Removed pages too: the save keeps another writer's later edit of such a file as a conflict copy.
    for (const auto &[pageID, revision] : mutations_.removedPageRevisions) {
        auto baseline = pageBaselines_.find(pageID);
        if (baseline != pageBaselines_.end()) {
            request.expectedPageBaselines.emplace(pageID, baseline->second);
        }
    }
    return request;
}

void VeltoStore::didFinishSave(const VeltoSaveRequest &request, const std::optional<VeltoSaveResult> &result,
                               const std::optional<std::string> &errorDescription) {
    std::optional<std::string> failure = errorDescription;
    if (result.has_value() && !result->pagesNotSaved.empty()) {
        failure = VeltoPagesNotSavedError(result->pagesNotSaved).what();
    }
    const bool newFailure = failure.has_value() && failure != lastSaveErrorDescription_;
    lastSaveErrorDescription_ = failure;
    if (result.has_value()) {
        applySaveResult(request, *result); // a failed save leaves its changes pending for the next one
        keepChangesNotSaved(request, result->pagesNotSaved);
    }
    if (failure.has_value()) {
        retryFailedSaveLater();
    } else {
        failedSaveRetry_.reset();
    }
    if (newFailure) {
        emit saveFailed();
    }
    emit saveEnded();
}

// The pages a save left out keep their change marks, so that the next save writes them again; every other change of
// the request is on disk.
void VeltoStore::keepChangesNotSaved(const VeltoSaveRequest &request, const std::vector<VeltoPageNotSaved> &pages) {
    for (const VeltoPageNotSaved &page : pages) {
        auto changed = request.changedPageRevisions.find(page.pageID);
        std::uint64_t revision =
            changed != request.changedPageRevisions.end() ? changed->second : request.mutationRevision;
        mutations_.changedPageRevisions.try_emplace(page.pageID, revision);
        auto archiveOnly = request.archiveMetadataPageRevisions.find(page.pageID);
        if (archiveOnly != request.archiveMetadataPageRevisions.end()) {
            mutations_.archiveMetadataPageRevisions.try_emplace(page.pageID, archiveOnly->second);
        }
    }
}

// A save that failed for a cause that passes (a library another program holds for a while, a full device) is
// tried again by itself, so that the changes reach the disk once the cause is gone, also when nothing more is
// typed. One retry is pending at a time.
void VeltoStore::retryFailedSaveLater() {
    if (failedSaveRetry_) {
        return;
    }
    failedSaveRetry_ = scheduler_->schedule(failedSaveRetryDelay, [this] {
        failedSaveRetry_.reset();
        if (loadState_.isLoaded() && hasOutstandingSave()) {
            schedule();
        }
    });
}

// A folder change does not try a failed save again before its retry is due: the cause would fail it again, and the
// attempt changes the folder itself (the page file is swapped in and back), which reports a change again. Only a
// save that met another program's change is tried at once: the refresh is how that change is taken in.
void VeltoStore::throwSaveFailureAwaitingRetry() const {
    if (failedSaveRetry_ == nullptr) {
        return;
    }
    std::exception_ptr failure = saveScheduler_.failureOfLatestSave();
    if (failure == nullptr) {
        return;
    }
    try {
        std::rethrow_exception(failure);
    } catch (const VeltoPageLibrary::PageFileChangedDuringSaveError &) {
        return;
    }
}

void VeltoStore::applySaveResult(const VeltoSaveRequest &request, const VeltoSaveResult &result) {
    if (!result.pageIDReplacements.empty()) {
        // The last scheduled document takes the same identifiers: its revision stays as it is. The copy kept of
        // it has the old ones.
        document_ = document_.replacingPageIDs(result.pageIDReplacements);
        documentCopy_.reset();
        mutations_.changedPageRevisions = replacingKeys(mutations_.changedPageRevisions, result.pageIDReplacements);
        mutations_.archiveMetadataPageRevisions =
            replacingKeys(mutations_.archiveMetadataPageRevisions, result.pageIDReplacements);
        // Before the editor is asked for its text below: it must know its page by the new identifier.
        emit pageIdentifiersReplaced(result.pageIDReplacements);
    }
    for (const auto &[pageID, revision] : request.removedPageRevisions) {
        pageBaselines_.erase(pageID);
    }
    for (const auto &[oldID, newID] : result.pageIDReplacements) {
        pageBaselines_.erase(oldID);
    }
    for (const auto &[pageID, baseline] : result.persistedPageBaselines) {
        pageBaselines_.insert_or_assign(pageID, baseline); // shares the written text: no copy of the page
    }
    std::optional<VeltoPage> currentBeforeMerge;
    if (result.mergedPages.count(document_.currentPage.id) != 0) {
        askEditorForPendingText(); // what was typed meanwhile is merged with the save's text, never replaced
        currentBeforeMerge = document_.currentPage;
    }
    for (const auto &[pageID, mergedPage] : result.mergedPages) {
        foldMergedPage(request, pageID, mergedPage);
    }
    if (currentBeforeMerge.has_value()) {
        announceCurrentPageChange(*currentBeforeMerge);
    }
    bool keptArchivedCopy = false;
    for (const VeltoSaveConflict &conflict : result.conflicts) {
        if (findPage(document_, conflict.preservedPage.id) == nullptr) {
            document_.pages.push_back(conflict.preservedPage);
            documentDidChange();
            keptArchivedCopy = keptArchivedCopy || isArchivedPage(conflict.preservedPage);
        }
    }
    if (keptArchivedCopy) {
        emit archiveStateChanged();
    }
    for (const VeltoPageLeftUnread &left : result.pagesLeftUnread) {
        keepPageLeftUnread(left);
    }
    conflictNotice_.raise(result);
    mutations_.discardPersistedMutations(request.mutationRevision);
    loadState_ = VeltoStoreLoadState::loaded(); // a missing library exists from its first save on
    externalChanges_.resumeMonitoringIfLost(session_.folderURL());
    if (!result.conflicts.empty()) {
        emit conflictNoticeRaised();
    }
}

// The page stays in the library as a load holds it while its file cannot be read, and its file is listed among the
// unreadable ones as a load lists it: the notice of the recovered page names it, and no later load names it again.
void VeltoStore::keepPageLeftUnread(const VeltoPageLeftUnread &left) {
    if (findPage(document_, left.page.id) == nullptr) {
        document_.pages.push_back(left.page);
        pageBaselines_.insert_or_assign(left.page.id, VeltoPageBaseline::fromPage(left.page));
        documentDidChange();
    }
    auto byPath = [](const VeltoUnreadablePageFile &a, const VeltoUnreadablePageFile &b) {
        return a.relativePath < b.relativePath;
    };
    auto place = std::lower_bound(unreadableFiles_.begin(), unreadableFiles_.end(), left.file, byPath);
    if (place == unreadableFiles_.end() || place->relativePath != left.file.relativePath) {
        unreadableFiles_.insert(place, left.file);
    }
    unreadableFilesNamedByRecovery_.insert(left.file.relativePath);
}

void VeltoStore::foldMergedPage(const VeltoSaveRequest &request, const Uuid &pageID, const VeltoPage &mergedPage) {
    const VeltoPage *requested = findPage(request.document, pageID);
    VeltoPage *local = findPage(document_, pageID);
    if (requested == nullptr || local == nullptr) {
        return;
    }
    if (*local == *requested) {
        if (*local != mergedPage) {
            *local = mergedPage; // not edited since the request was built
            documentDidChange();
        }
        return;
    }
    std::optional<std::string> merged = VeltoThreeWayMerge::merge(
        requested->persistedFileContents(), local->persistedFileContents(), mergedPage.persistedFileContents());
    if (!merged.has_value()) {
        return; // the edits made since stay, pending for the next save
    }
    VeltoPageFileContent content = VeltoPageFileContent::parse(*merged);
    VeltoPage page = *local;
    page.updatedAt = VeltoThreeWayMerge::maxDate(local->updatedAt, mergedPage.updatedAt);
    page.archivedAt =
        content.isArchived() ? VeltoThreeWayMerge::maxDate(local->archivedAt, mergedPage.archivedAt) : std::nullopt;
    page.content = VeltoPageContent::loaded(std::move(content));
    *local = std::move(page);
    documentDidChange();
}

QCoro::Task<void> VeltoStore::flush() {
    if (loadState_.recoveryIssue() != nullptr) {
        co_return; // nothing is saved until the library is recovered
    }
    // A document as the library on disk holds it owes no save while the library's metadata is there; once that
    // is gone, the save writes the library anew from the document.
    if (saveScheduler_.holdsDocumentAsOnDisk() &&
        !fileManager_->isRegularFile(VeltoPageLibrary::manifestURL(session_.folderURL()))) {
        saveScheduler_.documentWasReloaded();
    }
    QCoro::Task<void> flushing = saveScheduler_.flush();
    co_await flushing;
}

} // namespace velto
