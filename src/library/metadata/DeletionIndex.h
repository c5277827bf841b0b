#pragma once

#include "model/DeletionIndex.h"
#include "model/LibraryManifest.h"
#include "model/WriterState.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The deletion index: one tombstone per page deleted for good, so that no writer's journal brings the page
// back. It lives in sixteen shard files ".velto/deletions/v1-0.json" to "v1-f.json"; older libraries kept
// one tombstone per file in ".velto/tombstones". Everything here runs under the exclusive library lock.
namespace VeltoPageLibrary {

/// ".velto/deletions" of the folder.
std::filesystem::path deletionIndexDirectory(const std::filesystem::path &folderURL);

/// ".velto/tombstones" of the folder: the older one-tombstone-per-file form.
std::filesystem::path legacyTombstonesDirectory(const std::filesystem::path &folderURL);

/// The sixteen shard names, "0" to "9" and "a" to "f".
const std::set<std::string> &deletionShardNames();

/// The shard of a page: the first character of its identifier in lower case ("a" for A1B2…).
std::string deletionShardName(const velto::Uuid &pageID);

/// "v1-a.json" for the shard "a".
std::string deletionShardFileName(const std::string &shard);

/// One deletion shard's text decoded; a shard holding a page of another shard is invalid.
velto::VeltoDeletionIndexShard decodeDeletionIndexShard(const std::string &text);
/// One legacy tombstone's text decoded.
velto::VeltoDeletionTombstone decodeDeletionTombstone(const std::string &text);

/// The tombstones of every ".json" file of ".velto/deletions", whatever its name, in listing order; none
/// when the directory does not exist. A shard with an unknown name or a tombstone of another shard throws
/// LibraryMetadataError::invalidDeletionShard, a path that itself leads outside the folder (not a managed page file
/// name) unsafePagePath, a newer shard UnsupportedDeletionIndexSchemaError; read and decoding errors are thrown as
/// they come. A name that a link on disk leads out of the folder is read as any other: only its file is left out.
std::vector<velto::VeltoDeletionTombstone>
loadCanonicalDeletionTombstones(const std::filesystem::path &folderURL,
                                velto::FileSystem &fileManager = velto::defaultFileSystem());

/// One tombstone per ".json" file of ".velto/tombstones", its name checked as above; none when the directory does not
/// exist.
std::vector<velto::VeltoDeletionTombstone>
loadLegacyDeletionTombstones(const std::filesystem::path &folderURL,
                             velto::FileSystem &fileManager = velto::defaultFileSystem());

/// The tombstone in force for each page: the page's preferred tombstone, unless the page's preferred
/// mutation follows it or did not know of it (an edit after or beside a deletion brings the page back).
std::map<velto::Uuid, velto::VeltoDeletionTombstone>
activeDeletionTombstones(const std::vector<velto::VeltoDeletionTombstone> &tombstones,
                         const std::vector<velto::VeltoWriterState> &writerStates);

/// The tombstones of a save's removed pages: one for each removed page whose record in the manifest on
/// disk has content, at that record's file name, stamped with the save's version, with the checksum of the bytes
/// the save saw in the page's file (`seenFileChecksums`, by page; else the record's contentChecksum) as the proof of
/// that file's removal.
std::vector<velto::VeltoDeletionTombstone>
newDeletionTombstones(const std::map<velto::Uuid, std::uint64_t> &removedPageRevisions,
                      const std::optional<velto::VeltoLibraryManifest> &existingManifest,
                      const velto::VeltoWriterVersion &version,
                      const std::map<velto::Uuid, std::string> &seenFileChecksums = {});

/// Per page "path|writer|sequence|operation|observed heads" (identifiers in lower case, heads as
/// "writer:sequence" sorted and joined with ","): what the verification of a written index compares.
std::map<velto::Uuid, std::string>
deletionIndexSignatures(const std::map<velto::Uuid, velto::VeltoDeletionTombstone> &tombstones);

/// Writes the tombstones in force as shard files (a file only when its bytes change; an emptied shard's
/// file removed), reads the index back and checks that it says exactly the same
/// (LibraryMetadataError::incompleteDeletionIndex otherwise), then removes every other ".json" file of
/// the directory. Creates nothing for an empty map when the directory does not exist.
///
/// The read-back is judged with the journals the tombstones in force were chosen with. Without them, a
/// stale file under another name holding a tombstone that a later edit overrode would read back as in
/// force, fail the verification before the clean-up could remove it, and so fail every load and save
/// from then on.
void persistCanonicalDeletionIndex(const std::map<velto::Uuid, velto::VeltoDeletionTombstone> &activeTombstones,
                                   const std::filesystem::path &folderURL,
                                   velto::FileSystem &fileManager = velto::defaultFileSystem(),
                                   const std::vector<velto::VeltoWriterState> &writerStates = {});

} // namespace VeltoPageLibrary
