#include "library/LibraryRecovery.h"

#include "library/LibraryFolder.h"
#include "library/LibraryLock.h"
#include "library/WriteTransaction.h"
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
