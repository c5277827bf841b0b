#include "library/folder/LibraryFolder.h"

#include "library/copy/UnfinishedCopy.h"
#include "library/folder/FolderNesting.h"
#include "library/folder/IOObservation.h"
#include "library/folder/PageFileNaming.h"
#include "library/load/LoadFailures.h"
#include "platform/Text.h"
#include "platform/Uuid.h"

namespace VeltoPageLibrary {

std::filesystem::path metadataDirectory(const std::filesystem::path &folderURL) {
    return folderURL / ".velto";
}

std::filesystem::path manifestURL(const std::filesystem::path &folderURL) {
    return metadataDirectory(folderURL) / "manifest.json";
}

bool containsMarkdownFiles(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    VeltoLibraryIOObservation::count([](VeltoLibraryIOCounters &counters) { ++counters.recursiveEnumerations; });
    try {
        for (const auto &entry :
             withoutNestedLibraries(folderURL, fileManager.enumerateRecursively(folderURL), fileManager)) {
            if (hasMarkdownExtension(entry.relativePath)) {
                return true;
            }
        }
    } catch (const std::exception &) {
        return false;
    }
    return false;
}

void createLibraryDirectories(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    fileManager.createDirectories(folderURL);
    fileManager.createDirectories(metadataDirectory(folderURL));
}

std::vector<std::filesystem::path> jsonFiles(const std::filesystem::path &directoryURL,
                                             velto::FileSystem &fileManager) {
    std::vector<std::filesystem::path> files;
    if (!fileManager.status(directoryURL)) {
        return files;
    }
    for (const auto &name : fileManager.contentsOfDirectory(directoryURL)) {
        std::filesystem::path file = directoryURL / name;
        if (file.extension() == ".json") {
            files.push_back(file);
        }
    }
    return files;
}

MetadataFileError::MetadataFileError(std::filesystem::path url, const std::exception_ptr &reason)
    : velto::JsonDecodingError("The library file “" + (url.parent_path().filename() / url.filename()).string() +
                               "” couldn’t be read. " + localizedDescription(reason))
    , url_(std::move(url)) {}

void rethrowNamingMetadataFile(const std::filesystem::path &url) {
    try {
        throw;
    } catch (const MetadataFileError &) {
        throw;
    } catch (const velto::FileSystemError &) {
        throw MetadataFileError(url, std::current_exception());
    } catch (const velto::JsonDecodingError &) {
        throw MetadataFileError(url, std::current_exception());
    } catch (const nlohmann::json::exception &) {
        throw MetadataFileError(url, std::current_exception());
    }
}

std::filesystem::path setMetadataFileAside(const std::filesystem::path &url, velto::FileSystem &fileManager) {
    std::filesystem::path destination = url;
    destination += ".recovery-" + velto::Uuid::random().lowercaseText();
    fileManager.moveItem(url, destination);
    return destination;
}

void preserveCorruptManifest(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    auto manifest = manifestURL(folderURL);
    if (!fileManager.status(manifest, false)) {
        return;
    }
    auto name = "manifest.recovery-" + velto::Uuid::random().lowercaseText() + ".json";
    fileManager.moveItem(manifest, metadataDirectory(folderURL) / name);
}

bool writeAtomicallyIfChanged(const std::filesystem::path &url, std::string_view bytes,
                              velto::FileSystem &fileManager) {
    try {
        if (fileManager.isRegularFile(url) && fileManager.readFile(url) == bytes) {
            return false;
        }
    } catch (const velto::FileSystemError &) {
        // Unreadable counts as different: the write below replaces it or reports why it cannot.
    }
    fileManager.writeAtomically(url, bytes);
    return true;
}

bool holdsLibrary(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    auto directory = metadataDirectory(folderURL);
    try {
        if (!fileManager.status(directory, false)) {
            return false;
        }
        // The lock file alone is no library: a copy that failed, or a writer that only locked, leaves it behind.
        // Nor is what a copy killed before its manifest left: the next copy clears it.
        for (const auto &name : fileManager.contentsOfDirectory(directory)) {
            if (!isLeftWithoutLibrary(name)) {
                return !holdsUnfinishedCopy(folderURL, fileManager);
            }
        }
        return false;
    } catch (const std::exception &) {
        return true;
    }
}

std::optional<std::vector<velto::DirectoryEntry>> enumeratedFolderEntries(const std::filesystem::path &folderURL,
                                                                          velto::FileSystem &fileManager) {
    VeltoLibraryIOObservation::count([](VeltoLibraryIOCounters &counters) {
        ++counters.recursiveEnumerations;
        ++counters.fullReconciliations;
    });
    try {
        // Another library's folder inside this one keeps its own pages.
        return withoutNestedLibraries(folderURL, fileManager.enumerateRecursively(folderURL), fileManager);
    } catch (const velto::FileSystemError &) {
        return std::nullopt;
    }
}

} // namespace VeltoPageLibrary
