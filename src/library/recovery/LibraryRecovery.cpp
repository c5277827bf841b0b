#include "library/recovery/LibraryRecovery.h"

#include "library/folder/LibraryFolder.h"
#include "library/folder/LibraryLock.h"
#include "library/metadata/DeletionIndex.h"
#include "library/metadata/MissingFileObservations.h"
#include "library/metadata/WriterStates.h"
#include "library/recovery/NewerLibrary.h"
#include "library/save/WriteTransaction.h"
#include "model/LibraryErrors.h"
#include "platform/Uuid.h"

namespace VeltoPageLibrary {

namespace {

std::filesystem::path recoveryFileURL(const std::filesystem::path &folderURL) {
    return metadataDirectory(folderURL) / ("manifest.recovery-" + velto::Uuid::random().uppercaseText() + ".json");
}

/// Whether the folder holds a manifest now; false when that cannot be told.
bool holdsManifest(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) noexcept {
    try {
        return fileManager.status(manifestURL(folderURL), false).has_value();
    } catch (const std::exception &) {
        return false;
    }
}

/// Puts the moved manifest back after a failed recovery, also over one that the recovery's write committed before
/// it failed: a recovery that fails leaves the library's metadata as it found it, to be recovered again, and no
/// recovery file behind (each failed attempt would leave one more beside a library that still does not open). The
/// move back is tried first; where it cannot be made, the bytes are written back instead, as a library left without
/// its manifest would lose what only the manifest recorded (the order, the pending deletions). Whatever still fails
/// is left as it is; the recovery file then keeps the manifest.
void restoreManifest(const std::filesystem::path &recoveryURL, const std::filesystem::path &folderURL,
                     velto::FileSystem &fileManager) noexcept {
    auto manifest = manifestURL(folderURL);
    try {
        if (!fileManager.status(manifest, false)) {
            fileManager.moveItem(recoveryURL, manifest);
            return;
        }
    } catch (const std::exception &) {
    }
    try {
        if (fileManager.isRegularFile(recoveryURL)) {
            fileManager.writeAtomically(manifest, fileManager.readFile(recoveryURL));
            fileManager.removeItem(recoveryURL);
        }
    } catch (const std::exception &) {
    }
}

/// A metadata file moved out of the way, and where it went.
struct SetAsideFile {
    std::filesystem::path original;
    std::filesystem::path setAside;
};

/// Sets aside every file of the directory that cannot be read or decoded, noting each move.
template <typename Decode>
void setAsideUnusableFiles(const std::filesystem::path &directoryURL, velto::FileSystem &fileManager, Decode decode,
                           std::vector<SetAsideFile> &moved) {
    for (const auto &url : jsonFiles(directoryURL, fileManager)) {
        try {
            decodeMetadataFile(url, fileManager, decode);
        } catch (const MetadataFileError &) {
            moved.push_back({url, setMetadataFileAside(url, fileManager)});
        } catch (const velto::LibraryMetadataError &) {
            // a shard holding records of another shard
            moved.push_back({url, setMetadataFileAside(url, fileManager)});
        }
    }
}

/// A journal or a deletion record that cannot be used (a sync client's conflicted copy, a file cut short)
/// would stop every load and every write: it goes aside, as a damaged manifest does, and the library is
/// written from the rest. The files moved so far are noted in `moved` also when a later step throws.
void setAsideUnusableMetadata(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                              std::vector<SetAsideFile> &moved) {
    setAsideUnusableFiles(writersDirectory(folderURL), fileManager, decodeWriterState, moved);
    setAsideUnusableFiles(deletionIndexDirectory(folderURL), fileManager, decodeDeletionIndexShard, moved);
    setAsideUnusableFiles(legacyTombstonesDirectory(folderURL), fileManager, decodeDeletionTombstone, moved);
    setAsideUnusableFiles(missingFilesDirectory(folderURL), fileManager, decodeMissingFileObservation, moved);
}

/// Moves the files set aside back to their names, latest first, so that a failed recovery leaves the metadata
/// as it found it. A name taken meanwhile keeps what is there; every failure is ignored, the file set aside
/// keeps its bytes.
void putBackSetAsideFiles(const std::vector<SetAsideFile> &moved, velto::FileSystem &fileManager) noexcept {
    for (auto file = moved.rbegin(); file != moved.rend(); ++file) {
        try {
            if (!fileManager.status(file->original, false)) {
                fileManager.moveItem(file->setAside, file->original);
            }
        } catch (const std::exception &) {
        }
    }
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
    // A library that a newer Velto wrote is refused before anything is moved.
    refuseNewerLibrary(folderURL, fileManager);

    auto manifest = manifestURL(folderURL);
    std::optional<std::filesystem::path> recoveryURL;
    if (fileManager.status(manifest, false)) {
        auto destination = recoveryFileURL(folderURL);
        fileManager.moveItem(manifest, destination);
        recoveryURL = destination;
    }
    // From here on every failure puts back what was moved. Where the folder had no manifest and the write committed
    // one before it failed, the library is the new one, and the files set aside would only break it again.
    std::vector<SetAsideFile> setAside;
    try {
        setAsideUnusableMetadata(folderURL, fileManager, setAside);
        writeWithoutLock(request, folderURL, fileManager,
                         [&fileManager](const std::filesystem::path &url) { fileManager.removeItem(url); });
    } catch (...) {
        if (recoveryURL) {
            restoreManifest(*recoveryURL, folderURL, fileManager);
            putBackSetAsideFiles(setAside, fileManager);
        } else if (!holdsManifest(folderURL, fileManager)) {
            putBackSetAsideFiles(setAside, fileManager);
        }
        throw;
    }
    return recoveryURL;
}

} // namespace VeltoPageLibrary
