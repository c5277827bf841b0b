#include "store/PageLists.h"

#include "model/PageArchiveState.h"

#include <algorithm>

namespace velto {
namespace {

/// The date archived pages are listed by: the archive date, else the activity date.
Date archiveSortDate(const VeltoPage &page) {
    return page.archivedAt.value_or(activityDate(page));
}

} // namespace

bool activityPrecedes(const VeltoPage &a, const VeltoPage &b) {
    Date aActivity = a.updatedAt.value_or(a.createdAt);
    Date bActivity = b.updatedAt.value_or(b.createdAt);
    if (aActivity != bActivity) {
        return aActivity > bActivity;
    }
    if (a.createdAt != b.createdAt) {
        return a.createdAt > b.createdAt;
    }
    // The identifier decides the rest, so that every list and the archive limits rank the same pages alike
    // whichever writer named their files.
    return a.id < b.id; // byte order is the order of the upper-case texts
}

std::vector<VeltoPage> activeOtherPages(const VeltoDocument &document) {
    std::vector<VeltoPage> active;
    for (const VeltoPage &page : document.pages) {
        if (!isArchivedPage(page)) {
            active.push_back(page);
        }
    }
    return active;
}

std::vector<VeltoPage> activePagesSortedByActivity(const VeltoDocument &document) {
    std::vector<VeltoPage> pages = activeOtherPages(document);
    pages.insert(pages.begin(), document.currentPage);
    std::stable_sort(pages.begin(), pages.end(), activityPrecedes);
    return pages;
}

std::vector<VeltoPage> archivedPagesSortedByArchiveDate(const VeltoDocument &document) {
    std::vector<VeltoPage> archived;
    for (const VeltoPage &page : document.pages) {
        if (isArchivedPage(page)) {
            archived.push_back(page);
        }
    }
    std::stable_sort(archived.begin(), archived.end(), [](const VeltoPage &a, const VeltoPage &b) {
        if (archiveSortDate(a) != archiveSortDate(b)) {
            return archiveSortDate(a) > archiveSortDate(b);
        }
        return activityPrecedes(a, b);
    });
    return archived;
}

std::vector<VeltoPage> activePagesInNavigationOrder(const VeltoDocument &document) {
    std::vector<VeltoPage> pages{document.currentPage};
    for (const VeltoPage &page : document.pages) {
        if (isActiveLoadedPage(page)) {
            pages.push_back(page);
        }
    }
    return pages;
}

} // namespace velto
