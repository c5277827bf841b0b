#include "store/ArchivePolicy.h"

#include "model/PageArchiveState.h"
#include "store/PageLists.h"

#include <algorithm>
#include <vector>

namespace velto {
namespace {

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

} // namespace

std::set<Uuid> VeltoArchivePolicy::pagesBeyondActiveLimits(const VeltoDocument &document) const {
    // Ranked by reference: the pages hold up to 5 MiB of text, which must not be copied to be sorted.
    std::vector<const VeltoPage *> candidates;
    for (const VeltoPage &page : document.pages) {
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
    return beyondLimits;
}

bool VeltoArchivePolicy::isPastPeriod(const VeltoPage &page, Date now) const {
    if (!period_.period.has_value()) {
        return false;
    }
    return isActiveLoadedPage(page) && activityDate(page) <= now - *period_.period;
}

VeltoArchiveSnapshot archiveSnapshot(const VeltoDocument &document) {
    VeltoArchiveSnapshot snapshot;
    for (const VeltoPage &page : document.pages) {
        if (isArchivedPage(page)) {
            snapshot.pageIDs.insert(page.id);
            snapshot.totalBytes += archivedPageBytes(page);
        }
    }
    return snapshot;
}

std::vector<VeltoPage> otherActivePagesWithinAutoArchiveWindow(const VeltoDocument &document, Date now,
                                                               VeltoAutoArchivePeriod period) {
    std::vector<VeltoPage> window;
    for (VeltoPage &page : activeOtherPages(document)) {
        if (!period.period.has_value() || now - activityDate(page) < *period.period) {
            window.push_back(std::move(page));
        }
    }
    return window;
}

std::set<Uuid> pagesChangingArchiveState(const VeltoDocument &a, const VeltoDocument &b) {
    std::set<Uuid> archivedA = a.archivedPageIDs();
    std::set<Uuid> archivedB = b.archivedPageIDs();
    std::set<Uuid> changed;
    std::set_symmetric_difference(archivedA.begin(), archivedA.end(), archivedB.begin(), archivedB.end(),
                                  std::inserter(changed, changed.end()));
    return changed;
}

namespace {

/// The identifiers of the archived pages, sorted.
std::vector<Uuid> sortedArchivedPageIDs(const VeltoDocument &document) {
    std::vector<Uuid> archived;
    if (isArchivedPage(document.currentPage)) {
        archived.push_back(document.currentPage.id);
    }
    for (const VeltoPage &page : document.pages) {
        if (isArchivedPage(page)) {
            archived.push_back(page.id);
        }
    }
    std::sort(archived.begin(), archived.end());
    // A document that repeats an identifier counts it once, as a set does.
    archived.erase(std::unique(archived.begin(), archived.end()), archived.end());
    return archived;
}

/// Whether both documents hold the same pages in the same order, as a refresh or an edit leaves them.
bool holdsSamePageOrder(const VeltoDocument &a, const VeltoDocument &b) {
    if (a.currentPage.id != b.currentPage.id || a.pages.size() != b.pages.size()) {
        return false;
    }
    for (std::size_t index = 0; index < a.pages.size(); ++index) {
        if (a.pages[index].id != b.pages[index].id) {
            return false;
        }
    }
    return true;
}

bool archiveStateDiffersPageByPage(const VeltoDocument &a, const VeltoDocument &b) {
    if (isArchivedPage(a.currentPage) != isArchivedPage(b.currentPage)) {
        return true;
    }
    for (std::size_t index = 0; index < a.pages.size(); ++index) {
        if (isArchivedPage(a.pages[index]) != isArchivedPage(b.pages[index])) {
            return true;
        }
    }
    return false;
}

} // namespace

bool archiveStateDiffers(const VeltoDocument &a, const VeltoDocument &b) {
    // Pages in the same order compare side by side, without sorting a library's identifiers twice; a difference
    // found so is checked by the sets, where a page listed twice counts once.
    if (holdsSamePageOrder(a, b) && !archiveStateDiffersPageByPage(a, b)) {
        return false;
    }
    return sortedArchivedPageIDs(a) != sortedArchivedPageIDs(b);
}

bool canApplyArchive(const VeltoDocument &document, const VeltoArchiveTransition &transition, bool undo,
                     const std::string &liveCurrentText) {
    const VeltoDocument &expected = undo ? transition.after : transition.before;
    std::set<Uuid> changed = pagesChangingArchiveState(transition.before, transition.after);
    const std::string reference = changed.count(expected.currentPage.id) != 0 ? document.currentPage.visibleText()
                                                                              : expected.currentPage.visibleText();
    if (liveCurrentText != reference) {
        return false; // the editor holds text that the transition does not know
    }
    return matchesArchiveTimelineState(document, expected, transition);
}

bool matchesArchiveTimelineState(const VeltoDocument &document, const VeltoDocument &expected,
                                 const VeltoArchiveTransition &transition) {
    if (document.currentPage.id != expected.currentPage.id || document.pages.size() != expected.pages.size()) {
        return false;
    }
    for (std::size_t index = 0; index < expected.pages.size(); ++index) {
        if (document.pages[index].id != expected.pages[index].id) {
            return false;
        }
    }
    if (isArchivedPage(document.currentPage) != isArchivedPage(expected.currentPage)) {
        return false;
    }
    std::set<Uuid> changed = pagesChangingArchiveState(transition.before, transition.after);
    auto pageAgrees = [&](const VeltoPage &expectedPage) {
        const VeltoPage *present = findPage(document, expectedPage.id);
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

} // namespace velto
