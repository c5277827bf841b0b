#include "library/LibraryRecovery.h"

#include "library/DeletionIndex.h"
#include "library/LibraryFolder.h"
#include "library/LibraryLock.h"
#include "library/MissingFileObservations.h"
#include "library/WriteTransaction.h"
#include "library/WriterStates.h"
#include "model/LibraryErrors.h"
#include "platform/Uuid.h"

namespace VeltoPageLibrary {

namespace {

std::filesystem::path recoveryFileURL(const std::filesystem::path &folderURL) {
    return metadataDirectory(folderURL) / ("manifest.recovery-" + velto::Uuid::random().uppercaseText() + ".json");
}

/// Puts the moved manifest back after a failed write. When the move fails, its bytes are written back
/// instead: a library left without its manifest would lose what only the manifest recorded (the order, the
/// pending deletions). Whatever still fails is left as it is; the recovery file keeps the manifest.
void restoreManifest(const std::filesystem::path &recoveryURL, const std::filesystem::path &folderURL,
                     velto::FileSystem &fileManager) noexcept {
    auto manifest = manifestURL(folderURL);
    try {
        if (fileManager.status(manifest, false)) {
            return; // the write committed a new manifest before it failed
        }
        fileManager.moveItem(recoveryURL, manifest);
        return;
    } catch (const std::exception &) {
    }
    try {
        if (!fileManager.status(manifest, false) && fileManager.isRegularFile(recoveryURL)) {
            fileManager.writeAtomically(manifest, fileManager.readFile(recoveryURL));
            fileManager.removeItem(recoveryURL);
        }
    } catch (const std::exception &) {
    }
}

/// Sets aside every file of the directory that cannot be read or decoded.
template <typename Decode>
void setAsideUnusableFiles(const std::filesystem::path &directoryURL, velto::FileSystem &fileManager, Decode decode) {
    for (const auto &url : jsonFiles(directoryURL, fileManager)) {
        try {
            decodeMetadataFile(url, fileManager, decode);
        } catch (const MetadataFileError &) {
            setMetadataFileAside(url, fileManager);
        } catch (const velto::LibraryMetadataError &) {
            setMetadataFileAside(url, fileManager); // a shard holding records of another shard
        }
    }
}

/// A journal or a deletion record that cannot be used (a sync client's conflicted copy, a file cut short)
/// would stop every load and every write: it goes aside, as a damaged manifest does, and the library is
/// written from the rest.
void setAsideUnusableMetadata(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    setAsideUnusableFiles(writersDirectory(folderURL), fileManager, decodeWriterState);
    setAsideUnusableFiles(deletionIndexDirectory(folderURL), fileManager, decodeDeletionIndexShard);
    setAsideUnusableFiles(legacyTombstonesDirectory(folderURL), fileManager, decodeDeletionTombstone);
    setAsideUnusableFiles(missingFilesDirectory(folderURL), fileManager, decodeMissingFileObservation);
}

} // namespace

std::optional<std::filesystem::path> recover(const VeltoSaveRequest &request, const std::filesystem::path &folderURL,
                                             velto::FileSystem &fileManager) {
    createLibraryDirectories(folderURL, fileManager);
    return withLibraryLocks({folderURL}, LibraryLockMode::exclusive,
                            [&] { return recoverWithoutLock(request, folderURL, fileManager); });
}

std::optional<std::filesystem::path> recoverWithoutLock(const VeltoSaveRequest &request,
                                                        const std::filesystem::path &folderURL,
                                                        velto::FileSystem &fileManager) {
    auto manifest = manifestURL(folderURL);
    std::optional<std::filesystem::path> recoveryURL;
    if (fileManager.status(manifest, false)) {
        auto destination = recoveryFileURL(folderURL);
        fileManager.moveItem(manifest, destination);
        recoveryURL = destination;
    }
    setAsideUnusableMetadata(folderURL, fileManager);
    try {
        writeWithoutLock(request, folderURL, fileManager,
                         [&fileManager](const std::filesystem::path &url) { fileManager.removeItem(url); });
    } catch (...) {
        if (recoveryURL) {
            restoreManifest(*recoveryURL, folderURL, fileManager);
        }
        throw;
    }
    return recoveryURL;
}

} // namespace VeltoPageLibrary
