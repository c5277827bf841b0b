#pragma once

#include "model/DeletionIndex.h"
#include "model/Document.h"
#include "model/LibraryManifest.h"
#include "model/LibraryPageRecord.h"
#include "model/WriterState.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

// Every writer process keeps its own journal in ".velto/writers", one file named by its identifier in
// lower case: its latest state of each page it changed, its deletions, its page order and, on one
// journal, the deletion frontier. These operations run under the caller's exclusive library lock.
namespace VeltoPageLibrary {

/// ".velto/writers" of the folder.
std::filesystem::path writersDirectory(const std::filesystem::path &folderURL);

/// One journal's text decoded.
velto::VeltoWriterState decodeWriterState(const std::string &text);

/// Keeps the higher of the sequence held for the writer and `sequence`.
void raiseHead(std::map<velto::Uuid, std::uint64_t> &heads, const velto::Uuid &writerID, std::uint64_t sequence);

/// The heads of the map in its order, which is byte order: the order of the identifiers' upper-case texts.
std::vector<velto::VeltoWriterHead> headsFromMap(const std::map<velto::Uuid, std::uint64_t> &heads);

/// The entries of several journals, grouped: mutations and deletions by page, and all structures. The groups
/// point into the journals, which outlive them: a large library's journals hold ten thousand entries, each
/// with a page record, grouped on every save.
struct JournalEntryGroups {
    std::map<velto::Uuid, std::vector<const velto::VeltoWriterPageMutation *>> mutationsByPage;
    std::map<velto::Uuid, std::vector<const velto::VeltoWriterDeletion *>> deletionsByPage;
    std::vector<const velto::VeltoWriterStructure *> structures;
};
JournalEntryGroups groupedJournalEntries(const std::vector<velto::VeltoWriterState> &states);

/// The records of the current page followed by those of the other pages, in document order.
std::vector<velto::VeltoLibraryPageRecord> records(const velto::VeltoDocument &document);

/// One head per writer met anywhere in the states (the writer of every version, every head a version had
/// observed, every frontier head) with the highest sequence met, sorted by writer identifier. What a writer
/// has observed is passed on: a new version's heads cover everything its predecessors had seen.
std::vector<velto::VeltoWriterHead> writerHeads(const std::vector<velto::VeltoWriterState> &states);

/// Several journal files of one writer folded into one journal: the preferred mutation and deletion per
/// page (sorted by page identifier), the preferred structure, and the highest frontier head per writer.
velto::VeltoWriterState mergedWriterState(const std::vector<velto::VeltoWriterState> &states,
                                          const velto::Uuid &writerID);

/// Every journal of the folder, one per writer, sorted by writer identifier. A writer found in several
/// files (a copy made by a sync, a file under another name) is merged into its canonical file and the
/// other files removed. Throws before changing anything when a file cannot be read or decoded, or names a
/// page path outside the folder (LibraryMetadataError::unsafePagePath).
/// Decodes the journals into the process's cache, where loadWriterStates takes them if their files are still
/// the same, and forgets any failure: that load meets it again. A large library's journals are megabytes of
/// JSON, which a load can decode on another thread while it reads the manifest.
void decodeWriterStatesAhead(const std::filesystem::path &folderURL, velto::FileSystem &fileManager);

std::vector<velto::VeltoWriterState> loadWriterStates(const std::filesystem::path &folderURL,
                                                      velto::FileSystem &fileManager = velto::defaultFileSystem());

/// The journals with only the entries that still decide the library: per page the causally maximal
/// mutations and deletions, the causally maximal structures, no deletion the index already holds and no
/// mutation such a deletion overrides. The deletions moved into the index raise the deletion frontier,
/// which only the journal with the smallest writer identifier carries. Changed journals are rewritten,
/// emptied ones removed (and left out of the result); the rest keep their input order. The journals are
/// compacted where they are, so that one that keeps every entry is neither copied nor compared.
std::vector<velto::VeltoWriterState>
compactWriterStates(std::vector<velto::VeltoWriterState> states,
                    const std::map<velto::Uuid, velto::VeltoDeletionTombstone> &representedDeletions,
                    const std::filesystem::path &folderURL,
                    velto::FileSystem &fileManager = velto::defaultFileSystem());

/// The stamp of this writer's next save. Its sequence follows the highest sequence of this writer found
/// anywhere in the observed journals (its own, and the heads and frontiers of every other), so that a
/// writer whose journal compaction removed never numbers a newer save at or below an older one. Its time
/// follows the writer's latest recorded time by 0.000001 s when the clock went back.
velto::VeltoWriterVersion newWriterVersion(const velto::Uuid &writerID, const velto::Uuid &operationID,
                                           velto::Date requestedAt,
                                           const std::vector<velto::VeltoWriterState> &observedWriterStates);

/// Starts a new writer for a manifest rebuilt from the Markdown files: one version (sequence 1, observing
/// every existing writer, recorded no earlier than just after the latest existing version) that records
/// every page of the manifest, its page order and, as frontier, the heads of the existing journals.
void persistRebuildWriterState(const velto::VeltoLibraryManifest &manifest,
                               const std::vector<velto::VeltoWriterState> &existingWriterStates,
                               const std::filesystem::path &folderURL,
                               velto::FileSystem &fileManager = velto::defaultFileSystem(),
                               const velto::Clock &clock = velto::systemClock());

} // namespace VeltoPageLibrary
