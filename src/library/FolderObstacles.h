#pragma once

#include "library/LoadResult.h"
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

/// The result of a load, except that a load in a folder Velto cannot write in (a read-only mount, no permission)
/// fails for that reason, whether it failed or not: "The Pages folder “…” is read-only.". A newer library's
/// refusal and a passing condition keep their own issue.
VeltoLibraryLoadResult namingReadOnlyFolder(VeltoLibraryLoadResult result, const std::filesystem::path &folderURL,
                                            velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
