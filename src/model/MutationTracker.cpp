#include "model/MutationTracker.h"

#include <limits>
#include <unordered_map>
#include <vector>

namespace velto {
namespace {

using PagesByID = std::unordered_map<Uuid, const VeltoPage *, UuidHash>;

// Documents handed to the tracker have distinct identifiers; should one ever repeat, its first page counts.
PagesByID pagesByID(const VeltoDocument &document) {
    PagesByID pages;
    pages.emplace(document.currentPage.id, &document.currentPage);
    for (const VeltoPage &page : document.pages) {
        pages.emplace(page.id, &page);
    }
    return pages;
}

std::vector<Uuid> orderedPageIDs(const VeltoDocument &document) {
    std::vector<Uuid> ids{document.currentPage.id};
    for (const VeltoPage &page : document.pages) {
        ids.push_back(page.id);
    }
    return ids;
}

// The counter only grows; at its very end it stays put rather than wrap to 0 and reorder every stamp.
std::uint64_t nextRevision(std::uint64_t revision) {
    return revision == std::numeric_limits<std::uint64_t>::max() ? revision : revision + 1;
}

void keepEntriesAfter(std::map<Uuid, std::uint64_t> &entries, std::uint64_t revision) {
    std::erase_if(entries, [revision](const auto &entry) { return entry.second <= revision; });
}

} // namespace

void VeltoMutationTracker::reset(bool preservingRevision) {
    std::uint64_t remembered = revision;
    *this = VeltoMutationTracker{};
    if (preservingRevision) {
        revision = remembered;
    }
}

void VeltoMutationTracker::reset(const std::optional<Uuid> &createdPageID,
                                 const std::set<Uuid> &externallyChangedPageIDs,
                                 const std::set<Uuid> &externallyRemovedPageIDs, bool preservingRevision) {
    reset(preservingRevision);
    std::uint64_t stamp = nextRevision(revision);
    revision = stamp;
    structureRevision = stamp;
    if (createdPageID.has_value()) {
        changedPageRevisions[*createdPageID] = stamp;
    }
    for (const Uuid &pageID : externallyChangedPageIDs) {
        changedPageRevisions[pageID] = stamp;
    }
    for (const Uuid &pageID : externallyRemovedPageIDs) {
        removedPageRevisions[pageID] = stamp;
    }
}

void VeltoMutationTracker::record(const VeltoDocument &before, const VeltoDocument &after,
                                  const std::set<Uuid> &archiveMetadataOnlyPageIDs) {
    revision = nextRevision(revision);
    const std::uint64_t stamp = revision;
    const PagesByID oldPages = pagesByID(before);
    const PagesByID newPages = pagesByID(after);

    for (const auto &[pageID, page] : newPages) {
        auto counterpart = oldPages.find(pageID);
        if (counterpart != oldPages.end() && *counterpart->second == *page) {
            continue; // an earlier stamp stays pending
        }
        markChanged(pageID, stamp, archiveMetadataOnlyPageIDs.contains(pageID));
    }

    for (const auto &[pageID, page] : oldPages) {
        if (!newPages.contains(pageID)) {
            removedPageRevisions[pageID] = stamp;
            changedPageRevisions.erase(pageID);
            archiveMetadataPageRevisions.erase(pageID);
        }
    }

    if (orderedPageIDs(before) != orderedPageIDs(after)) {
        structureRevision = stamp;
    }
}

void VeltoMutationTracker::recordPageChange(const Uuid &pageID) {
    revision = nextRevision(revision);
    markChanged(pageID, revision, false);
}

void VeltoMutationTracker::markChanged(const Uuid &pageID, std::uint64_t stamp, bool isArchiveMetadataOnly) {
    changedPageRevisions[pageID] = stamp;
    if (isArchiveMetadataOnly) {
        archiveMetadataPageRevisions[pageID] = stamp;
    } else {
        archiveMetadataPageRevisions.erase(pageID); // a full change outweighs an earlier archive-only mark
    }
    removedPageRevisions.erase(pageID); // a page that comes back is a change, not a removal
}

void VeltoMutationTracker::discardPersistedMutations(std::uint64_t throughRevision) {
    keepEntriesAfter(changedPageRevisions, throughRevision);
    keepEntriesAfter(archiveMetadataPageRevisions, throughRevision);
    keepEntriesAfter(removedPageRevisions, throughRevision);
    if (structureRevision.has_value() && *structureRevision <= throughRevision) {
        structureRevision.reset();
    }
}

} // namespace velto
