#pragma once

#include "library/removal/FileRemoval.h"
#include "library/save/SaveResult.h"
#include "model/DeletionIndex.h"
#include "model/LibraryManifest.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The page files of deleted pages still to be removed, listed in the manifest's pendingDeletionFileNames
// and tried again at every write, and the clean-up of older tombstone files once the index holds them.
namespace VeltoPageLibrary {

/// The manifest of a write: schema 3, the base's checkpoint, current page and pages, and as pending
/// deletions the base's names together with each tombstone's file that this save's check proves
/// (`checkedFileChecksums`, by page: the checksums of what it read, or of the store's baseline) or that still
/// carries the tombstone's page identifier; each name once, sorted. Before it returns, the proof of each listed file is
/// noted in the folder's metadata: the bytes its deletion saw (this save's check, else the tombstone's
/// removedFileChecksum), never the bytes a later save finds there, so that a line another program added since is kept
/// as a conflict copy instead of going with the file. A file whose deletion saw no bytes is listed without a note: it
/// is never removed, and its text is kept as a conflict copy. Another file that cannot be read as UTF-8 text is not
/// listed (the retry would only drop it again), so a broken file never makes every later save fail; nor is one that a
/// link on disk leads out of the folder, round in a loop or to nothing. A tombstone path that itself leads outside the
/// folder throws LibraryMetadataError::unsafePagePath; a note that cannot be written throws.
velto::VeltoLibraryManifest manifest(const velto::VeltoLibraryManifest &base,
                                     const std::vector<velto::VeltoDeletionTombstone> &including,
                                     const std::filesystem::path &folderURL,
                                     velto::FileSystem &fileManager = velto::defaultFileSystem(),
                                     const std::map<velto::Uuid, std::string> &checkedFileChecksums = {});

/// Tries to remove each pending file, in order, and returns the names still pending. A name is dropped
/// without removing anything when it is not a managed page file name, lies outside the folder, has no regular file,
/// has no tombstone in force, cannot be read as UTF-8 text, or now carries another page's identifier (the
/// name belongs to another page). A file goes only while, at the moment it is taken away, it carries its page and
/// holds the bytes its deletion saw (the tombstone's removedFileChecksum, else the note made when it was listed); a
/// file without such a proof never goes. One that another program wrote into since (keeping the page's identifier, or
/// writing none), or whose deletion saw no bytes, is kept as a conflict copy, which goes into `keptConflicts` when
/// given, under the deleted page, so that the save that made it tells the user; so is a file that its removal had to
/// keep under a "(kept …)" name beside another file that came to its name. A removal that fails keeps its name and its
/// note for the next write. Without `removeItem` the file manager reads, proves and removes each file in one step; an
/// injected removal removes it right after its bytes are proven. Never throws.
std::vector<std::string>
retryPendingDeletions(const std::vector<std::string> &pendingFileNames, const std::filesystem::path &folderURL,
                      velto::FileSystem &fileManager,
                      const std::map<velto::Uuid, velto::VeltoDeletionTombstone> &activeTombstones,
                      const RemoveOperation &removeItem = {}, std::vector<VeltoSaveConflict> *keptConflicts = nullptr);

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
