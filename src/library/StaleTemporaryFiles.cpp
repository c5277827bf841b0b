#include "library/StaleTemporaryFiles.h"

#include "library/DeletionIndex.h"
#include "library/LibraryFolder.h"
#include "library/MissingFileObservations.h"
#include "library/WriterStates.h"

#include <vector>

namespace VeltoPageLibrary {

namespace {

constexpr std::string_view temporarySuffixStart = ".tmp-";
constexpr std::size_t temporarySuffixDigits = 12;

bool isLowercaseHexDigit(char character) {
    return (character >= '0' && character <= '9') || (character >= 'a' && character <= 'f');
}

/// Whether a recorded folder lies below the Pages folder: metadata from another writer is not trusted to.
bool isInsideFolder(const std::filesystem::path &relativeFolder) {
    if (relativeFolder.empty() || relativeFolder.is_absolute()) {
        return false;
    }
    for (const auto &component : relativeFolder) {
        if (component == "..") {
            return false;
        }
    }
    return true;
}

/// The folders where atomic writes put their temporary files: beside each file they replace.
std::vector<std::filesystem::path> foldersWithWrites(const std::filesystem::path &folderURL,
                                                     const std::set<std::string> &pageFolders) {
    std::vector<std::filesystem::path> folders{folderURL,
                                               metadataDirectory(folderURL),
                                               writersDirectory(folderURL),
                                               deletionIndexDirectory(folderURL),
                                               legacyTombstonesDirectory(folderURL),
                                               missingFilesDirectory(folderURL)};
    for (const auto &relativeFolder : pageFolders) {
        if (isInsideFolder(relativeFolder)) {
            folders.push_back(folderURL / relativeFolder);
        }
    }
    return folders;
}

void removeStaleTemporaryFilesIn(const std::filesystem::path &folder, velto::Date now, velto::FileSystem &fileManager) {
    std::vector<std::string> names;
    try {
        names = fileManager.contentsOfDirectory(folder);
    } catch (const velto::FileSystemError &) {
        return; // no such folder, or one that cannot be listed: nothing of ours to tidy there
    }
    for (const auto &name : names) {
        if (!isTemporaryFileName(name)) {
            continue;
        }
        auto url = folder / name;
        try {
            auto status = fileManager.status(url, false);
            if (status && status->type == velto::FileType::regular &&
                now - status->modificationDate >= staleTemporaryFileAge) {
                fileManager.removeItem(url);
            }
        } catch (const velto::FileSystemError &) {
            // Left for a later load.
        }
    }
}

} // namespace

bool isTemporaryFileName(const std::string &name) {
    if (name.size() < 1 + temporarySuffixStart.size() + temporarySuffixDigits + 1 || name.front() != '.') {
        return false;
    }
    std::size_t suffix = name.size() - temporarySuffixDigits - temporarySuffixStart.size();
    if (name.compare(suffix, temporarySuffixStart.size(), temporarySuffixStart) != 0) {
        return false;
    }
    for (std::size_t index = suffix + temporarySuffixStart.size(); index < name.size(); ++index) {
        if (!isLowercaseHexDigit(name[index])) {
            return false;
        }
    }
    return true;
}

void removeStaleTemporaryFiles(const std::filesystem::path &folderURL, const std::set<std::string> &pageFolders,
                               velto::Date now, velto::FileSystem &fileManager) {
    for (const auto &folder : foldersWithWrites(folderURL, pageFolders)) {
        removeStaleTemporaryFilesIn(folder, now, fileManager);
    }
}

} // namespace VeltoPageLibrary
