#pragma once

#include "model/DeletionIndex.h"
#include "model/LibraryManifest.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

// The page files of deleted pages still to be removed, listed in the manifest's pendingDeletionFileNames
// and tried again at every write, and the clean-up of older tombstone files once the index holds them.
namespace VeltoPageLibrary {

/// Removes a file; throws when it cannot.
using RemoveOperation = std::function<void(const std::filesystem::path &url)>;

/// The manifest of a write: schema 3, the base's checkpoint, current page and pages, and as pending
/// deletions the base's names together with each tombstone's file when that file still carries the
/// tombstone's page identifier; each name once, sorted. A file that cannot be read as UTF-8 text is not
/// listed (the retry would only drop it again), so a broken file never makes every later save fail.
/// A tombstone path outside the folder throws LibraryMetadataError::unsafePagePath.
velto::VeltoLibraryManifest manifest(const velto::VeltoLibraryManifest &base,
                                     const std::vector<velto::VeltoDeletionTombstone> &including,
                                     const std::filesystem::path &folderURL,
                                     velto::FileSystem &fileManager = velto::defaultFileSystem());

/// Tries to remove each pending file, in order, and returns the names still pending. A name is dropped
/// without removing anything when it is not a managed page file name, lies outside the folder, has no file,
/// has no tombstone in force, cannot be read as UTF-8 text, or now carries another page's identifier (the
/// name belongs to another page). A removal that fails keeps its name for the next write. Never throws.
std::vector<std::string>
retryPendingDeletions(const std::vector<std::string> &pendingFileNames, const std::filesystem::path &folderURL,
                      velto::FileSystem &fileManager,
                      const std::map<velto::Uuid, velto::VeltoDeletionTombstone> &activeTombstones,
                      const RemoveOperation &removeItem);

/// Whether the folder's manifest may list pending deletions, told from its bytes without decoding a large
/// library's records: false when it lists none for sure, or cannot be read (there is nothing to retry then).
/// The retry itself decides from the decoded manifest.
bool mayListPendingDeletions(const std::filesystem::path &folderURL,
                             velto::FileSystem &fileManager = velto::defaultFileSystem());

/// Removes each file of ".velto/tombstones" whose tombstone the index already represents (the represented
/// tombstone is preferred over it, or equal); a file whose page has no tombstone in force, or whose own
/// tombstone would be preferred, stays. Read, decoding and removal errors are thrown.
void removeMigratedLegacyDeletionTombstones(
    const std::map<velto::Uuid, velto::VeltoDeletionTombstone> &representedTombstones,
    const std::filesystem::path &folderURL, velto::FileSystem &fileManager = velto::defaultFileSystem());

} // namespace VeltoPageLibrary
