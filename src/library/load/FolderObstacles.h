#pragma once

#include "library/load/LoadResult.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <optional>

// A Pages folder that cannot hold a library at all: no repair written into it could work, so a load names
// what is wrong and where, and offers the user to change it instead.
namespace VeltoPageLibrary {

/// The issue of a folder whose ".velto" is a file (or anything else but a folder): "“…/.velto” is a file, not
/// a folder.". Nothing when ".velto" is a folder or not there.
std::optional<velto::VeltoStoreRecoveryIssue> metadataEntryObstacle(const std::filesystem::path &folderURL,
                                                                    velto::FileSystem &fileManager);

/// The issue of a folder Velto cannot write in (a read-only mount, no permission to add a file): "The Pages folder
/// “…” is read-only.", or the same of its ".velto". A newer library is named as such instead (its manifest or
/// deletion index says so), as a newer Velto is what it needs first. Nothing when both folders take files.
std::optional<velto::VeltoStoreRecoveryIssue> readOnlyFolderObstacle(const std::filesystem::path &folderURL,
                                                                     velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
