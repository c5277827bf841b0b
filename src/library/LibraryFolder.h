#pragma once

#include "platform/FileSystem.h"

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace VeltoPageLibrary {

/// The folder's ".velto" directory, where every metadata file lives.
std::filesystem::path metadataDirectory(const std::filesystem::path &folderURL);

/// ".velto/manifest.json" of the folder.
std::filesystem::path manifestURL(const std::filesystem::path &folderURL);

/// Whether any entry below the folder, hidden ones and ".velto" aside, has the extension "md" in any
/// letter case. Never fails: a folder that cannot be enumerated has none.
bool containsMarkdownFiles(const std::filesystem::path &folderURL,
                           velto::FileSystem &fileManager = velto::defaultFileSystem());

/// Creates the folder and its ".velto" directory when missing.
void createLibraryDirectories(const std::filesystem::path &folderURL,
                              velto::FileSystem &fileManager = velto::defaultFileSystem());

/// The entries of a directory whose extension is exactly "json" (hidden ones included), in listing order;
/// empty when the directory does not exist. "A.JSON" is not listed.
std::vector<std::filesystem::path> jsonFiles(const std::filesystem::path &directoryURL,
                                             velto::FileSystem &fileManager = velto::defaultFileSystem());

/// Moves ".velto/manifest.json", when there is one, to "manifest.recovery-" + a new lower-case UUID + ".json"
/// beside it, so that a rebuild never overwrites what the user may still want back.
void preserveCorruptManifest(const std::filesystem::path &folderURL,
                             velto::FileSystem &fileManager = velto::defaultFileSystem());

/// Writes the bytes atomically unless the file already holds exactly these bytes; true when it wrote.
/// Metadata files are rewritten only when they change, so that writers on synced machines do not keep
/// touching each other's files. A file that cannot be read counts as different.
bool writeAtomicallyIfChanged(const std::filesystem::path &url, std::string_view bytes, velto::FileSystem &fileManager);

/// Whether the folder belongs to a library: its ".velto" has anything in it, or cannot be listed.
bool holdsLibrary(const std::filesystem::path &folderURL, velto::FileSystem &fileManager);

/// Every entry below the folder (hidden ones skipped), counted as one recursive enumeration of a full
/// reconciliation; nothing when the folder cannot be enumerated.
std::optional<std::vector<velto::DirectoryEntry>> enumeratedFolderEntries(const std::filesystem::path &folderURL,
                                                                          velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
