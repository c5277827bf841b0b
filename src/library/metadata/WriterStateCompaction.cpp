#include "library/folder/LibraryFolder.h"
#include "library/metadata/CausalPreference.h"
#include "library/metadata/DecodedFileCache.h"
#include "library/metadata/WriterStates.h"
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
template <typename Entry> EntryKeys maximalKeys(const std::map<Uuid, std::vector<const Entry *>> &groups) {
    EntryKeys keys;
    for (const auto &[groupKey, group] : groups) {
        for (const Entry *entry :
             causallyMaximal(group, [](const Entry *e) -> const VeltoWriterVersion & { return e->version; })) {
            keys.insert(keyOf(*entry));
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
    std::map<Uuid, std::vector<const velto::VeltoWriterStructure *>> structures; // one group for the whole library
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

/// Leaves in the journal only the entries that still decide the library, and gives it the frontier it
/// carries; tells whether that changed it. Entries keep their order.
bool compactInPlace(VeltoWriterState &state, const PreferredKeys &keys,
                    const std::map<Uuid, VeltoDeletionTombstone> &representedDeletions,
                    const std::optional<std::vector<velto::VeltoWriterHead>> &frontier) {
    auto droppedMutations = std::erase_if(state.pageMutations, [&](const velto::VeltoWriterPageMutation &mutation) {
        return !keys.mutations.contains(keyOf(mutation)) ||
               !survivesRepresentedDeletion(mutation, representedDeletions);
    });
    auto droppedDeletions = std::erase_if(state.deletions, [&](const velto::VeltoWriterDeletion &deletion) {
        return representedDeletions.contains(deletion.pageID) || !keys.deletions.contains(keyOf(deletion));
    });
    bool dropsStructure = state.structure && !keys.structures.contains(keyOf(*state.structure));
    if (dropsStructure) {
        state.structure.reset();
    }
    bool changesFrontier = state.deletionFrontier != frontier;
    state.deletionFrontier = frontier;
    return droppedMutations > 0 || droppedDeletions > 0 || dropsStructure || changesFrontier;
}

bool isEmpty(const VeltoWriterState &state) {
    return state.pageMutations.empty() && state.deletions.empty() && !state.structure &&
           (!state.deletionFrontier || state.deletionFrontier->empty());
}

} // namespace

std::vector<VeltoWriterState> compactWriterStates(std::vector<VeltoWriterState> states,
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
    for (auto &journal : states) {
        std::optional<std::vector<velto::VeltoWriterHead>> carriedFrontier;
        if (journal.writerID == frontierHolder && !frontier.empty()) {
            carriedFrontier = frontier;
        }
        bool changed = compactInPlace(journal, keys, representedDeletions, carriedFrontier);
        auto file = writersDirectory(folderURL) / (journal.writerID.lowercaseText() + ".json");
        if (isEmpty(journal)) {
            try {
                fileManager.removeItem(file);
            } catch (const velto::FileSystemError &) {
                // The next compaction meets the file again.
            }
            continue;
        }
        if (changed) {
            fileManager.createDirectories(writersDirectory(folderURL));
            writeJournal(file, journal, fileManager, true);
        }
        result.push_back(std::move(journal));
    }
    return result;
}

} // namespace VeltoPageLibrary
