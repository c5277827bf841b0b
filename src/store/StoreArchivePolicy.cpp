#include "model/Document.h"
#include "store/PageArchiveState.h"
#include "store/PageLists.h"
#include "store/Store.h"

#include <algorithm>

namespace velto {
namespace {

/// The pages whose archive state differs between the two documents.
std::set<Uuid> pagesChangingArchiveState(const VeltoDocument &a, const VeltoDocument &b) {
    std::set<Uuid> archivedA = a.archivedPageIDs();
    std::set<Uuid> archivedB = b.archivedPageIDs();
    std::set<Uuid> changed;
    std::set_symmetric_difference(archivedA.begin(), archivedA.end(), archivedB.begin(), archivedB.end(),
                                  std::inserter(changed, changed.end()));
    return changed;
}

/// The size an archived page takes on disk: its file text as held, or the size a summary recorded.
std::int64_t archivedPageBytes(const VeltoPage &page) {
    if (const VeltoPageFileContent *loaded = page.content.asLoaded()) {
        return static_cast<std::int64_t>(loaded->fileContents().size());
    }
    if (const VeltoArchivedPageSummary *summary = page.content.asArchivedSummary()) {
        return summary->fileSize;
    }
    if (const VeltoUnavailablePageSummary *unavailable = page.content.asUnavailable()) {
        return unavailable->fileSize;
    }
    return 0;
}

/// Whether the pages look the same to the user, position by position.
bool matchesTimeline(const VeltoDocument &expected, const VeltoDocument &present) {
    if (!expected.currentPage.matchesTimelineState(present.currentPage) ||
        expected.pages.size() != present.pages.size()) {
        return false;
    }
    for (std::size_t index = 0; index < expected.pages.size(); ++index) {
        if (!expected.pages[index].matchesTimelineState(present.pages[index])) {
            return false;
        }
    }
    return true;
}

} // namespace

QCoro::Task<int> VeltoStore::autoArchiveEligiblePages(Date now) {
    if (!autoArchivePeriod_.period.has_value()) {
        co_return 0;
    }
    const Date cutoff = now - *autoArchivePeriod_.period;
    // Only the pages past the cutoff are read again: another writer may have edited or archived them.
    QCoro::Task<int> archiving = archivedRefreshedPageCount(
        [cutoff](const VeltoPage &page) { return isActiveLoadedPage(page) && activityDate(page) <= cutoff; }, now);
    co_return co_await archiving;
}

std::set<Uuid> VeltoStore::archivePagesBeyondActiveLimits(Date now) {
    // Ranked by reference: the pages hold up to 5 MiB of text, which must not be copied to be sorted.
    std::vector<const VeltoPage *> candidates;
    for (const VeltoPage &page : document_.pages) {
        if (isActiveLoadedPage(page)) { // unavailable pages neither count nor get archived
            candidates.push_back(&page);
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const VeltoPage *a, const VeltoPage *b) { return activityPrecedes(*a, *b); });

    std::set<Uuid> beyondLimits;
    std::int64_t totalBytes = 0;
    bool budgetSpent = false;
    for (std::size_t rank = 0; rank < candidates.size(); ++rank) {
        const VeltoPage &page = *candidates[rank];
        if (budgetSpent || static_cast<std::int64_t>(rank) >= maximumPageCount_) {
            beyondLimits.insert(page.id);
            continue;
        }
        std::int64_t size = visibleTextBytes(page);
        if (totalBytes == 0) {
            totalBytes = size; // the first page with text stays active however large it is
            continue;
        }
        totalBytes += size;
        if (totalBytes > maximumPageBytes_) {
            budgetSpent = true;
            beyondLimits.insert(page.id);
        }
    }
    for (VeltoPage &page : document_.pages) {
        if (beyondLimits.count(page.id) != 0) {
            markPageArchived(page, now);
        }
    }
    if (!beyondLimits.empty()) {
        documentDidChange(); // recorded by the caller only while the library is loaded
    }
    return beyondLimits;
}

void VeltoStore::persistActiveLimitArchivalIfNeeded() {
    VeltoDocument before = document_;
    std::set<Uuid> archived = archivePagesBeyondActiveLimits(now());
    if (!archived.empty() && loadState_.isLoaded()) {
        commitDocumentChange(before, archived);
    }
}

std::vector<VeltoPage> VeltoStore::otherActivePagesWithinAutoArchiveWindow(Date now,
                                                                           VeltoAutoArchivePeriod period) const {
    std::vector<VeltoPage> window;
    for (VeltoPage &page : activeOtherPages(document_)) {
        if (!period.period.has_value() || now - activityDate(page) < *period.period) {
            window.push_back(std::move(page));
        }
    }
    return window;
}

VeltoArchiveSnapshot VeltoStore::archiveSnapshot() const {
    VeltoArchiveSnapshot snapshot;
    for (const VeltoPage &page : document_.pages) {
        if (isArchivedPage(page)) {
            snapshot.pageIDs.insert(page.id);
            snapshot.totalBytes += archivedPageBytes(page);
        }
    }
    return snapshot;
}

bool VeltoStore::canApplyArchive(const VeltoArchiveTransition &transition, bool undo,
                                 const std::string &liveCurrentText) const {
    const VeltoDocument &expected = undo ? transition.after : transition.before;
    std::set<Uuid> changed = pagesChangingArchiveState(transition.before, transition.after);
    const std::string reference = changed.count(expected.currentPage.id) != 0 ? document_.currentPage.visibleText()
                                                                              : expected.currentPage.visibleText();
    if (liveCurrentText != reference) {
        return false; // the editor holds text that the transition does not know
    }
    return matchesArchiveTimelineState(expected, transition);
}

bool VeltoStore::matchesArchiveTimelineState(const VeltoDocument &expected,
                                             const VeltoArchiveTransition &transition) const {
    if (document_.currentPage.id != expected.currentPage.id || document_.pages.size() != expected.pages.size()) {
        return false;
    }
    for (std::size_t index = 0; index < expected.pages.size(); ++index) {
        if (document_.pages[index].id != expected.pages[index].id) {
            return false;
        }
    }
    if (isArchivedPage(document_.currentPage) != isArchivedPage(expected.currentPage)) {
        return false;
    }
    std::set<Uuid> changed = pagesChangingArchiveState(transition.before, transition.after);
    auto pageAgrees = [&](const VeltoPage &expectedPage) {
        const VeltoPage *present = findPage(document_, expectedPage.id);
        if (present == nullptr || isArchivedPage(*present) != isArchivedPage(expectedPage)) {
            return false;
        }
        bool mayDiffer = expectedPage.id == expected.currentPage.id || changed.count(expectedPage.id) != 0;
        return mayDiffer || *present == expectedPage;
    };
    if (!pageAgrees(expected.currentPage)) {
        return false;
    }
    return std::all_of(expected.pages.begin(), expected.pages.end(), pageAgrees);
}

QCoro::Task<bool> VeltoStore::applyArchiveTransition(VeltoDocument target) {
    const VeltoSessionTicket ticket = session_.ticket();
    const VeltoDocument present = document_;
    std::set<Uuid> changed = pagesChangingArchiveState(present, target);

    // Every file is read before anything changes: one failed read leaves the document as it was.
    std::map<Uuid, std::optional<VeltoPage>> latestPages;
    std::map<Uuid, std::uint64_t> saveCountsBeforeRead;
    for (const Uuid &pageID : changed) {
        const VeltoPage *presentPage = findPage(present, pageID);
        if (presentPage == nullptr || findPage(target, pageID) == nullptr) {
            continue;
        }
        saveCountsBeforeRead[pageID] = pageSaveCount(pageID);
        try {
            QCoro::Task<std::optional<VeltoPage>> reading =
                latestPageLoadOperation_(*presentPage, session_.folderURL());
            latestPages[pageID] = co_await reading;
        } catch (...) {
            if (ticket.storeIsAlive()) {
                lastSaveErrorDescription_ = errorDescription(std::current_exception());
            }
            co_return false;
        }
        if (!ticket.storeIsAlive()) {
            co_return false;
        }
    }
    // The panel checked the document before the reads; a change made meanwhile makes that check stale.
    if (!ticket.stillCurrent() || document_ != present) {
        co_return false;
    }

    VeltoDocument next = target;
    std::map<Uuid, VeltoPageBaseline> adoptedBaselines;
    for (const auto &[pageID, latest] : latestPages) {
        const VeltoPage &presentPage = *findPage(present, pageID);
        const VeltoPage &targetPage = *findPage(target, pageID);
        // Unsaved edits are never replaced by the file's text: the page as held carries them to the next save.
        // A text read before a save of the page finished is older than the page as held.
        bool readBeforeSave = pageSaveCount(pageID) != saveCountsBeforeRead[pageID];
        bool takesFile = latest.has_value() && !readBeforeSave && !hasUnsavedEdits(mutations_, pageID);
        VeltoPage base = takesFile ? *latest : presentPage;
        if (isArchivedPage(targetPage)) {
            markPageArchived(base, targetPage.archivedAt.value_or(now()));
        } else if (!base.restore(targetPage.updatedAt)) {
            co_return false; // only a summary is held: nothing to restore the page from
        }
        if (takesFile) {
            adoptedBaselines.insert_or_assign(pageID, VeltoPageBaseline::fromPage(*latest));
        }
        *findPage(next, pageID) = std::move(base);
    }
    for (const auto &[pageID, baseline] : adoptedBaselines) {
        pageBaselines_.insert_or_assign(pageID, baseline);
    }
    document_ = std::move(next);
    commitDocumentChange(present, changed);
    co_return true;
}

bool VeltoStore::apply(const VeltoPageOperation &operation, VeltoPageOperationDirection direction) {
    const bool redo = direction == VeltoPageOperationDirection::redo;
    const VeltoDocument &expected = redo ? operation.before : operation.after;
    const VeltoDocument &target = redo ? operation.after : operation.before;
    if (!matchesTimeline(expected, document_)) {
        return false;
    }
    VeltoDocument before = document_;
    document_ = target.preservingUpdatedAt(before);
    commitDocumentChange(before, {});
    return true;
}

} // namespace velto
