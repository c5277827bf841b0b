#include "library/load/LoadResult.h"

VeltoLibraryStructureRepair VeltoLibraryStructureRepair::promotedExistingPageRepair() {
    VeltoLibraryStructureRepair repair;
    repair.promotedExistingPage = true;
    return repair;
}

std::optional<VeltoLibraryStructureRepair>
VeltoLibraryStructureRepair::merging(const std::optional<VeltoLibraryStructureRepair> &first,
                                     const std::optional<VeltoLibraryStructureRepair> &second) {
    if (!first && !second) {
        return std::nullopt;
    }
    const VeltoLibraryStructureRepair none;
    const auto &a = first ? *first : none;
    const auto &b = second ? *second : none;
    VeltoLibraryStructureRepair merged;
    merged.promotedExistingPage = a.promotedExistingPage || b.promotedExistingPage;
    merged.createdPageID = a.createdPageID ? a.createdPageID : b.createdPageID;
    merged.externallyChangedPageIDs = a.externallyChangedPageIDs;
    merged.externallyChangedPageIDs.insert(b.externallyChangedPageIDs.begin(), b.externallyChangedPageIDs.end());
    merged.externallyRemovedPageIDs = a.externallyRemovedPageIDs;
    merged.externallyRemovedPageIDs.insert(b.externallyRemovedPageIDs.begin(), b.externallyRemovedPageIDs.end());
    return merged;
}
