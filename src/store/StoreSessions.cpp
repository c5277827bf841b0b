#include "library/FolderConnectionAssessment.h"
#include "library/LibraryRecovery.h"
#include "library/ProcessWriter.h"
#include "model/Document.h"
#include "store/FolderIdentity.h"
#include "store/LibraryPool.h"
#include "store/OwnFileChanges.h"
#include "store/Store.h"

namespace velto {
namespace {

/// The save that writes a damaged library anew: every page and the structure changed, nothing expected on disk.
VeltoSaveRequest recoveryRequest(const VeltoDocument &document, Date now) {
    VeltoSaveRequest request;
    request.writerID = VeltoPageLibrary::processWriterID();
    request.operationID = Uuid::random();
    request.recordedAt = now;
    request.generation = 1;
    request.mutationRevision = 0;
    request.document = document;
    request.changedPageRevisions.emplace(document.currentPage.id, 0);
    for (const VeltoPage &page : document.pages) {
        request.changedPageRevisions.emplace(page.id, 0);
    }
    request.structureRevision = 0;
    return request;
}

} // namespace

QCoro::Task<void> VeltoStore::applyFolderConnection(VeltoFolderConnectionSelection selection) {
    const VeltoSessionTicket ticket = session_.ticket();
    switch (selection.operation) {
    case VeltoFolderConnectionOperation::copyCurrentLibrary: {
        QCoro::Task<void> copying = copyCurrentLibrary(selection.destinationURL);
        co_await copying;
        if (ticket.storeIsAlive() && selection.ownsWholeFolder) {
            // The whole folder is the library: Markdown files that were there already become pages.
            QCoro::Task<void> reloading = reloadFromDisk(false, std::nullopt);
            co_await reloading;
            if (ticket.storeIsAlive()) {
                QCoro::Task<void> flushing = flush();
                co_await flushing;
            }
        }
        break;
    }
    case VeltoFolderConnectionOperation::useSelectedFolderContents: {
        QCoro::Task<void> connecting = connectPages(selection.destinationURL, true);
        co_await connecting;
        break;
    }
    case VeltoFolderConnectionOperation::connectExistingLibrary: {
        QCoro::Task<void> connecting = connectPages(selection.destinationURL, false);
        co_await connecting;
        break;
    }
    }
}

QCoro::Task<void> VeltoStore::copyCurrentLibrary(std::filesystem::path destinationURL) {
    if (isSameFolderURL(destinationURL, session_.folderURL())) {
        co_return;
    }
    const VeltoSessionTicket ticket = session_.ticket();
    QCoro::Task<void> flushing = flush(); // pending edits reach the current folder first, and are copied
    co_await flushing;
    if (!ticket.storeIsAlive()) {
        co_return;
    }
    const VeltoDocument copiedState = document_;
    QCoro::Task<VeltoDocument> copying = productionLibraryCopyOperation(session_.folderURL(), destinationURL);
    VeltoDocument copied = co_await copying;
    if (!ticket.storeIsAlive()) {
        co_return;
    }
    const VeltoDocument typedDuringCopy = document_;
    activateLibrarySession(destinationURL, std::move(copied), VeltoStoreLoadState::loaded(), std::nullopt);

    VeltoDocument before = document_;
    carryEditsIntoCopy(copiedState, typedDuringCopy);
    std::set<Uuid> archived = archivePagesBeyondActiveLimits(now());
    if (archived.empty() && document_ == before) {
        co_return;
    }
    commitDocumentChange(before, archived);
    QCoro::Task<void> flushingArchive = flush();
    co_await flushingArchive;
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

QCoro::Task<void> VeltoStore::connectPages(std::filesystem::path destinationURL, bool startsLibraryWhenMissing) {
    if (isSameFolderURL(destinationURL, session_.folderURL())) {
        co_return;
    }
    const VeltoSessionTicket ticket = session_.ticket();
    QCoro::Task<void> flushing = flush();
    co_await flushing;
    if (!ticket.storeIsAlive()) {
        co_return;
    }
    std::uint64_t revisionAtFlush = mutations_.revision;
    QCoro::Task<VeltoLibraryLoadResult> loading = loadOperation_(destinationURL);
    VeltoLibraryLoadResult result = co_await loading;
    if (!ticket.storeIsAlive()) {
        co_return;
    }
    // Edits typed while the new folder loaded belong to the old library: they are saved there before the
    // switch, so that none of them is left behind unsaved.
    while (mutations_.revision != revisionAtFlush) {
        revisionAtFlush = mutations_.revision;
        QCoro::Task<void> flushingEdits = flush();
        co_await flushingEdits;
        if (!ticket.storeIsAlive()) {
            co_return;
        }
    }

    if (const VeltoLibraryLoadResult::Loaded *loaded = result.asLoaded()) {
        activateLibrarySession(destinationURL, loaded->document, VeltoStoreLoadState::loaded(),
                               loaded->structureRepair);
        if (loaded->structureRepair.has_value()) {
            schedule();
            QCoro::Task<void> flushingRepair = flush();
            co_await flushingRepair;
        }
        co_return;
    }
    // The folder being connected failed to open: its own library, not the current one being copied.
    if (const VeltoStoreRecoveryIssue *issue = result.failureIssue()) {
        throw VeltoLibraryConnectionError::libraryUnavailable(destinationURL, issue->message);
    }
    if (!startsLibraryWhenMissing) {
        throw VeltoLibraryConnectionError::libraryUnavailable(destinationURL, "Its manifest is missing.");
    }
    // Nothing is written yet: the folder gets its library with the first save that an edit causes.
    activateLibrarySession(destinationURL, freshDocument(now()), VeltoStoreLoadState::missing(), std::nullopt);
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
    lastSaveConflictPresentation_.reset();
    loadState_ = std::move(loadState);
    startMonitoringFolder();
    announceCurrentPageChange(previousCurrentPage);
}

void VeltoStore::beginLibrarySession(const std::filesystem::path &folderURL) {
    session_.begin(folderURL);
    // Saves go to the new folder; outcomes of saves still running in the old one are dropped.
    saveScheduler_.beginSession(folderURL);
    refreshRequests_.clear();
}

QCoro::Task<std::optional<std::filesystem::path>> VeltoStore::recoverPreservingOriginal() {
    if (loadState_.recoveryIssue() == nullptr) {
        co_return std::nullopt;
    }
    const VeltoSessionTicket ticket = session_.ticket();
    std::filesystem::path folderURL = session_.folderURL();
    VeltoDocument recovered = document_;
    QCoro::Task<std::optional<std::filesystem::path>> recovering =
        runOnLibraryPool([request = recoveryRequest(recovered, now()), folderURL] {
            return VeltoPageLibrary::recover(request, folderURL, ownChangeRecordingFileSystem());
        });
    std::optional<std::filesystem::path> recoveryURL = co_await recovering;
    if (!ticket.stillCurrent()) {
        co_return recoveryURL;
    }
    loadState_ = VeltoStoreLoadState::loaded();
    lastSaveErrorDescription_.reset();
    pageBaselines_ = pageBaselines(recovered);
    if (document_ != recovered) {
        schedule(); // edits made while the library was written anew
    }
    co_return recoveryURL;
}

} // namespace velto
