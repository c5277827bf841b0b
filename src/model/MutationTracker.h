#pragma once

#include "model/Document.h"
#include "platform/Uuid.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>

namespace velto {

/// The changes of the store's document since the last durable save, each stamped with the revision at
/// which it last happened. A save request carries a copy; once that save is durable exactly the entries
/// it carried are discarded, and changes made meanwhile (higher revisions) stay pending.
struct VeltoMutationTracker {
    std::uint64_t revision = 0;
    std::map<Uuid, std::uint64_t> changedPageRevisions;         // added or changed pages
    std::map<Uuid, std::uint64_t> archiveMetadataPageRevisions; // changed pages whose change was archive-only
    std::map<Uuid, std::uint64_t> removedPageRevisions;         // pages that left the document
    std::optional<std::uint64_t> structureRevision;             // current page or page order changed

    /// Empties the tracker after a load (keeping the revision counter when asked) and, when the load
    /// repaired anything, marks the structure and the repaired pages so that the next save writes them.
    void reset(const std::optional<Uuid> &createdPageID, const std::set<Uuid> &externallyChangedPageIDs,
               const std::set<Uuid> &externallyRemovedPageIDs, bool preservingRevision);
    void reset(bool preservingRevision);

    /// The same for a load's structure repair (the library's VeltoLibraryStructureRepair, or any value with
    /// its createdPageID, externallyChangedPageIDs and externallyRemovedPageIDs); nothing repaired when absent.
    template <typename Repair> void reset(const std::optional<Repair> &repair, bool preservingRevision) {
        if (repair.has_value()) {
            reset(repair->createdPageID, repair->externallyChangedPageIDs, repair->externallyRemovedPageIDs,
                  preservingRevision);
        } else {
            reset(preservingRevision);
        }
    }

    /// Stamps every difference between the two documents with a new revision (raised even when nothing
    /// differs). Pages in `archiveMetadataOnlyPageIDs` that changed are marked as archive-only changes.
    void record(const VeltoDocument &before, const VeltoDocument &after,
                const std::set<Uuid> &archiveMetadataOnlyPageIDs = {});

    /// Stamps one page, known to differ from what it was, as changed in full with a new revision: what record
    /// does for an edit of that page alone, without comparing two copies of the document.
    void recordPageChange(const Uuid &pageID);

    /// Drops every entry stamped at or below the revision of a save that is now durable.
    void discardPersistedMutations(std::uint64_t throughRevision);

    friend bool operator==(const VeltoMutationTracker &, const VeltoMutationTracker &) = default;

private:
    void markChanged(const Uuid &pageID, std::uint64_t stamp, bool isArchiveMetadataOnly);
};

} // namespace velto
