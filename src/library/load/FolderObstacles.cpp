#include "library/load/FolderObstacles.h"

#include "library/folder/LibraryFolder.h"
#include "library/load/LoadFailures.h"
#include "library/metadata/DeletionIndex.h"
#include "library/metadata/ManifestReading.h"
#include "model/LibraryErrors.h"

namespace VeltoPageLibrary {

namespace {

using Issue = velto::VeltoStoreRecoveryIssue;

/// The folder of the two that refuses writing: the Pages folder first, then its ".velto".
std::optional<std::filesystem::path> readOnlyFolder(const std::filesystem::path &folderURL,
                                                    velto::FileSystem &fileManager) {
    if (fileManager.refusesWriting(folderURL)) {
        return folderURL;
    }
    auto metadata = metadataDirectory(folderURL);
    if (fileManager.refusesWriting(metadata)) {
        return metadata;
    }
    return std::nullopt;
}

/// The refusal of a library that a newer Velto wrote; nothing for any other library, readable or not.
std::optional<Issue> newerLibraryIssue(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    try {
        readManifestIfPresent(folderURL, fileManager);
        loadCanonicalDeletionTombstones(folderURL, fileManager);
    } catch (const velto::UnsupportedManifestSchemaError &) {
        return recoveryIssue(Issue::Kind::corrupt, std::current_exception());
    } catch (const velto::UnsupportedDeletionIndexSchemaError &) {
        return recoveryIssue(Issue::Kind::corrupt, std::current_exception());
    } catch (const std::exception &) {
        // Not a newer library: the folder's read-only state is what the user meets first.
    }
    return std::nullopt;
}

} // namespace

std::optional<Issue> metadataEntryObstacle(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    auto metadata = metadataDirectory(folderURL);
    std::optional<velto::FileStatus> status;
    try {
        status = fileManager.status(metadata);
    } catch (const velto::FileSystemError &) {
        return std::nullopt; // reading the library says why
    }
    if (!status || status->type == velto::FileType::directory) {
        return std::nullopt;
    }
    return Issue{Issue::Kind::unreadable, "“" + metadata.string() + "” is a file, not a folder.",
                 Issue::Remedy::changeFolder};
}

// Told before the load reads or writes anything: on its way a load writes what it tidies (the manifest with a file
// another program added, the journals, the deletion index), which in a folder whose ".velto" still takes files would
// change the library it then refuses. And a load that needs to write nothing would succeed, and then every save fail.
std::optional<Issue> readOnlyFolderObstacle(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    auto folder = readOnlyFolder(folderURL, fileManager);
    if (!folder) {
        return std::nullopt;
    }
    if (auto newer = newerLibraryIssue(folderURL, fileManager)) {
        return newer;
    }
    std::string name = *folder == folderURL ? "The Pages folder “" : "The folder “";
    return Issue{Issue::Kind::unreadable, name + folder->string() + "” is read-only.", Issue::Remedy::changeFolder};
}

} // namespace VeltoPageLibrary
