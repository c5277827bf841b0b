#include "library/FolderObstacles.h"

#include "library/LibraryFolder.h"

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

// A load that needs to write nothing succeeds in a folder that refuses writing too (one whose permissions let no one
// add a file), and then every save fails. It is named at the load, as when the load failed there.
VeltoLibraryLoadResult namingReadOnlyFolder(VeltoLibraryLoadResult result, const std::filesystem::path &folderURL,
                                            velto::FileSystem &fileManager) {
    const Issue *issue = result.failureIssue();
    if (issue != nullptr &&
        (issue->kind == Issue::Kind::temporarilyUnavailable || issue->remedy != Issue::Remedy::rewriteLibrary)) {
        return result;
    }
    auto folder = readOnlyFolder(folderURL, fileManager);
    if (!folder) {
        return result;
    }
    std::string name = *folder == folderURL ? "The Pages folder “" : "The folder “";
    return VeltoLibraryLoadResult::failed(
        {Issue::Kind::unreadable, name + folder->string() + "” is read-only.", Issue::Remedy::changeFolder});
}

} // namespace VeltoPageLibrary
