#include "library/CausalPreference.h"
#include "library/DecodedFileCache.h"
#include "library/LibraryFolder.h"
#include "library/WriterStates.h"
#include "model/WriterEntryKey.h"

#include <algorithm>
#include <unordered_set>

namespace VeltoPageLibrary {

namespace {

using velto::Uuid;
using velto::VeltoDeletionTombstone;
using velto::VeltoWriterEntryKey;
using velto::VeltoWriterState;
using velto::VeltoWriterVersion;
using Relation = VeltoWriterVersion::CausalRelation;
using EntryKeys = std::unordered_set<VeltoWriterEntryKey, velto::VeltoWriterEntryKeyHash>;

VeltoWriterEntryKey keyOf(const velto::VeltoWriterPageMutation &mutation) {
    return {mutation.version.writerID, mutation.version.operationID, mutation.page.id};
}

VeltoWriterEntryKey keyOf(const velto::VeltoWriterDeletion &deletion) {
    return {deletion.version.writerID, deletion.version.operationID, deletion.pageID};
}

VeltoWriterEntryKey keyOf(const velto::VeltoWriterStructure &structure) {
    return {structure.version.writerID, structure.version.operationID, std::nullopt};
}

/// The keys of the causally maximal entries of each group.
template <typename Entry> EntryKeys maximalKeys(const std::map<Uuid, std::vector<Entry>> &groups) {
    EntryKeys keys;
    for (const auto &[groupKey, group] : groups) {
        for (const auto &entry : causallyMaximal(
                 group, [](const Entry &e) -> const auto & { return e.version; })) {
            keys.insert(keyOf(entry));
        }
    }
    return keys;
}

struct PreferredKeys {
    EntryKeys mutations;
    EntryKeys deletions;
    EntryKeys structures;
};

PreferredKeys preferredKeys(const std::vector<VeltoWriterState> &states) {
    JournalEntryGroups groups = groupedJournalEntries(states);
    std::map<Uuid, std::vector<velto::VeltoWriterStructure>> structures; // one group for the whole library
    if (!groups.structures.empty()) {
        structures.emplace(Uuid{}, std::move(groups.structures));
    }
    return {maximalKeys(groups.mutationsByPage), maximalKeys(groups.deletionsByPage), maximalKeys(structures)};
}

/// The recorded frontiers raised by every deletion that the index now represents: the deletions leave the
/// journals, and the frontier keeps what they had made known.
std::vector<velto::VeltoWriterHead>
deletionFrontier(const std::vector<VeltoWriterState> &states,
                 const std::map<Uuid, VeltoDeletionTombstone> &representedDeletions) {
    std::map<Uuid, std::uint64_t> frontier;
    for (const auto &state : states) {
        for (const auto &head : state.deletionFrontier.value_or(std::vector<velto::VeltoWriterHead>{})) {
            raiseHead(frontier, head.writerID, head.sequence);
        }
    }
    for (const auto &state : states) {
        for (const auto &deletion : state.deletions) {
            if (!representedDeletions.contains(deletion.pageID)) {
                continue;
            }
            raiseHead(frontier, deletion.version.writerID, deletion.version.sequence);
            for (const auto &head :
                 deletion.version.observedWriterHeads.value_or(std::vector<velto::VeltoWriterHead>{})) {
                raiseHead(frontier, head.writerID, head.sequence);
            }
        }
    }
    return headsFromMap(frontier);
}

/// A mutation survives a represented deletion only when it follows it or did not know of it.
bool survivesRepresentedDeletion(const velto::VeltoWriterPageMutation &mutation,
                                 const std::map<Uuid, VeltoDeletionTombstone> &representedDeletions) {
    auto tombstone = representedDeletions.find(mutation.page.id);
    if (tombstone == representedDeletions.end()) {
        return true;
    }
    auto relation = mutation.version.causalRelation(tombstone->second.version);
    return relation == Relation::follows || relation == Relation::concurrent;
}

VeltoWriterState compacted(const VeltoWriterState &state, const PreferredKeys &keys,
                           const std::map<Uuid, VeltoDeletionTombstone> &representedDeletions,
                           const std::optional<std::vector<velto::VeltoWriterHead>> &frontier) {
    VeltoWriterState result;
    result.writerID = state.writerID;
    for (const auto &mutation : state.pageMutations) {
        if (keys.mutations.contains(keyOf(mutation)) && survivesRepresentedDeletion(mutation, representedDeletions)) {
            result.pageMutations.push_back(mutation);
        }
    }
    for (const auto &deletion : state.deletions) {
        if (!representedDeletions.contains(deletion.pageID) && keys.deletions.contains(keyOf(deletion))) {
            result.deletions.push_back(deletion);
        }
    }
    if (state.structure && keys.structures.contains(keyOf(*state.structure))) {
        result.structure = state.structure;
    }
    result.deletionFrontier = frontier;
    return result;
}

bool isEmpty(const VeltoWriterState &state) {
    return state.pageMutations.empty() && state.deletions.empty() && !state.structure &&
           (!state.deletionFrontier || state.deletionFrontier->empty());
}

} // namespace

std::vector<VeltoWriterState> compactWriterStates(const std::vector<VeltoWriterState> &states,
                                                  const std::map<Uuid, VeltoDeletionTombstone> &representedDeletions,
                                                  const std::filesystem::path &folderURL,
                                                  velto::FileSystem &fileManager) {
    auto keys = preferredKeys(states);
    auto frontier = deletionFrontier(states, representedDeletions);
    std::optional<Uuid> frontierHolder;
    for (const auto &state : states) {
        if (!frontierHolder || state.writerID < *frontierHolder) {
            frontierHolder = state.writerID;
        }
    }
    std::vector<VeltoWriterState> result;
    for (const auto &state : states) {
        std::optional<std::vector<velto::VeltoWriterHead>> carriedFrontier;
        if (state.writerID == frontierHolder && !frontier.empty()) {
            carriedFrontier = frontier;
        }
        auto journal = compacted(state, keys, representedDeletions, carriedFrontier);
        auto file = writersDirectory(folderURL) / (state.writerID.lowercaseText() + ".json");
        if (isEmpty(journal)) {
            try {
                fileManager.removeItem(file);
            } catch (const velto::FileSystemError &) {
                // The next compaction meets the file again.
            }
            continue;
        }
        if (journal != state) {
            fileManager.createDirectories(writersDirectory(folderURL));
            writeJournal(file, journal, fileManager, true);
        }
        result.push_back(std::move(journal));
    }
    return result;
}

} // namespace VeltoPageLibrary
