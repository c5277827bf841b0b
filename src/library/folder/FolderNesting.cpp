#include "library/folder/FolderNesting.h"

#include "library/folder/LibraryFolder.h"

#include <algorithm>

namespace VeltoPageLibrary {

namespace {

constexpr char lockFileName[] = "transaction.lock";

/// The path with symbolic links resolved as far as the folders exist, without a trailing separator.
std::filesystem::path resolved(const std::filesystem::path &folder) {
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(folder, error);
    std::filesystem::path normal = (error ? folder : canonical).lexically_normal();
    if (!normal.has_filename() && normal.has_parent_path() && normal != normal.root_path()) {
        normal = normal.parent_path();
    }
    return normal;
}

/// Whether `inner` lies strictly below `outer`.
bool isStrictlyInside(const std::filesystem::path &inner, const std::filesystem::path &outer) {
    auto [outerEnd, innerAt] = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
    return outerEnd == outer.end() && innerAt != inner.end();
}

bool isInsideAny(const std::string &relativePath, const std::vector<std::string> &folders) {
    for (const std::string &folder : folders) {
        if (relativePath.size() > folder.size() && relativePath.compare(0, folder.size(), folder) == 0 &&
            relativePath[folder.size()] == '/') {
            return true;
        }
    }
    return false;
}

} // namespace

bool holdsOwnLibrary(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    std::filesystem::path metadata = metadataDirectory(folderURL);
    auto status = fileManager.status(metadata);
    if (!status || status->type != velto::FileType::directory) {
        return false;
    }
    try {
        for (const std::string &name : fileManager.contentsOfDirectory(metadata)) {
            if (name != lockFileName) {
                return true;
            }
        }
    } catch (const std::exception &) {
        return false;
    }
    return false;
}

std::optional<std::filesystem::path> enclosingLibrary(const std::filesystem::path &folderURL) {
    std::filesystem::path folder = resolved(folderURL);
    for (std::filesystem::path above = folder.parent_path(); !above.empty() && above != above.root_path();
         above = above.parent_path()) {
        if (holdsOwnLibrary(above)) {
            return above;
        }
    }
    return std::nullopt;
}

std::optional<std::string> nestingRefusal(const std::filesystem::path &destinationURL,
                                          const std::filesystem::path &currentPagesFolderURL) {
    std::filesystem::path destination = resolved(destinationURL);
    std::filesystem::path current = resolved(currentPagesFolderURL);
    if (destination == current) {
        return std::nullopt;
    }
    if (isStrictlyInside(destination, current)) {
        return "Velto can’t use a folder inside your current Pages folder.";
    }
    if (isStrictlyInside(current, destination)) {
        return "Velto can’t use a folder that contains your current Pages folder.";
    }
    if (std::optional<std::filesystem::path> library = enclosingLibrary(destination)) {
        return "Velto can’t use a folder inside another Velto library (“" + library->string() + "”).";
    }
    return std::nullopt;
}

std::vector<velto::DirectoryEntry> withoutNestedLibraries(const std::filesystem::path &folderURL,
                                                          std::vector<velto::DirectoryEntry> entries,
                                                          velto::FileSystem &fileManager) {
    // A folder's entry comes before everything below it, so a nested library is known before its files.
    std::vector<std::string> nestedLibraries;
    std::vector<velto::DirectoryEntry> kept;
    kept.reserve(entries.size());
    for (velto::DirectoryEntry &entry : entries) {
        if (isInsideAny(entry.relativePath, nestedLibraries)) {
            continue;
        }
        if (entry.type == velto::FileType::directory && holdsOwnLibrary(folderURL / entry.relativePath, fileManager)) {
            nestedLibraries.push_back(entry.relativePath);
        }
        kept.push_back(std::move(entry));
    }
    return kept;
}

} // namespace VeltoPageLibrary
