#include "library/metadata/ManifestReconciliation.h"

#include "library/folder/PageFileNaming.h"
#include "library/metadata/CausalPreference.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <unordered_set>

namespace VeltoPageLibrary {

namespace {

using velto::Uuid;
using velto::VeltoLibraryPageRecord;
using velto::VeltoWriterDeletion;
using velto::VeltoWriterPageMutation;
using velto::VeltoWriterStructure;
using Relation = velto::VeltoWriterVersion::CausalRelation;

// The records and entries are looked at where they are, in the base and the journals, which outlive the
// reconciliation: a library of ten thousand pages is not copied into tables and groups on every save.
using RecordTable = std::map<Uuid, const VeltoLibraryPageRecord *>;

template <typename Entry, typename IDOf>
std::map<Uuid, std::vector<const Entry *>> groupedByPage(const std::vector<const Entry *> &entries, IDOf idOf) {
    std::map<Uuid, std::vector<const Entry *>> groups;
    for (const Entry *entry : entries) {
        groups[idOf(*entry)].push_back(entry);
    }
    return groups;
}

template <typename Entry>
std::map<Uuid, const Entry *> preferredPerPage(const std::map<Uuid, std::vector<const Entry *>> &groups) {
    std::map<Uuid, const Entry *> preferred;
    for (const auto &[pageID, group] : groups) {
        auto choice = preferredCausalValue(
            group, [](const Entry *entry) -> const auto & { return entry->version; });
        if (choice) {
            preferred.emplace(pageID, *choice);
        }
    }
    return preferred;
}

std::map<Uuid, const VeltoWriterPageMutation *>
preferredMutations(const std::vector<velto::VeltoWriterState> &writerStates) {
    std::vector<const VeltoWriterPageMutation *> all;
    for (const auto &state : writerStates) {
        for (const auto &mutation : state.pageMutations) {
            all.push_back(&mutation);
        }
    }
    return preferredPerPage(groupedByPage(all, [](const VeltoWriterPageMutation &m) { return m.page.id; }));
}

/// The journals' deletions and the tombstones compete alike: a tombstone is a deletion written down for good.
/// `tombstoneDeletions` holds the tombstones as deletions, for the result to point into.
std::map<Uuid, const VeltoWriterDeletion *>
preferredDeletions(const std::vector<velto::VeltoWriterState> &writerStates,
                   const std::vector<velto::VeltoDeletionTombstone> &deletionTombstones,
                   std::vector<VeltoWriterDeletion> &tombstoneDeletions) {
    tombstoneDeletions.clear();
    tombstoneDeletions.reserve(deletionTombstones.size());
    for (const auto &tombstone : deletionTombstones) {
        tombstoneDeletions.push_back({tombstone.pageID, tombstone.version});
    }
    std::vector<const VeltoWriterDeletion *> all;
    for (const auto &state : writerStates) {
        for (const auto &deletion : state.deletions) {
            all.push_back(&deletion);
        }
    }
    for (const auto &deletion : tombstoneDeletions) {
        all.push_back(&deletion);
    }
    return preferredPerPage(groupedByPage(all, [](const VeltoWriterDeletion &d) { return d.pageID; }));
}

const VeltoWriterStructure *preferredStructure(const std::vector<velto::VeltoWriterState> &writerStates) {
    std::vector<const VeltoWriterStructure *> structures;
    for (const auto &state : writerStates) {
        if (state.structure) {
            structures.push_back(&*state.structure);
        }
    }
    auto preferred = preferredCausalValue(
        structures, [](const VeltoWriterStructure *structure) -> const auto & { return structure->version; });
    return preferred ? *preferred : nullptr;
}

/// Takes the page out of the table; its file, when it ever had text, must go too.
void removeDeletedPage(RecordTable &table, const VeltoLibraryPageRecord &record, std::set<std::string> &pendingNames) {
    if (record.hasContent) {
        pendingNames.insert(pageFileName(record));
    }
    table.erase(record.id);
}

const VeltoLibraryPageRecord &currentRecord(const RecordTable &table, const std::optional<Uuid> &wantedID) {
    if (wantedID) {
        auto found = table.find(*wantedID);
        if (found != table.end()) {
            return *found->second;
        }
    }
    // The first of the most recently active, in identifier order.
    const VeltoLibraryPageRecord *best = nullptr;
    for (const auto &[id, record] : table) {
        if (best == nullptr || recordActivityPrecedes(*record, *best)) {
            best = record;
        }
    }
    return *best;
}

} // namespace

std::optional<velto::VeltoLibraryManifest>
reconciledManifest(const std::optional<velto::VeltoLibraryManifest> &base,
                   const std::vector<velto::VeltoWriterState> &writerStates,
                   const std::vector<velto::VeltoDeletionTombstone> &deletionTombstones) {
    // Base records; a later record of one identifier replaces an earlier one.
    RecordTable table;
    if (base) {
        table[base->currentPage.id] = &base->currentPage;
        for (const auto &record : base->pages) {
            table[record.id] = &record;
        }
    }

    // The preferred entries of all journals.
    auto mutations = preferredMutations(writerStates);
    std::vector<VeltoWriterDeletion> tombstoneDeletions;
    auto deletions = preferredDeletions(writerStates, deletionTombstones, tombstoneDeletions);
    const VeltoWriterStructure *structure = preferredStructure(writerStates);

    // Pending names from the base, only names the library manages.
    std::set<std::string> pendingNames;
    if (base) {
        for (const auto &name : base->pendingDeletionFileNames) {
            if (isManagedPageFileName(name)) {
                pendingNames.insert(name);
            }
        }
    }

    // A mutation that precedes or equals the deletion of its page loses to it; any other mutation is the
    // page's record.
    std::unordered_set<Uuid, velto::UuidHash> survivingMutations;
    survivingMutations.reserve(mutations.size());
    for (const auto &[pageID, mutation] : mutations) {
        auto deletion = deletions.find(pageID);
        if (deletion != deletions.end()) {
            auto relation = mutation->version.causalRelation(deletion->second->version);
            if (relation == Relation::precedes || relation == Relation::equal) {
                auto inTable = table.find(pageID);
                removeDeletedPage(table, inTable != table.end() ? *inTable->second : mutation->page, pendingNames);
                continue;
            }
        }
        table[pageID] = &mutation->page;
        survivingMutations.insert(pageID);
    }

    // Deletions that no later or concurrent mutation overrides.
    for (const auto &[pageID, deletion] : deletions) {
        if (survivingMutations.contains(pageID)) {
            continue;
        }
        auto inTable = table.find(pageID);
        if (inTable != table.end()) {
            removeDeletedPage(table, *inTable->second, pendingNames);
        }
    }

    // No page anywhere: no library.
    if (table.empty()) {
        return std::nullopt;
    }

    // The current page: the preferred structure's, else the base's, else the most recently active.
    std::optional<Uuid> wantedID;
    if (structure) {
        wantedID = structure->currentPageID;
    } else if (base) {
        wantedID = base->currentPage.id;
    }
    velto::VeltoLibraryManifest result;
    result.schemaVersion = velto::VeltoLibraryManifest::currentSchemaVersion;
    result.reconciliationCheckpoint = base ? base->reconciliationCheckpoint : std::nullopt;
    result.currentPage = currentRecord(table, wantedID);

    // The page order: the structure's, then the base's, skipping what is gone, current or seen.
    std::vector<Uuid> candidates;
    if (structure) {
        candidates.reserve(structure->orderedPageIDs.size() + (base ? base->pages.size() + 1 : 0));
        candidates = structure->orderedPageIDs;
    }
    if (base) {
        candidates.push_back(base->currentPage.id);
        for (const auto &record : base->pages) {
            candidates.push_back(record.id);
        }
    }
    // One file is one page: a later record of a path that an earlier one holds (a journal that kept an
    // identifier the file lost) is left out, or the file's text would load twice.
    result.pages.reserve(table.size());
    std::unordered_set<Uuid, velto::UuidHash> kept;
    std::unordered_set<std::string> keptPaths;
    kept.reserve(table.size());
    keptPaths.reserve(table.size());
    kept.insert(result.currentPage.id);
    keptPaths.insert(pageFileName(result.currentPage));
    auto keep = [&](const VeltoLibraryPageRecord &record) {
        if (kept.insert(record.id).second && keptPaths.insert(pageFileName(record)).second) {
            result.pages.push_back(record);
        }
    };
    for (const auto &id : candidates) {
        auto found = table.find(id);
        if (found != table.end()) {
            keep(*found->second);
        }
    }

    // Pages known to neither follow in identifier order (the map's order is the upper-case text order).
    for (const auto &[id, record] : table) {
        keep(*record);
    }

    // The pending deletions.
    result.pendingDeletionFileNames.assign(pendingNames.begin(), pendingNames.end());
    return result;
}

} // namespace VeltoPageLibrary
