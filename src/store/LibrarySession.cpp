#include "store/LibrarySession.h"

#include "library/copy/FolderConnectionAssessment.h"
#include "library/recovery/LibraryRecovery.h"
#include "model/Document.h"
#include "store/FolderIdentity.h"
#include "store/LibraryPool.h"
#include "store/OwnFileChanges.h"
#include "store/Store.h"

namespace velto {

VeltoLibrarySession::VeltoLibrarySession(VeltoStore &store, std::filesystem::path folderURL)
    : store_(store)
    , folderURL_(std::move(folderURL)) {}

VeltoSessionTicket VeltoLibrarySession::ticket() const {
    return VeltoSessionTicket(store_, revision_, revision_, folderURL_);
}

void VeltoLibrarySession::begin(const std::filesystem::path &folderURL) {
    revision_ += 1;
    folderURL_ = folderURL;
}

QCoro::Task<void> VeltoLibrarySession::applyFolderConnection(VeltoFolderConnectionSelection selection) {
    const VeltoSessionTicket ticket = this->ticket();
    switch (selection.operation) {
    case VeltoFolderConnectionOperation::copyCurrentLibrary: {
        QCoro::Task<void> copying = copyCurrentLibrary(selection.destinationURL);
        co_await copying;
        if (ticket.storeIsAlive() && selection.ownsWholeFolder) {
            // The whole folder is the library: Markdown files that were there already become pages.
            QCoro::Task<void> reloading = store_.reloadFromDisk(false, std::nullopt);
            co_await reloading;
            if (ticket.storeIsAlive()) {
                QCoro::Task<void> flushing = store_.flush();
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

QCoro::Task<void> VeltoLibrarySession::copyCurrentLibrary(std::filesystem::path destinationURL) {
    if (isSameFolderURL(destinationURL, folderURL_)) {
        co_return;
    }
    const VeltoSessionTicket ticket = this->ticket();
    QCoro::Task<void> flushing = store_.flush(); // pending edits reach the current folder first, and are copied
    co_await flushing;
    if (!ticket.storeIsAlive()) {
        co_return;
    }
    const VeltoDocument copiedState = store_.document();
    QCoro::Task<VeltoDocument> copying = productionLibraryCopyOperation(folderURL_, destinationURL);
    VeltoDocument copied = co_await copying;
    if (!ticket.storeIsAlive()) {
        co_return;
    }
    const VeltoDocument typedDuringCopy = store_.document();
    store_.activateLibrarySession(destinationURL, std::move(copied), VeltoStoreLoadState::loaded(), std::nullopt);
    if (!store_.takeEditsIntoCopy(copiedState, typedDuringCopy)) {
        co_return;
    }
    QCoro::Task<void> flushingArchive = store_.flush();
    co_await flushingArchive;
}

QCoro::Task<void> VeltoLibrarySession::connectPages(std::filesystem::path destinationURL,
                                                    bool startsLibraryWhenMissing) {
    if (isSameFolderURL(destinationURL, folderURL_)) {
        co_return;
    }
    const VeltoSessionTicket ticket = this->ticket();
    QCoro::Task<void> flushing = store_.flush();
    co_await flushing;
    if (!ticket.storeIsAlive()) {
        co_return;
    }
    std::uint64_t revisionAtFlush = store_.mutations().revision;
    QCoro::Task<VeltoLibraryLoadResult> loading = store_.loadOperation_(destinationURL);
    VeltoLibraryLoadResult result = co_await loading;
    if (!ticket.storeIsAlive()) {
        co_return;
    }
    // Edits typed while the new folder loaded belong to the old library: they are saved there before the
    // switch, so that none of them is left behind unsaved.
    while (store_.mutations().revision != revisionAtFlush) {
        revisionAtFlush = store_.mutations().revision;
        QCoro::Task<void> flushingEdits = store_.flush();
        co_await flushingEdits;
        if (!ticket.storeIsAlive()) {
            co_return;
        }
    }

    if (const VeltoLibraryLoadResult::Loaded *loaded = result.asLoaded()) {
        store_.activateLibrarySession(destinationURL, loaded->document, VeltoStoreLoadState::loaded(),
                                      loaded->structureRepair);
        if (loaded->structureRepair.has_value()) {
            store_.schedule();
            QCoro::Task<void> flushingRepair = store_.flush();
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
    store_.activateLibrarySession(destinationURL, VeltoStore::freshDocument(store_.now()),
                                  VeltoStoreLoadState::missing(), std::nullopt);
}

QCoro::Task<std::optional<std::filesystem::path>> VeltoLibrarySession::recoverPreservingOriginal() {
    if (store_.loadState().recoveryIssue() == nullptr) {
        co_return std::nullopt;
    }
    const VeltoSessionTicket ticket = this->ticket();
    VeltoDocument recovered = store_.document();
    QCoro::Task<std::optional<std::filesystem::path>> recovering =
        runOnLibraryPool([request = wholeDocumentSaveRequest(recovered, store_.now()), folderURL = folderURL_] {
            return VeltoPageLibrary::recover(request, folderURL, ownChangeRecordingFileSystem());
        });
    std::optional<std::filesystem::path> recoveryURL = co_await recovering;
    if (ticket.stillCurrent()) {
        store_.finishRecovery(recovered);
    }
    co_return recoveryURL;
}

} // namespace velto
