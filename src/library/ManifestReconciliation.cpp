#include "library/ManifestReconciliation.h"

#include "library/CausalPreference.h"
#include "library/PageFileNaming.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>

namespace VeltoPageLibrary {

namespace {

using velto::Uuid;
using velto::VeltoLibraryPageRecord;
using velto::VeltoWriterDeletion;
using velto::VeltoWriterPageMutation;
using velto::VeltoWriterStructure;
using Relation = velto::VeltoWriterVersion::CausalRelation;

template <typename Entry, typename IDOf>
std::map<Uuid, std::vector<Entry>> groupedByPage(const std::vector<Entry> &entries, IDOf idOf) {
    std::map<Uuid, std::vector<Entry>> groups;
    for (const auto &entry : entries) {
        groups[idOf(entry)].push_back(entry);
    }
    return groups;
}

template <typename Entry> std::map<Uuid, Entry> preferredPerPage(const std::map<Uuid, std::vector<Entry>> &groups) {
    std::map<Uuid, Entry> preferred;
    for (const auto &[pageID, group] : groups) {
        auto choice = preferredCausalValue(
            group, [](const Entry &entry) -> const auto & { return entry.version; });
        if (choice) {
            preferred.emplace(pageID, *choice);
        }
    }
    return preferred;
}

std::map<Uuid, VeltoWriterPageMutation> preferredMutations(const std::vector<velto::VeltoWriterState> &writerStates) {
    std::vector<VeltoWriterPageMutation> all;
    for (const auto &state : writerStates) {
        all.insert(all.end(), state.pageMutations.begin(), state.pageMutations.end());
    }
    return preferredPerPage(groupedByPage(all, [](const VeltoWriterPageMutation &m) { return m.page.id; }));
}

/// The journals' deletions and the tombstones compete alike: a tombstone is a deletion written down for good.
std::map<Uuid, VeltoWriterDeletion>
preferredDeletions(const std::vector<velto::VeltoWriterState> &writerStates,
                   const std::vector<velto::VeltoDeletionTombstone> &deletionTombstones) {
    std::vector<VeltoWriterDeletion> all;
    for (const auto &state : writerStates) {
        all.insert(all.end(), state.deletions.begin(), state.deletions.end());
    }
    for (const auto &tombstone : deletionTombstones) {
        all.push_back({tombstone.pageID, tombstone.version});
    }
    return preferredPerPage(groupedByPage(all, [](const VeltoWriterDeletion &d) { return d.pageID; }));
}

std::optional<VeltoWriterStructure> preferredStructure(const std::vector<velto::VeltoWriterState> &writerStates) {
    std::vector<VeltoWriterStructure> structures;
    for (const auto &state : writerStates) {
        if (state.structure) {
            structures.push_back(*state.structure);
        }
    }
    return preferredCausalValue(
        structures, [](const VeltoWriterStructure &structure) -> const auto & { return structure.version; });
}

/// Takes the page out of the table; its file, when it ever had text, must go too.
void removeDeletedPage(std::map<Uuid, VeltoLibraryPageRecord> &table, const VeltoLibraryPageRecord &record,
                       std::set<std::string> &pendingNames) {
    if (record.hasContent) {
        pendingNames.insert(pageFileName(record));
    }
    table.erase(record.id);
}

VeltoLibraryPageRecord currentRecord(const std::map<Uuid, VeltoLibraryPageRecord> &table,
                                     const std::optional<Uuid> &wantedID) {
    if (wantedID) {
        auto found = table.find(*wantedID);
        if (found != table.end()) {
            return found->second;
        }
    }
    std::vector<VeltoLibraryPageRecord> records;
    for (const auto &[id, record] : table) {
        records.push_back(record);
    }
    return *std::min_element(records.begin(), records.end(), recordActivityPrecedes);
}

} // namespace

std::optional<velto::VeltoLibraryManifest>
reconciledManifest(const std::optional<velto::VeltoLibraryManifest> &base,
                   const std::vector<velto::VeltoWriterState> &writerStates,
                   const std::vector<velto::VeltoDeletionTombstone> &deletionTombstones) {
    // Base records; a later record of one identifier replaces an earlier one.
    std::map<Uuid, VeltoLibraryPageRecord> table;
    if (base) {
        table[base->currentPage.id] = base->currentPage;
        for (const auto &record : base->pages) {
            table[record.id] = record;
        }
    }

    // The preferred entries of all journals.
    auto mutations = preferredMutations(writerStates);
    auto deletions = preferredDeletions(writerStates, deletionTombstones);
    auto structure = preferredStructure(writerStates);

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
    std::set<Uuid> survivingMutations;
    for (const auto &[pageID, mutation] : mutations) {
        auto deletion = deletions.find(pageID);
        if (deletion != deletions.end()) {
            auto relation = mutation.version.causalRelation(deletion->second.version);
            if (relation == Relation::precedes || relation == Relation::equal) {
                auto inTable = table.find(pageID);
                removeDeletedPage(table, inTable != table.end() ? inTable->second : mutation.page, pendingNames);
                continue;
            }
        }
        table[pageID] = mutation.page;
        survivingMutations.insert(pageID);
    }

    // Deletions that no later or concurrent mutation overrides.
    for (const auto &[pageID, deletion] : deletions) {
        if (survivingMutations.contains(pageID)) {
            continue;
        }
        auto inTable = table.find(pageID);
        if (inTable != table.end()) {
            VeltoLibraryPageRecord record = inTable->second;
            removeDeletedPage(table, record, pendingNames);
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
    std::set<Uuid> kept{result.currentPage.id};
    std::set<std::string> keptPaths{pageFileName(result.currentPage)};
    auto keep = [&](const VeltoLibraryPageRecord &record) {
        if (kept.insert(record.id).second && keptPaths.insert(pageFileName(record)).second) {
            result.pages.push_back(record);
        }
    };
    for (const auto &id : candidates) {
        auto found = table.find(id);
        if (found != table.end()) {
            keep(found->second);
        }
    }

    // Pages known to neither follow in identifier order (the map's order is the upper-case text order).
    for (const auto &[id, record] : table) {
        keep(record);
    }

    // The pending deletions.
    result.pendingDeletionFileNames.assign(pendingNames.begin(), pendingNames.end());
    return result;
}

} // namespace VeltoPageLibrary
