#pragma once

#include "platform/FileSystem.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Two libraries must never nest: a library enumerates every folder below it, so one inside another would
// adopt the other's page files as its own. These rules keep them apart.
namespace VeltoPageLibrary {

/// Whether the folder holds a library of its own: a ".velto" directory with more in it than a lock file.
bool holdsOwnLibrary(const std::filesystem::path &folderURL,
                     velto::FileSystem &fileManager = velto::defaultFileSystem());

/// The nearest folder above `folderURL` (links resolved) that holds a library of its own.
std::optional<std::filesystem::path> enclosingLibrary(const std::filesystem::path &folderURL);

/// Why `destinationURL` cannot become the Pages folder while `currentPagesFolderURL` is (the sentence shown to
/// the user), or nothing when it can. Paths are compared with their symbolic links resolved, so that a link
/// cannot hide the nesting; the current folder itself is allowed.
std::optional<std::string> nestingRefusal(const std::filesystem::path &destinationURL,
                                          const std::filesystem::path &currentPagesFolderURL);

/// The entries of a recursive enumeration of `folderURL` without those inside a subfolder that holds a library
/// of its own (the subfolder's own entry stays).
std::vector<velto::DirectoryEntry> withoutNestedLibraries(const std::filesystem::path &folderURL,
                                                          std::vector<velto::DirectoryEntry> entries,
                                                          velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
