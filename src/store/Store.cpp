#include "store/Store.h"

#include "library/copy/FolderConnectionAssessment.h"
#include "library/folder/PageFileNaming.h"
#include "model/LibraryPageRecord.h"
#include "model/PageArchiveState.h"
#include "model/PageIndex.h"
#include "model/PageSlug.h"
#include "model/ReloadError.h"
#include "model/ThreeWayMerge.h"
#include "store/LibraryPool.h"
#include "store/OwnFileChanges.h"
#include "store/PendingEdits.h"

#include <algorithm>
#include <utility>
#include <variant>

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

bool namesUnreadableFile(const std::vector<VeltoUnreadablePageFile> &files, const std::string &relativePath) {
    return std::any_of(files.begin(), files.end(),
                       [&](const VeltoUnreadablePageFile &file) { return file.relativePath == relativePath; });
}

bool isFileOfAPage(const VeltoDocument &document, const std::string &relativePath) {
    if (VeltoPageLibrary::pageFileName(VeltoPageLibrary::namingRecord(document.currentPage)) == relativePath) {
        return true;
    }
    for (const VeltoPage &page : document.pages) {
        if (VeltoPageLibrary::pageFileName(VeltoPageLibrary::namingRecord(page)) == relativePath) {
            return true;
        }
    }
    return false;
}

/// The files a reload lists, and those listed before that it had no occasion to look at. An incremental load reads
/// the changed paths and the files of the pages only: a file listed before that is no page's and did not change,
/// such as another program's file that is not UTF-8 text, can't be read as before.
std::vector<VeltoUnreadablePageFile>
unreadableFilesAfterReload(const std::vector<VeltoUnreadablePageFile> &listedBefore,
                           std::vector<VeltoUnreadablePageFile> listedByTheLoad, const VeltoDocument &reloaded,
                           const std::optional<std::set<std::string>> &reloadedPaths) {
    if (!reloadedPaths.has_value()) {
        return listedByTheLoad; // the whole folder was looked at
    }
    std::vector<VeltoUnreadablePageFile> files = listedByTheLoad;
    for (const VeltoUnreadablePageFile &file : listedBefore) {
        if (!reloadedPaths->contains(file.relativePath) && !namesUnreadableFile(listedByTheLoad, file.relativePath) &&
            !isFileOfAPage(reloaded, file.relativePath)) {
            files.push_back(file);
        }
    }
    std::sort(files.begin(), files.end(), [](const VeltoUnreadablePageFile &a, const VeltoUnreadablePageFile &b) {
        return a.relativePath < b.relativePath;
    });
    return files;
}

/// The files, but for those of the given pages: the notice of their recovered pages names them.
std::vector<VeltoUnreadablePageFile> withoutFilesOf(const std::map<Uuid, std::string> &pageFiles,
                                                    const std::vector<VeltoUnreadablePageFile> &files) {
    std::set<std::string> named;
    for (const auto &[pageID, path] : pageFiles) {
        named.insert(path);
    }
    std::vector<VeltoUnreadablePageFile> others;
    for (const VeltoUnreadablePageFile &file : files) {
        if (!named.contains(file.relativePath)) {
            others.push_back(file);
        }
    }
    return others;
}

/// The pages with a held edit whose files the load found unreadable, with their files' paths.
std::map<Uuid, std::string> heldEditsOfUnreadableFiles(const VeltoDocument &held, const VeltoMutationTracker &mutations,
                                                       const std::vector<VeltoUnreadablePageFile> &unreadableFiles) {
    std::map<Uuid, std::string> pages = pagesHoldingTextOfUnreadableFiles(held, unreadableFiles);
    std::erase_if(pages, [&](const auto &page) { return !hasPendingChange(mutations, page.first); });
    return pages;
}

/// One archived page's preview as the reading thread found it: the page, or the error's description.
using ArchivedPreviewLoadResult = std::variant<VeltoPage, std::string>;

/// Whether the load took the held page's text over instead of reading its file: the very text object of an
/// earlier read, or, without one, an equal text.
bool holdsTheSameText(const VeltoPage &held, const VeltoPage &loaded) {
    const VeltoPageFileContent *content = loaded.content.asLoaded();
    const std::shared_ptr<const std::string> read = content != nullptr ? content->unchangedFileText() : nullptr;
    if (read == nullptr) {
        return held.content == loaded.content;
    }
    const VeltoPageFileContent *heldContent = held.content.asLoaded();
    return heldContent != nullptr && heldContent->unchangedFileText() == read;
}

} // namespace

QCoro::Task<std::unique_ptr<VeltoStore>>
VeltoStore::loadForApplication(std::optional<std::filesystem::path> fileURL, std::int64_t maximumPageCount,
                               std::int64_t maximumPageBytes, std::optional<VeltoAutoArchivePeriod> autoArchivePeriod,
                               SaveOperation writeOperation) {
    std::filesystem::path folderURL = fileURL.has_value() ? *fileURL : VeltoPageLibrary::defaultFolderURL();
    Environment environment;
    // Watching begins before the load reads the folder, so that what another program changes meanwhile is
    // reported, and no full rescan after the load has to read the library a second time.
    environment.folderWatch = VeltoFolderWatchBeforeLoad::begin(folderURL);
    QCoro::Task<VeltoLibraryLoadResult> loading = productionLoadOperation(folderURL); // not inside co_await: GCC 12
    VeltoLibraryLoadResult loadResult = co_await loading;
    environment.saveOperation = std::move(writeOperation);
    environment.autoArchivePeriod = autoArchivePeriod;
    co_return std::make_unique<VeltoStore>(folderURL, maximumPageCount, maximumPageBytes, std::move(environment),
                                           loadResult);
}

VeltoStore::VeltoStore(std::filesystem::path folderURL, std::int64_t maximumPageCount, std::int64_t maximumPageBytes,
                       Environment environment, const VeltoLibraryLoadResult &loadResult)
    : session_(*this, std::move(folderURL))
    , fileManager_(environment.fileManager != nullptr ? environment.fileManager : &ownChangeRecordingFileSystem())
    , clock_(environment.clock != nullptr ? environment.clock : &systemClock())
    , scheduler_(environment.scheduler != nullptr ? environment.scheduler : &qtScheduler())
    , loadOperation_(environment.loadOperation ? std::move(environment.loadOperation) : productionLoadOperation)
    , incrementalLoadOperation_(environment.incrementalLoadOperation ? std::move(environment.incrementalLoadOperation)
                                                                     : productionIncrementalLoadOperation)
    , archivedPreviewLoadOperation_(environment.archivedPreviewLoadOperation
                                        ? std::move(environment.archivedPreviewLoadOperation)
                                        : productionArchivedPreviewLoadOperation)
    , latestPageLoadOperation_(environment.latestPageLoadOperation ? std::move(environment.latestPageLoadOperation)
                                                                   : productionLatestPageLoadOperation)
    , saveScheduler_(
          session_.folderURL(),
          environment.saveOperation ? std::move(environment.saveOperation) : productionSaveOperation,
          [this](std::uint64_t generation) { return saveRequest(generation); },
          [this](const VeltoSaveRequest &request, const std::optional<VeltoSaveResult> &result,
                 const std::optional<std::string> &errorDescription) {
              didFinishSave(request, result, errorDescription);
          })
    , externalChanges_(*this, *scheduler_)
    , archivePolicy_(maximumPageCount, maximumPageBytes) {
    InitialState initial = initialState(loadResult, now());
    document_ = std::move(initial.document);
    loadState_ = std::move(initial.loadState);
    if (const auto *loaded = loadResult.asLoaded()) {
        keepDocumentCopy(loaded->sharedCopy);
    }
    if (const auto *loaded = loadResult.asLoaded()) {
        pageBaselines_ = pageBaselines(document_, loaded->fileTextChecksums);
        unreadableFiles_ = loaded->unreadableFiles;
    } else {
        pageBaselines_ = pageBaselines(document_);
    }
    if (const auto *missing = loadResult.asMissing()) {
        // A folder whose only Markdown files cannot be read starts an empty library; those files are named as
        // they would be beside readable pages.
        unreadableFiles_ = missing->unreadableFiles;
    }
    mutations_.reset(initial.structureRepair, false);
    if (loadResult.asLoaded() != nullptr && !initial.structureRepair.has_value()) {
        saveScheduler_.documentWasReloadedAsOnDisk();
    }
    if (environment.autoArchivePeriod.has_value()) {
        archivePolicy_.setPeriod(*environment.autoArchivePeriod);
        // Pages left untouched past the period are archived as the library opens, not only at the first page
        // cycle or menu. The task runs on by itself (it rereads the pages' files first) and holds the store weakly.
        QCoro::Task<int> archiving = autoArchiveEligiblePages(now());
    }
    if (initial.structureRepair.has_value() && loadState_.isLoaded()) {
        schedule(); // writes the load's repair back
    }
    persistActiveLimitArchivalIfNeeded();
    if (environment.folderWatch != nullptr && environment.folderWatch->folderURL() == session_.folderURL()) {
        externalChanges_.takeOverMonitoring(*environment.folderWatch);
    } else {
        externalChanges_.startMonitoring(session_.folderURL());
    }
    const VeltoStoreRecoveryIssue *issue = loadState_.recoveryIssue();
    if (issue != nullptr && issue->kind == VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable) {
        requestExternalRefresh(std::nullopt); // retries until the page files have arrived
    }
}

VeltoStore::~VeltoStore() = default;

VeltoStore::InitialState VeltoStore::initialState(const VeltoLibraryLoadResult &loadResult, Date now) {
    if (const auto *loaded = loadResult.asLoaded()) {
        return {loaded->document, VeltoStoreLoadState::loaded(), loaded->structureRepair};
    }
    if (const VeltoStoreRecoveryIssue *issue = loadResult.failureIssue()) {
        return {freshDocument(now), VeltoStoreLoadState::recoveryRequired(*issue), std::nullopt};
    }
    return {freshDocument(now), VeltoStoreLoadState::missing(), std::nullopt};
}

VeltoDocument VeltoStore::freshDocument(Date now) {
    VeltoDocument document;
    document.currentPage = newEmptyPage(now);
    return document;
}

VeltoPage VeltoStore::newEmptyPage(Date now) {
    VeltoPage page;
    page.id = Uuid::random();
    page.createdAt = now;
    page.fileSlug = VeltoPageSlug::make();
    page.content = VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, "", "\n"});
    return page;
}

std::map<Uuid, VeltoPageBaseline>
VeltoStore::pageBaselines(const VeltoDocument &document,
                          const std::map<Uuid, std::optional<std::string>> &fileTextChecksums) {
    std::map<Uuid, VeltoPageBaseline> baselines;
    baselines.emplace(document.currentPage.id, VeltoPageBaseline::fromPage(document.currentPage, fileTextChecksums));
    for (const VeltoPage &page : document.pages) {
        baselines.emplace(page.id, VeltoPageBaseline::fromPage(page, fileTextChecksums));
    }
    return baselines;
}

// A page read from its file gives its baseline from the text read. A page that the load took over as held,
// without reading its file again, keeps what the store knows its file holds: the held text may carry another
// identifier than the file (a conflict copy holds its original's, which the file names by the copy's own; a page
// read without one still holds that text when a save has added the identifier to its file), and a baseline made
// from the held text would then take this store's own file for another writer's change, and keep it as a copy
// when the page is archived, or as a copy of the copy when it is removed. Only the text and the file's name tell a
// page taken over: a text read earlier is the very text object the held page has, not a new read; the load gives
// it the dates of its record, which keeps whole seconds where the held page has the time of its edit. The known
// baselines are updated where they stand: a refresh after one changed file replaces one baseline, not every page's.
std::map<Uuid, VeltoPageBaseline>
VeltoStore::reloadedBaselines(const VeltoDocument &loaded,
                              const std::map<Uuid, std::optional<std::string>> &fileTextChecksums,
                              std::map<Uuid, VeltoPageBaseline> known) const {
    VeltoPageCounterparts heldPages(document_);
    auto update = [&](const VeltoPage &page, std::optional<std::size_t> position) {
        const VeltoPage *held = heldPages.find(page.id, position);
        const bool isTakenOver =
            held != nullptr && held->relativeFilePath == page.relativeFilePath && holdsTheSameText(*held, page);
        if (!isTakenOver || !known.contains(page.id)) {
            known.insert_or_assign(page.id, VeltoPageBaseline::fromPage(page, fileTextChecksums));
        }
    };
    update(loaded.currentPage, std::nullopt);
    for (std::size_t position = 0; position < loaded.pages.size(); ++position) {
        update(loaded.pages[position], position);
    }
    // Every loaded page has its baseline now; more baselines than pages means pages the load no longer has.
    if (known.size() != loaded.pages.size() + 1) {
        const VeltoPageIndex loadedPages(loaded);
        std::erase_if(known, [&](const auto &entry) { return loadedPages.find(entry.first) == nullptr; });
    }
    return known;
}

void VeltoStore::keepDocumentCopy(std::shared_ptr<const VeltoDocument> copy) {
    freeOnLibraryPool(std::exchange(documentCopy_, std::move(copy)));
    documentCopyRevision_ = saveScheduler_.documentRevision();
}

std::shared_ptr<const VeltoDocument> VeltoStore::documentToReuse() const {
    if (documentCopy_ != nullptr && documentCopyRevision_ == saveScheduler_.documentRevision()) {
        return documentCopy_;
    }
    return std::make_shared<const VeltoDocument>(document_);
}

// The library session and the changes of other writers are rooms of their own; the store answers for them.

QCoro::Task<void> VeltoStore::reloadFromDisk(bool applyAutoArchive,
                                             std::optional<std::set<std::string>> changedRelativePaths) {
    return externalChanges_.reload(applyAutoArchive, std::move(changedRelativePaths));
}

QCoro::Task<std::set<Uuid>> VeltoStore::refreshPagesFromDisk(std::set<Uuid> pageIDs) {
    return externalChanges_.refreshPages(std::move(pageIDs));
}

QCoro::Task<void> VeltoStore::applyFolderConnection(VeltoFolderConnectionSelection selection) {
    return session_.applyFolderConnection(std::move(selection));
}

QCoro::Task<std::optional<std::filesystem::path>> VeltoStore::recoverPreservingOriginal() {
    return session_.recoverPreservingOriginal();
}

std::optional<std::filesystem::path> VeltoStore::currentPageFileURL() const {
    const VeltoPage &page = document_.currentPage;
    const VeltoPageFileContent *content = page.content.asLoaded();
    if (content == nullptr || content->fileContents().empty()) {
        return std::nullopt;
    }
    return session_.folderURL() / VeltoPageLibrary::pageFileName(VeltoPageLibrary::namingRecord(page));
}

std::optional<VeltoUnreadablePageFile> VeltoStore::unreadableFileOf(const VeltoPage &page) const {
    if (page.content.asUnavailable() == nullptr) {
        return std::nullopt;
    }
    VeltoUnreadablePageFile file{VeltoPageLibrary::pageFileName(VeltoPageLibrary::namingRecord(page)), {}};
    for (const VeltoUnreadablePageFile &unreadable : unreadableFiles_) {
        if (unreadable.relativePath == file.relativePath) {
            file.reason = unreadable.reason;
        }
    }
    return file;
}

// A recovered page takes the creation date of the page whose typed text it keeps, and that page stays recorded at its
// file while the file cannot be read: so the file is found again after a relaunch, without a record of its own. The
// dates are compared as stored, in whole seconds: a page made since the launch holds its date here with a fraction of
// a second, which its recovered page takes over, while the page held at the unreadable file comes from its record.
std::optional<VeltoUnreadablePageFile> VeltoStore::unreadableFileRecoveredAs(const VeltoPage &recovered) const {
    if (recovered.fileSlug != "recovered-page") {
        return std::nullopt;
    }
    const Date createdAt = wholeSeconds(recovered.createdAt);
    std::optional<VeltoUnreadablePageFile> found;
    int candidates = 0;
    for (const VeltoPage &page : document_.pages) {
        if (page.id == recovered.id || wholeSeconds(page.createdAt) != createdAt) {
            continue;
        }
        if (std::optional<VeltoUnreadablePageFile> file = unreadableFileOf(page)) {
            found = std::move(file);
            ++candidates;
        }
    }
    // Two pages made in the same second whose files both cannot be read: naming either could be wrong.
    return candidates == 1 ? found : std::nullopt;
}

bool VeltoStore::hasUnsavedChanges(const Uuid &pageID) const {
    return hasPendingChange(mutations_, pageID);
}

bool VeltoStore::hasOutstandingSave() const {
    return loadState_.recoveryIssue() == nullptr && saveScheduler_.hasOutstandingSave(hasPendingMutations(mutations_));
}

void VeltoStore::askEditorForPendingText() {
    if (pendingTextSource_ != nullptr) {
        pendingTextSource_->handOverPendingText();
    }
}

void VeltoStore::announceCurrentPageChange(const VeltoPage &previous) {
    const VeltoPage &current = document_.currentPage;
    if (current.id != previous.id) {
        emit currentPageChangedOutsideEditor(current.id, CurrentPageChange::page);
    } else if (current.visibleTextView() != previous.visibleTextView()) {
        emit currentPageChangedOutsideEditor(current.id, CurrentPageChange::text);
    }
}

// A reload that waits for something to pass (a page file another program is replacing, a busy library, a full
// device) loses nothing of an open library while nothing is unsaved: it is retried, and no warning is shown.
void VeltoStore::noteRefreshFailure(const std::exception_ptr &error) {
    if (VeltoExternalChanges::isTemporaryUnavailability(error) && loadState_.isLoaded() &&
        !hasPendingMutations(mutations_)) {
        return;
    }
    lastSaveErrorDescription_ = errorDescription(error);
}

void VeltoStore::applyReload(VeltoLibraryLoadResult result, const std::optional<std::set<std::string>> &reloadedPaths) {
    if (const VeltoStoreRecoveryIssue *issue = result.failureIssue()) {
        if (issue->kind == VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable) {
            throw VeltoReloadError::temporarilyUnavailable(issue->message);
        }
        throw VeltoReloadError::unreadable(issue->message);
    }
    VeltoLibraryLoadResult::Loaded *loaded = result.asLoaded();
    if (loaded == nullptr) {
        throw VeltoReloadError::libraryMissing();
    }
    const VeltoPage previousCurrentPage = document_.currentPage;
    const bool wasOpen = loadState_.isLoaded();
    // An edit held of a page whose file can no longer be read is kept as pending, whatever the load made of the
    // page, and saved below: the save keeps it as a recovered page, whose notice names the file. A page without one
    // holds nothing the file did not: the file is only named, and is the page again once it can be read.
    const std::map<Uuid, std::string> textsOfUnreadableFiles =
        heldEditsOfUnreadableFiles(document_, mutations_, loaded->unreadableFiles);
    for (const auto &[pageID, path] : textsOfUnreadableFiles) {
        mutations_.recordPageChange(pageID);
        unreadableFilesNamedByRecovery_.insert(path);
    }
    // Without a pending page change the reloaded document is the loaded one, which nothing reads afterwards:
    // it is moved, not copied, a whole library at every refresh; so are the held baselines, which the loaded
    // ones replace.
    const bool mayKeepPendingChanges = !mutations_.changedPageRevisions.empty();
    std::map<Uuid, VeltoPageBaseline> loadedBaselines =
        reloadedBaselines(loaded->document, loaded->fileTextChecksums,
                          mayKeepPendingChanges ? pageBaselines_ : std::move(pageBaselines_));
    VeltoDocument loadedDocument =
        mayKeepPendingChanges ? VeltoDocument(loaded->document) : std::move(loaded->document);
    // What could not be saved before the load (edits held while the library needed recovery) stays, merged
    // into what was loaded; everything else was saved by the flush before the load.
    VeltoReloadedDocument reloaded = keepingPendingChanges(document_, mutations_, pageBaselines_,
                                                           std::move(loadedDocument), std::move(loadedBaselines));
    const bool keepsHeldTexts = reloaded.keptPendingChanges || !textsOfUnreadableFiles.empty();
    keepHeldBodyWhenUnchanged(previousCurrentPage, reloaded.document.currentPage);
    const std::vector<Uuid> copiesOfOwnEdits = noteDisplacedEdits(reloaded.document);
    replaceDocument(std::move(reloaded.document));
    pageBaselines_ = std::move(reloaded.baselines);
    keepDocumentCopy(keepsHeldTexts ? nullptr : std::move(loaded->sharedCopy));
    if (keepsHeldTexts || loaded->structureRepair.has_value()) {
        saveScheduler_.documentWasReloaded(); // saved below
    } else {
        saveScheduler_.documentWasReloadedAsOnDisk();
    }
    loadState_ = VeltoStoreLoadState::loaded();
    bool metNewUnreadableFiles =
        listsFileNotIn(withoutFilesOf(textsOfUnreadableFiles, loaded->unreadableFiles), unreadableFiles_);
    unreadableFiles_ = unreadableFilesAfterReload(unreadableFiles_, loaded->unreadableFiles, document_, reloadedPaths);
    lastSaveErrorDescription_.reset();
    conflictNotice_.keepHeldCopies(document_);
    conflictNotice_.withdrawOnceFilesServeAgain([this](const std::string &relativePath) {
        return namesUnreadableFile(unreadableFiles_, relativePath) ||
               fileManager_->refusesWriting(session_.folderURL() / relativePath);
    });
    conflictNotice_.raiseForOwnEdits(copiesOfOwnEdits);
    mutations_.reset(loaded->structureRepair, true);
    if (keepsHeldTexts) {
        mutations_.record(loaded->document, document_); // copied above, as pending changes were kept
    }
    for (const auto &[pageID, path] : textsOfUnreadableFiles) {
        mutations_.recordPageChange(pageID); // also where the load took the held page over unchanged
    }
    if ((loaded->structureRepair.has_value() || keepsHeldTexts) && loadState_.isLoaded()) {
        // The repair's save takes the copy the load made of what is now the document, not one made here.
        if (!keepsHeldTexts) {
            documentCopyToSave_ = std::move(loaded->copyToSave);
        }
        schedule();
        documentCopyToSave_.reset();
    }
    announceCurrentPageChange(previousCurrentPage);
    if (!wasOpen) {
        emit libraryOpened();
    }
    if (metNewUnreadableFiles) {
        emit unreadableFilesFound();
    }
    if (!copiesOfOwnEdits.empty()) {
        emit conflictNoticeRaised();
    }
    emit libraryReloaded();
}

std::vector<Uuid> VeltoStore::noteDisplacedEdits(const VeltoDocument &reloaded) {
    VeltoPageCounterparts reloadedPages(reloaded);
    auto noteIfReplaced = [&](const VeltoPage &held, std::optional<std::size_t> position) {
        if (const VeltoPage *taken = reloadedPages.find(held.id, position)) {
            displacedEdits_.noteReplaced(held, *taken);
        }
    };
    noteIfReplaced(document_.currentPage, std::nullopt);
    for (std::size_t position = 0; position < document_.pages.size(); ++position) {
        noteIfReplaced(document_.pages[position], position);
    }
    return displacedEdits_.arrivedCopies(document_, reloaded);
}

void VeltoStore::keepHeldBodyWhenUnchanged(const VeltoPage &held, VeltoPage &reloaded) {
    VeltoPageFileContent *reloadedContent = reloaded.content.asLoaded();
    const VeltoPageFileContent *heldContent = held.content.asLoaded();
    if (reloaded.id != held.id || reloadedContent == nullptr || heldContent == nullptr) {
        return;
    }
    // The held body's version, by which the editor knows the text, in the memory of the text read, which the
    // reloaded baseline shares: kept apart, a page of megabytes would lie in memory twice.
    CopyOnWriteText kept = heldContent->body;
    const std::shared_ptr<const std::string> read = reloadedContent->body.fileText();
    const bool isUnchanged = read != nullptr ? kept.holdAsEndOf(read, reloadedContent->body.startInFileText())
                                             : kept == reloadedContent->body;
    if (isUnchanged) {
        reloadedContent->body = std::move(kept);
    }
}

void VeltoStore::replaceDocument(VeltoDocument document) {
    VeltoDocument replaced = std::exchange(document_, std::move(document));
    documentDidChange();
    const bool archiveStateChanges = archiveStateDiffers(replaced, document_);
    freeOnLibraryPool(std::move(replaced));
    if (archiveStateChanges) {
        emit archiveStateChanged();
    }
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
    displacedEdits_.noteReplaced(*held, after.page);
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

void VeltoStore::activateLibrarySession(const std::filesystem::path &folderURL, VeltoDocument document,
                                        VeltoStoreLoadState loadState,
                                        const std::optional<VeltoLibraryStructureRepair> &structureRepair) {
    const VeltoPage previousCurrentPage = document_.currentPage;
    beginLibrarySession(folderURL);
    replaceDocument(std::move(document));
    pageBaselines_ = pageBaselines(document_);
    mutations_.reset(structureRepair, false);
    lastSaveErrorDescription_.reset();
    conflictNotice_.clear();
    displacedEdits_.clear();
    loadState_ = std::move(loadState);
    externalChanges_.startMonitoring(session_.folderURL());
    announceCurrentPageChange(previousCurrentPage);
}

void VeltoStore::beginLibrarySession(const std::filesystem::path &folderURL) {
    session_.begin(folderURL);
    // Saves go to the new folder; outcomes of saves still running in the old one are dropped.
    saveScheduler_.beginSession(folderURL);
    externalChanges_.forgetRequests();
}

bool VeltoStore::takeEditsIntoCopy(const VeltoDocument &copiedState, const VeltoDocument &typedDuringCopy) {
    VeltoDocument before = document_;
    carryEditsIntoCopy(copiedState, typedDuringCopy);
    std::set<Uuid> archived = archivePagesBeyondActiveLimits(now());
    if (archived.empty() && document_ == before) {
        return false;
    }
    commitDocumentChange(before, archived);
    return true;
}

void VeltoStore::carryEditsIntoCopy(const VeltoDocument &copiedState, const VeltoDocument &edited) {
    // The copy holds the library as it was when the copy began; pages edited while it ran keep their edits.
    auto carry = [&](const VeltoPage &page) {
        const VeltoPage *copiedPage = findPage(copiedState, page.id);
        VeltoPage *held = findPage(document_, page.id);
        if (copiedPage == nullptr || held == nullptr || *copiedPage == page) {
            return;
        }
        held->content = page.content;
        held->updatedAt = page.updatedAt;
        documentDidChange();
    };
    carry(edited.currentPage);
    for (const VeltoPage &page : edited.pages) {
        carry(page);
    }
}

void VeltoStore::finishRecovery(const VeltoDocument &recovered) {
    loadState_ = VeltoStoreLoadState::loaded();
    lastSaveErrorDescription_.reset();
    pageBaselines_ = pageBaselines(recovered);
    if (document_ != recovered) {
        schedule(); // edits made while the library was written anew
    }
}

} // namespace velto
