#pragma once

#include "library/save/SaveRequest.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <optional>

// The recovery room owns rewriting a library whose metadata cannot be read from the document Velto holds: the old
// manifest set aside for the user and put back when the rewrite fails, and the refusal of a library a newer Velto
// wrote. It calls the rooms below it, the save room for the rewrite itself.
namespace VeltoPageLibrary {

/// Rewrites a damaged or unreadable library from the store's document: under the folder's exclusive lock
/// the manifest is moved aside to "manifest.recovery-<UUID>.json" (kept for the user), then the request is
/// written as a save. Returns the recovery file, or nothing when the folder had no manifest. A library that a
/// newer Velto wrote is refused before anything is moved (UnsupportedManifestSchemaError or
/// UnsupportedDeletionIndexSchemaError). When a later step fails, the old manifest (over one the write committed
/// before it failed) and the metadata files set aside are put back, so that no recovery file stays behind a failure,
/// and the step's error is thrown. A page file that refuses to be changed (a read-only license file) is left as it
/// is, and the other pages are written.
std::optional<std::filesystem::path> recover(const VeltoSaveRequest &request, const std::filesystem::path &folderURL,
                                             velto::FileSystem &fileManager = velto::defaultFileSystem());

/// The same for a caller that already holds the folder's exclusive library lock (and has created its
/// library directories). Taking the lock again from the same process would wait for ever.
std::optional<std::filesystem::path> recoverWithoutLock(const VeltoSaveRequest &request,
                                                        const std::filesystem::path &folderURL,
                                                        velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
