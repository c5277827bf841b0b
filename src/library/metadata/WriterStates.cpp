#include "library/metadata/WriterStates.h"

#include "library/folder/LibraryFolder.h"
#include "library/folder/PageFileLocation.h"
#include "library/folder/PageFileNaming.h"
#include "library/metadata/CausalPreference.h"
#include "library/metadata/DecodedFileCache.h"
#include "library/metadata/ManifestReading.h"

#include <algorithm>
#include <chrono>
#include <set>

namespace VeltoPageLibrary {

namespace {

using velto::Uuid;
using velto::VeltoWriterState;
using velto::VeltoWriterVersion;

/// Every version recorded in a journal: its mutations', its deletions' and its structure's.
std::vector<const VeltoWriterVersion *> versionsIn(const VeltoWriterState &state) {
    std::vector<const VeltoWriterVersion *> versions;
    for (const auto &mutation : state.pageMutations) {
        versions.push_back(&mutation.version);
    }
    for (const auto &deletion : state.deletions) {
        versions.push_back(&deletion.version);
    }
    if (state.structure) {
        versions.push_back(&state.structure->version);
    }
    return versions;
}

/// The version of a grouped entry.
constexpr auto versionOfEntry = [](const auto *entry) -> const VeltoWriterVersion & { return entry->version; };

/// The preferred entry of each group, in the groups' key order.
template <typename Entry>
std::vector<Entry> preferredPerGroup(const std::map<Uuid, std::vector<const Entry *>> &groups) {
    std::vector<Entry> preferred;
    for (const auto &[key, group] : groups) {
        if (auto entry = preferredCausalValue(group, versionOfEntry)) {
            preferred.push_back(**entry);
        }
    }
    return preferred;
}

std::filesystem::path canonicalWriterFile(const std::filesystem::path &folderURL, const Uuid &writerID) {
    return writersDirectory(folderURL) / (writerID.lowercaseText() + ".json");
}

bool isSameFile(const std::filesystem::path &a, const std::filesystem::path &b, velto::FileSystem &fileManager) {
    if (a == b) {
        return true;
    }
    // On a file system that ignores letter case, "ABC.json" and "abc.json" are one file.
    try {
        auto statusOfA = fileManager.status(a, false);
        auto statusOfB = fileManager.status(b, false);
        return statusOfA && statusOfB && statusOfA->device == statusOfB->device && statusOfA->inode == statusOfB->inode;
    } catch (const velto::FileSystemError &) {
        return false;
    }
}

struct JournalFile {
    std::filesystem::path url;
    VeltoWriterState state;
};

/// Refuses a journal that names a page file outside the folder before anything is merged or removed.
void checkPagePaths(const std::vector<JournalFile> &files, const std::filesystem::path &folderURL,
                    velto::FileSystem &fileManager) {
    std::set<std::string> names;
    for (const auto &file : files) {
        for (const auto &mutation : file.state.pageMutations) {
            names.insert(pageFileName(mutation.page));
        }
    }
    validatePageFileNames(names, folderURL, fileManager);
}

template <typename Entry, typename KeyOf> bool isInStrictKeyOrder(const std::vector<Entry> &entries, KeyOf keyOf) {
    for (std::size_t index = 1; index < entries.size(); ++index) {
        if (!(keyOf(entries[index - 1]) < keyOf(entries[index]))) {
            return false;
        }
    }
    return true;
}

/// Whether merging the journal on its own gives it back unchanged: one entry per page in page order and a
/// frontier, if any, of one head per writer in writer order. A writer's canonical journal is written so, and
/// in a large library it holds thousands of entries that need not be grouped and chosen again on every save.
bool isMergedAlready(const VeltoWriterState &state) {
    return isInStrictKeyOrder(state.pageMutations, [](const auto &m) -> const Uuid & { return m.page.id; }) &&
           isInStrictKeyOrder(state.deletions, [](const auto &d) -> const Uuid & { return d.pageID; }) &&
           (!state.deletionFrontier ||
            (!state.deletionFrontier->empty() &&
             isInStrictKeyOrder(*state.deletionFrontier, [](const auto &h) -> const Uuid & { return h.writerID; })));
}

/// Merges one writer's files into its canonical file and removes the others.
void storeCanonicalJournal(const Uuid &writerID, const std::vector<JournalFile> &files, const VeltoWriterState &merged,
                           const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    auto canonical = canonicalWriterFile(folderURL, writerID);
    if (files.size() == 1 && files.front().url == canonical && files.front().state == merged) {
        return;
    }
    writeJournal(canonical, merged, fileManager, true);
    for (const auto &file : files) {
        if (isSameFile(file.url, canonical, fileManager)) {
            continue;
        }
        try {
            fileManager.removeItem(file.url);
        } catch (const velto::FileSystemError &) {
            // The next load meets the file again and merges it once more.
        }
    }
}

} // namespace

std::filesystem::path writersDirectory(const std::filesystem::path &folderURL) {
    return metadataDirectory(folderURL) / "writers";
}

std::vector<velto::VeltoLibraryPageRecord> records(const velto::VeltoDocument &document) {
    std::vector<velto::VeltoLibraryPageRecord> result;
    result.reserve(document.pages.size() + 1);
    result.push_back(velto::VeltoLibraryPageRecord::fromPage(document.currentPage));
    for (const auto &page : document.pages) {
        result.push_back(velto::VeltoLibraryPageRecord::fromPage(page));
    }
    return result;
}

std::vector<velto::VeltoWriterHead> writerHeads(const std::vector<VeltoWriterState> &states) {
    std::map<Uuid, std::uint64_t> heads;
    for (const auto &state : states) {
        for (const auto *version : versionsIn(state)) {
            raiseHead(heads, version->writerID, version->sequence);
            for (const auto &head : version->observedWriterHeads.value_or(std::vector<velto::VeltoWriterHead>{})) {
                raiseHead(heads, head.writerID, head.sequence);
            }
        }
        for (const auto &head : state.deletionFrontier.value_or(std::vector<velto::VeltoWriterHead>{})) {
            raiseHead(heads, head.writerID, head.sequence);
        }
    }
    return headsFromMap(heads);
}

void raiseHead(std::map<Uuid, std::uint64_t> &heads, const Uuid &writerID, std::uint64_t sequence) {
    auto [entry, inserted] = heads.try_emplace(writerID, sequence);
    if (!inserted) {
        entry->second = std::max(entry->second, sequence);
    }
}

std::vector<velto::VeltoWriterHead> headsFromMap(const std::map<Uuid, std::uint64_t> &heads) {
    std::vector<velto::VeltoWriterHead> result;
    for (const auto &[writerID, sequence] : heads) {
        result.push_back({writerID, sequence});
    }
    return result;
}

JournalEntryGroups groupedJournalEntries(const std::vector<VeltoWriterState> &states) {
    JournalEntryGroups groups;
    for (const auto &state : states) {
        for (const auto &mutation : state.pageMutations) {
            groups.mutationsByPage[mutation.page.id].push_back(&mutation);
        }
        for (const auto &deletion : state.deletions) {
            groups.deletionsByPage[deletion.pageID].push_back(&deletion);
        }
        if (state.structure) {
            groups.structures.push_back(&*state.structure);
        }
    }
    return groups;
}

VeltoWriterState mergedWriterState(const std::vector<VeltoWriterState> &states, const Uuid &writerID) {
    JournalEntryGroups groups = groupedJournalEntries(states);
    std::map<Uuid, std::uint64_t> frontier;
    for (const auto &state : states) {
        for (const auto &head : state.deletionFrontier.value_or(std::vector<velto::VeltoWriterHead>{})) {
            raiseHead(frontier, head.writerID, head.sequence);
        }
    }
    VeltoWriterState merged;
    merged.writerID = writerID;
    merged.pageMutations = preferredPerGroup(groups.mutationsByPage);
    merged.deletions = preferredPerGroup(groups.deletionsByPage);
    if (auto structure = preferredCausalValue(groups.structures, versionOfEntry)) {
        merged.structure = **structure;
    }
    if (!frontier.empty()) {
        merged.deletionFrontier = headsFromMap(frontier);
    }
    return merged;
}

VeltoWriterState decodeWriterState(const std::string &text) {
    return VeltoWriterState::decode(text);
}

void decodeWriterStatesAhead(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    try {
        for (const auto &url : jsonFiles(writersDirectory(folderURL), fileManager)) {
            decodedJournals().prepare(url, fileManager.readFile(url, largestMetadataFileBytes), decodeWriterState);
        }
    } catch (...) {
        // The load reads every journal again and reports what is wrong with it.
    }
}

std::vector<VeltoWriterState> loadWriterStates(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    std::vector<JournalFile> files;
    for (const auto &url : jsonFiles(writersDirectory(folderURL), fileManager)) {
        auto decode = [&url](std::string text) {
            return decodedJournals().decoded(url, std::move(text), decodeWriterState);
        };
        files.push_back({url, decodeMetadataFile(url, fileManager, decode)});
    }
    checkPagePaths(files, folderURL, fileManager);

    std::map<Uuid, std::vector<JournalFile>> filesByWriter;
    for (auto &file : files) {
        filesByWriter[file.state.writerID].push_back(std::move(file));
    }
    std::vector<VeltoWriterState> merged;
    for (auto &[writerID, group] : filesByWriter) {
        if (group.size() == 1 && group.front().url == canonicalWriterFile(folderURL, writerID) &&
            isMergedAlready(group.front().state)) {
            merged.push_back(std::move(group.front().state));
            continue;
        }
        std::vector<VeltoWriterState> states;
        for (const auto &file : group) {
            states.push_back(file.state);
        }
        auto journal = mergedWriterState(states, writerID);
        storeCanonicalJournal(writerID, group, journal, folderURL, fileManager);
        merged.push_back(std::move(journal));
    }
    return merged; // in writer identifier order, the map's order
}

VeltoWriterVersion newWriterVersion(const Uuid &writerID, const Uuid &operationID, velto::Date requestedAt,
                                    const std::vector<VeltoWriterState> &observedWriterStates) {
    auto heads = writerHeads(observedWriterStates);
    std::uint64_t highestSequence = 0;
    for (const auto &head : heads) {
        if (head.writerID == writerID) {
            highestSequence = head.sequence;
        }
    }
    std::optional<velto::Date> latest;
    for (const auto &state : observedWriterStates) {
        for (const auto *version : versionsIn(state)) {
            if (version->writerID == writerID && (!latest || version->recordedAt > *latest)) {
                latest = version->recordedAt;
            }
        }
    }
    VeltoWriterVersion version;
    version.writerID = writerID;
    version.sequence = highestSequence + 1;
    version.recordedAt = requestedAt;
    if (latest && *latest + std::chrono::microseconds(1) >= requestedAt) {
        version.recordedAt = *latest + std::chrono::microseconds(1);
    }
    version.operationID = operationID;
    version.observedWriterHeads = heads;
    return version;
}

void persistRebuildWriterState(const velto::VeltoLibraryManifest &manifest,
                               const std::vector<VeltoWriterState> &existingWriterStates,
                               const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                               const velto::Clock &clock) {
    velto::Date recordedAt = clock.now();
    for (const auto &state : existingWriterStates) {
        for (const auto *version : versionsIn(state)) {
            recordedAt = std::max(recordedAt, version->recordedAt + std::chrono::microseconds(1));
        }
    }
    auto heads = writerHeads(existingWriterStates);
    VeltoWriterVersion version;
    version.writerID = Uuid::random();
    version.sequence = 1;
    version.recordedAt = recordedAt;
    version.operationID = Uuid::random();
    version.observedWriterHeads = heads;

    VeltoWriterState state;
    state.writerID = version.writerID;
    velto::VeltoWriterStructure structure;
    structure.currentPageID = manifest.currentPage.id;
    structure.version = version;
    state.pageMutations.push_back({manifest.currentPage, version});
    structure.orderedPageIDs.push_back(manifest.currentPage.id);
    for (const auto &record : manifest.pages) {
        state.pageMutations.push_back({record, version});
        structure.orderedPageIDs.push_back(record.id);
    }
    state.structure = structure;
    state.deletionFrontier = heads;

    fileManager.createDirectories(writersDirectory(folderURL));
    writeJournal(canonicalWriterFile(folderURL, version.writerID), state, fileManager, false);
}

} // namespace VeltoPageLibrary
