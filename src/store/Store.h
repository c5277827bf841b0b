#pragma once

#include "library/load/LoadResult.h"
#include "library/save/SaveRequest.h"
#include "library/save/SaveResult.h"
#include "model/ArchiveSnapshot.h"
#include "model/Document.h"
#include "model/MutationTracker.h"
#include "model/PageOperation.h"
#include "model/SaveConflictPresentation.h"
#include "model/StoreLoadState.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/desktop/Cancellation.h"
#include "platform/desktop/Scheduler.h"
#include "store/ArchivePolicy.h"
#include "store/ArchiveTransition.h"
#include "store/AutoArchivePeriod.h"
#include "store/ConflictNotice.h"
#include "store/ConflictResolution.h"
#include "store/DisplacedEdits.h"
#include "store/ExternalChanges.h"
#include "store/FolderConnectionSelection.h"
#include "store/LibrarySession.h"
#include "store/PendingTextSource.h"
#include "store/ProductionLibraryOperations.h"
#include "store/SaveCoordinator.h"
#include "store/SaveScheduler.h"
#include "store/StoreSignals.h"

#include <qcoro/qcorotask.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velto {

/// The model of the open page library, confined to the main thread. Every change of the library is a change
/// of `document`, recorded in the mutation tracker and saved as a whole-document request through the save
/// coordinator; changes that other writers make in the Pages folder come back through the folder monitor.
/// The page library is never called on the main thread: its operations are injected and awaited.
class VeltoStore : public VeltoStoreSignals {
public:
    using SaveOperation = VeltoSaveCoordinator::SaveOperation;
    using LoadOperation = std::function<QCoro::Task<VeltoLibraryLoadResult>(std::filesystem::path folderURL)>;
    using IncrementalLoadOperation = std::function<QCoro::Task<VeltoLibraryLoadResult>(
        std::filesystem::path folderURL, std::shared_ptr<const VeltoDocument> reusing,
        std::set<std::string> changedRelativePaths)>;
    using ArchivedPreviewLoadOperation = std::function<VeltoPage(
        const VeltoPage &page, const std::filesystem::path &folderURL, FileSystem &fileManager)>;
    using LibraryCopyOperation = std::function<QCoro::Task<VeltoDocument>(std::filesystem::path sourceURL,
                                                                          std::filesystem::path destinationURL)>;
    /// The page as its file holds it now (nothing when it has no file), read off the main thread.
    using LatestPageLoadOperation =
        std::function<QCoro::Task<std::optional<VeltoPage>>(VeltoPage page, std::filesystem::path folderURL)>;

    /// What the store is built with. Empty operations mean the production ones; tests put their own in.
    struct Environment {
        FileSystem *fileManager = nullptr;   // nullptr: the real file system, recording this process's changes
        const Clock *clock = nullptr;        // nullptr: the system clock
        VeltoScheduler *scheduler = nullptr; // nullptr: Qt timers
        SaveOperation saveOperation;
        LoadOperation loadOperation;
        IncrementalLoadOperation incrementalLoadOperation;
        ArchivedPreviewLoadOperation archivedPreviewLoadOperation;
        LatestPageLoadOperation latestPageLoadOperation;
        /// The period to start with. Given, the pages untouched past it are archived as the store is built;
        /// absent, the period is one week and nothing is archived before the first page cycle or menu.
        std::optional<VeltoAutoArchivePeriod> autoArchivePeriod;
        /// The monitor that has watched the folder since before the load read it: taken over in place of a new
        /// monitor, whose start would read the whole library again.
        std::shared_ptr<VeltoFolderWatchBeforeLoad> folderWatch;
    };

    /// How long a temporarily unavailable library waits before it is loaded again.
    static constexpr std::chrono::milliseconds unavailableRetryDelay = VeltoExternalChanges::unavailableRetryDelay;
    /// How long a failed save waits before it is tried again without a new edit.
    static constexpr std::chrono::milliseconds failedSaveRetryDelay{5'000};

    /// Loads the library of `fileURL` (the default Pages folder when none) off the main thread and builds the
    /// store on it; given a period, the pages untouched past it are archived as it is built. Never fails: a failed
    /// load becomes the load state.
    static QCoro::Task<std::unique_ptr<VeltoStore>> loadForApplication(
        std::optional<std::filesystem::path> fileURL, std::int64_t maximumPageCount, std::int64_t maximumPageBytes,
        std::optional<VeltoAutoArchivePeriod> autoArchivePeriod = std::nullopt, SaveOperation writeOperation = {});

    /// Builds the store from a finished load, as loadForApplication does.
    VeltoStore(std::filesystem::path folderURL, std::int64_t maximumPageCount, std::int64_t maximumPageBytes,
               Environment environment, const VeltoLibraryLoadResult &loadResult);
    ~VeltoStore() override;

    // The open library.
    const VeltoDocument &document() const { return document_; }
    const VeltoStoreLoadState &loadState() const { return loadState_; }
    const std::optional<std::string> &lastSaveErrorDescription() const { return lastSaveErrorDescription_; }
    /// The folder's Markdown files that the last load could not read; they are left as they are.
    const std::vector<VeltoUnreadablePageFile> &unreadableFiles() const { return unreadableFiles_; }
    /// Those of the unreadable files whose pages' texts were kept as recovered pages: the recovery's notice named
    /// them already.
    const std::set<std::string> &unreadableFilesNamedByRecovery() const { return unreadableFilesNamedByRecovery_; }
    /// For a page held without its text because its file cannot be read: the file's path relative to the Pages
    /// folder, and why it cannot be read (empty when the load gave no reason). Nothing for any other page.
    std::optional<VeltoUnreadablePageFile> unreadableFileOf(const VeltoPage &page) const;
    /// For a recovered page: the file that could not be read or changed while the user typed into its page, as long
    /// as that page is held without its text because the file still cannot be read. Nothing for any other page, nor
    /// when two such pages could be the one.
    std::optional<VeltoUnreadablePageFile> unreadableFileRecoveredAs(const VeltoPage &recovered) const;
    const std::optional<VeltoSaveConflictPresentation> &lastSaveConflictPresentation() const {
        return conflictNotice_.presentation();
    }
    /// Whether the notice's copies hold this process's own text, kept apart by another writer's save.
    bool conflictNoticeHoldsOwnEdits() const {
        return conflictNotice_.presentation().has_value() &&
               conflictNotice_.kind() == VeltoConflictNotice::Kind::ownEdits;
    }
    const std::filesystem::path &folderURL() const { return session_.folderURL(); }
    std::int64_t maximumPageCount() const { return archivePolicy_.maximumPageCount(); }
    std::int64_t maximumPageBytes() const { return archivePolicy_.maximumPageBytes(); }
    /// The file of the current page; nothing while the page has no text or holds only a summary.
    std::optional<std::filesystem::path> currentPageFileURL() const;

    // Save bookkeeping, read by the shell and by tests.
    std::uint64_t librarySessionRevision() const { return session_.revision(); }
    std::uint64_t nextGeneration() const { return saveScheduler_.nextGeneration(); }
    std::optional<std::uint64_t> latestScheduledGeneration() const {
        return saveScheduler_.latestScheduledGeneration();
    }
    std::uint64_t latestCompletedGeneration() const { return saveScheduler_.latestCompletedGeneration(); }
    std::optional<std::uint64_t> latestFailedGeneration() const { return saveScheduler_.latestFailedGeneration(); }
    const std::map<Uuid, VeltoPageBaseline> &pageBaselines() const { return pageBaselines_; }
    const VeltoMutationTracker &mutations() const { return mutations_; }
    /// Whether the page holds a change that is not on disk yet: a save of it is still to come, waits for the
    /// library's lock, or failed.
    bool hasUnsavedChanges(const Uuid &pageID) const;
    bool isMonitoringFolder() const { return externalChanges_.isMonitoring(); }
    bool isRefreshingFromDisk() const { return externalChanges_.isRefreshing(); }

    /// The editor holding typed text that it has not handed over yet: asked for it before text from elsewhere
    /// replaces the current page's. One source at a time; registering another replaces it.
    void registerPendingTextSource(VeltoPendingTextSource &source) { pendingTextSource_ = &source; }
    /// Forgets the source, when it is the one registered.
    void unregisterPendingTextSource(const VeltoPendingTextSource &source) {
        if (pendingTextSource_ == &source) {
            pendingTextSource_ = nullptr;
        }
    }

    /// How the current page changed, in currentPageChangedOutsideEditor (declared in VeltoStoreSignals).
    using CurrentPageChange = VeltoCurrentPageChange;

    /// The editor's entry point: the current page's new text, edited at `now`.
    void setText(std::string text, Date now);
    /// The same as setText of the current page's text with its bytes [location, location + length) replaced
    /// by `replacement` (both clamped to the text), changed in place: an editor that knows what differs hands
    /// over a typed word, not a page of megabytes.
    void replaceText(std::size_t location, std::size_t length, std::string_view replacement, Date now);

    /// Returns once everything the store holds is durable; throws the error of the save that should have
    /// made it so. Returns at once while the library needs recovery (nothing is saved then).
    QCoro::Task<void> flush();

    /// Asks for a reload of the given changed paths (relative to the Pages folder), or of the whole library.
    /// One refresh runs at a time; what arrives meanwhile is loaded by its next pass.
    void requestExternalRefresh(const std::optional<std::set<std::string>> &changedRelativePaths) {
        externalChanges_.request(changedRelativePaths);
    }

    /// Saves what is pending, then loads the changed paths (or everything) and takes the result, unless the
    /// library session changed meanwhile. Edits made while the load ran make it flush and load again.
    QCoro::Task<void> reloadFromDisk(bool applyAutoArchive, std::optional<std::set<std::string>> changedRelativePaths);

    /// Reads the given pages' files as they are now, off the main thread, and takes them into the document;
    /// returns the identifiers that were read (or found without a file). A page with unsaved edits keeps
    /// them: the file's change is merged in, or left to the next save when the two conflict.
    QCoro::Task<std::set<Uuid>> refreshPagesFromDisk(std::set<Uuid> pageIDs);

    /// Reads the previews of the given archived pages off the main thread and takes each into the document,
    /// unless the page changed meanwhile; answers the pages taken. Nothing when the library session changed.
    QCoro::Task<std::map<Uuid, VeltoPage>> loadArchivedPreviews(std::vector<Uuid> pageIDs);

    // Page operations: each changes the document and saves it; refusals change nothing.
    std::optional<VeltoPageOperation> createNewPage(Date now);
    std::optional<VeltoPageOperation> selectPageOperation(const Uuid &pageID);
    std::optional<VeltoArchiveTransition> archiveCurrentPage(Date now);
    /// Reads the page's latest file first, so that what other writers saved while it was archived comes back.
    QCoro::Task<bool> restoreArchivedPage(Uuid pageID, Date now);
    QCoro::Task<int> archiveOtherPages(Date now);
    int deleteConfirmedArchivedPages(const std::set<Uuid> &pageIDs);
    QCoro::Task<int> deleteConfirmedArchivedPagesAfterReload(std::set<Uuid> pageIDs);

    // Archive policy.
    const VeltoAutoArchivePeriod &autoArchivePeriod() const { return archivePolicy_.period(); }
    void setAutoArchivePeriod(VeltoAutoArchivePeriod period) { archivePolicy_.setPeriod(period); }
    /// Archives the active other pages unedited for at least the period; answers how many.
    QCoro::Task<int> autoArchiveEligiblePages(Date now);
    std::vector<VeltoPage> otherActivePagesWithinAutoArchiveWindow(Date now, VeltoAutoArchivePeriod period) const {
        return velto::otherActivePagesWithinAutoArchiveWindow(document_, now, period);
    }
    VeltoArchiveSnapshot archiveSnapshot() const { return velto::archiveSnapshot(document_); }
    bool canApplyArchive(const VeltoArchiveTransition &transition, bool undo,
                         const std::string &liveCurrentText) const {
        return velto::canApplyArchive(document_, transition, undo, liveCurrentText);
    }
    bool matchesArchiveTimelineState(const VeltoDocument &expected, const VeltoArchiveTransition &transition) const {
        return velto::matchesArchiveTimelineState(document_, expected, transition);
    }
    QCoro::Task<bool> applyArchiveTransition(VeltoDocument target);
    bool apply(const VeltoPageOperation &operation, VeltoPageOperationDirection direction);

    // Conflict copies.
    QCoro::Task<VeltoConflictResolutionOutcome> resolveConflict(Uuid copyPageID, VeltoConflictResolution resolution,
                                                                Date now);

    // Library sessions.
    /// Moves the open library to the chosen folder; throws the error of the step that failed.
    QCoro::Task<void> applyFolderConnection(VeltoFolderConnectionSelection selection);
    /// Writes the library anew after a damaged load; answers where the damaged manifest was kept.
    QCoro::Task<std::optional<std::filesystem::path>> recoverPreservingOriginal();

private:
    struct InitialState {
        VeltoDocument document;
        VeltoStoreLoadState loadState;
        std::optional<VeltoLibraryStructureRepair> structureRepair;
    };
    static InitialState initialState(const VeltoLibraryLoadResult &loadResult, Date now);
    static VeltoDocument freshDocument(Date now);
    /// A new page without text: it gets a file only once something is typed into it.
    static VeltoPage newEmptyPage(Date now);
    /// `fileTextChecksums`: what the load computed of the texts it read, by page.
    static std::map<Uuid, VeltoPageBaseline>
    pageBaselines(const VeltoDocument &document,
                  const std::map<Uuid, std::optional<std::string>> &fileTextChecksums = {});
    /// The baselines of a reloaded document: those the store holds for the pages it kept as they were.
    std::map<Uuid, VeltoPageBaseline>
    reloadedBaselines(const VeltoDocument &loaded, const std::map<Uuid, std::optional<std::string>> &fileTextChecksums,
                      std::map<Uuid, VeltoPageBaseline> known) const;

    Date now() const { return clock_->now(); }

    void recordMutations(const VeltoDocument &before, const VeltoDocument &after,
                         const std::set<Uuid> &archiveMetadataOnlyPageIDs);
    /// Called after every change of `document_`, recorded or not, before anything else can run.
    void documentDidChange() { saveScheduler_.documentDidChange(); }
    /// Whether an edit of the current page may change its body: an unchanged text retries a failed save
    /// instead, and a page held only as a summary refuses the edit, and says so.
    bool acceptsTextEdit(bool isUnchanged);
    /// Marks the current page's body as edited at `now` and schedules the save.
    void currentPageTextDidChange(Date now);
    std::uint64_t schedule() { return saveScheduler_.schedule(); }
    VeltoSaveRequest saveRequest(std::uint64_t generation);
    /// The document as it is now, for a load to reuse: the copy the last load made, while nothing changed since.
    std::shared_ptr<const VeltoDocument> documentToReuse() const;
    /// Keeps a copy of the document as it is now, made off the main thread; the next save after an edit frees it.
    void keepDocumentCopy(std::shared_ptr<const VeltoDocument> copy);
    void didFinishSave(const VeltoSaveRequest &request, const std::optional<VeltoSaveResult> &result,
                       const std::optional<std::string> &errorDescription);
    void keepChangesNotSaved(const VeltoSaveRequest &request, const std::vector<VeltoPageNotSaved> &pages);
    void applySaveResult(const VeltoSaveRequest &request, const VeltoSaveResult &result);
    void foldMergedPage(const VeltoSaveRequest &request, const Uuid &pageID, const VeltoPage &mergedPage);
    void keepPageLeftUnread(const VeltoPageLeftUnread &left);

    /// Takes a reloaded library into the document, keeping what could not be saved before the load. `reloadedPaths`
    /// are the changed paths an incremental load looked at; nothing for a load of the whole folder.
    void applyReload(VeltoLibraryLoadResult result,
                     const std::optional<std::set<std::string>> &reloadedPaths = std::nullopt);
    /// Remembers the held texts that the reloaded document replaces, and answers the conflict copies it brings
    /// that hold such a text: this process's edits, kept apart by another writer's save.
    std::vector<Uuid> noteDisplacedEdits(const VeltoDocument &reloaded);
    void noteRefreshFailure(const std::exception_ptr &error);
    void retryFailedSaveLater();
    void throwSaveFailureAwaitingRetry() const;
    /// Whether a save is still owed: a scheduled save not yet finished, a change not yet scheduled, or
    /// pending changes whose last save failed. Never true while recovery is required (nothing is saved then).
    bool hasOutstandingSave() const;
    /// Asks the registered editor for the text it has not handed over yet.
    void askEditorForPendingText();
    /// Tells the editor when the current page is not `previous` any more, or holds another text.
    void announceCurrentPageChange(const VeltoPage &previous);
    /// A reload that brings the current page's text back as it was keeps the body the store held instead of the
    /// equal one read from the file: the editor knows the held body as the one it last handed its text to (by
    /// its version), and so hands over only what it edits next instead of comparing the whole page again.
    static void keepHeldBodyWhenUnchanged(const VeltoPage &held, VeltoPage &reloaded);
    std::uint64_t pageSaveCount(const Uuid &pageID) const { return saveScheduler_.pageSaveCount(pageID); }
    void replaceDocument(VeltoDocument document);
    bool takeLatestPage(const Uuid &pageID, const std::optional<VeltoPage> &latest);

    // Pages and the state of the library.
    VeltoDocument document_;
    VeltoStoreLoadState loadState_;
    std::optional<std::string> lastSaveErrorDescription_;
    std::vector<VeltoUnreadablePageFile> unreadableFiles_;
    std::set<std::string> unreadableFilesNamedByRecovery_;
    std::unique_ptr<VeltoScheduledAction> failedSaveRetry_;
    VeltoConflictNotice conflictNotice_;
    VeltoDisplacedEdits displacedEdits_;
    VeltoPendingTextSource *pendingTextSource_ = nullptr;
    VeltoLibrarySession session_;
    FileSystem *fileManager_;
    const Clock *clock_;
    VeltoScheduler *scheduler_;
    const LoadOperation loadOperation_;
    const IncrementalLoadOperation incrementalLoadOperation_;
    const ArchivedPreviewLoadOperation archivedPreviewLoadOperation_;
    const LatestPageLoadOperation latestPageLoadOperation_;

    // Saves.
    std::map<Uuid, VeltoPageBaseline> pageBaselines_;
    /// A copy of the document made off the main thread, the same as the document while the document's revision is
    /// the one noted; and one more for the save that a load's repair asks for, taken by that save's request.
    std::shared_ptr<const VeltoDocument> documentCopy_;
    std::uint64_t documentCopyRevision_ = 0;
    std::optional<VeltoDocument> documentCopyToSave_;
    VeltoMutationTracker mutations_;
    VeltoSaveScheduler saveScheduler_;

    // Changes made by other writers.
    VeltoExternalChanges externalChanges_;

    std::set<Uuid> archivePagesBeyondActiveLimits(Date now);
    /// Reads the eligible active other pages from disk again, then archives those still eligible; answers how
    /// many. Nothing is archived when the library session changed meanwhile.
    QCoro::Task<int> archivedRefreshedPageCount(std::function<bool(const VeltoPage &)> isEligible, Date now);
    void persistActiveLimitArchivalIfNeeded();
    void commitDocumentChange(const VeltoDocument &before, const std::set<Uuid> &archiveMetadataOnlyPageIDs);
    /// After a copy of the library opened: pages edited while the copy ran keep their edits, and the active
    /// limits apply to the copy. Answers whether that changed the copy (which is then saved).
    bool takeEditsIntoCopy(const VeltoDocument &copiedState, const VeltoDocument &typedDuringCopy);
    void carryEditsIntoCopy(const VeltoDocument &copiedState, const VeltoDocument &edited);
    /// The library was written anew from `recovered`: it is open, and edits made meanwhile are saved.
    void finishRecovery(const VeltoDocument &recovered);
    void activateLibrarySession(const std::filesystem::path &folderURL, VeltoDocument document,
                                VeltoStoreLoadState loadState,
                                const std::optional<VeltoLibraryStructureRepair> &structureRepair);
    void beginLibrarySession(const std::filesystem::path &folderURL);

    VeltoArchivePolicy archivePolicy_;

    // The store's rooms: they read its state and change it only through its methods.
    friend class VeltoExternalChanges;
    friend class VeltoLibrarySession;
};

} // namespace velto
