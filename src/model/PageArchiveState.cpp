#include "model/PageArchiveState.h"

namespace velto {

bool isArchivedPage(const VeltoPage &page) {
    if (const VeltoPageFileContent *loaded = page.content.asLoaded()) {
        return loaded->isArchived();
    }
    if (page.content.asArchivedSummary() != nullptr) {
        return true;
    }
    const VeltoUnavailablePageSummary *unavailable = page.content.asUnavailable();
    return unavailable != nullptr && unavailable->isArchived.value_or(false);
}

bool isActiveLoadedPage(const VeltoPage &page) {
    const VeltoPageFileContent *loaded = page.content.asLoaded();
    return loaded != nullptr && !loaded->isArchived();
}

bool isConflictCopy(const VeltoPage &page) {
    if (const VeltoPageFileContent *loaded = page.content.asLoaded()) {
        if (loaded->conflictOriginalPageID().has_value()) {
            return true;
        }
    }
    return page.fileSlug == "conflict-copy";
}

Date activityDate(const VeltoPage &page) {
    return page.updatedAt.value_or(page.createdAt);
}

std::int64_t visibleTextBytes(const VeltoPage &page) {
    if (const VeltoPageFileContent *loaded = page.content.asLoaded()) {
        return static_cast<std::int64_t>(loaded->body.size());
    }
    if (const VeltoArchivedPageSummary *summary = page.content.asArchivedSummary()) {
        return static_cast<std::int64_t>(summary->preview.size());
    }
    return 0;
}

void markPageArchived(VeltoPage &page, Date date) {
    VeltoPageFileContent *loaded = page.content.asLoaded();
    if (loaded == nullptr) {
        return;
    }
    loaded->writeVeltoMetadata(loaded->veltoPageID(), true, loaded->conflictOriginalPageID());
    page.archivedAt = date;
}

bool hasUnsavedEdits(const VeltoMutationTracker &mutations, const Uuid &pageID) {
    return mutations.changedPageRevisions.count(pageID) != 0 &&
           mutations.archiveMetadataPageRevisions.count(pageID) == 0;
}

} // namespace velto
