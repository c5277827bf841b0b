#include "panel/pages/ActivePages.h"

#include "model/PageArchiveState.h"
#include "store/PageLists.h"
#include "store/Store.h"

#include <algorithm>

namespace velto {

std::vector<const VeltoPage *> activePagesByActivity(const VeltoDocument &document) {
    std::vector<const VeltoPage *> pages{&document.currentPage};
    for (const VeltoPage &page : document.pages) {
        if (!isArchivedPage(page)) {
            pages.push_back(&page);
        }
    }
    std::stable_sort(pages.begin(), pages.end(),
                     [](const VeltoPage *a, const VeltoPage *b) { return activityPrecedes(*a, *b); });
    return pages;
}

std::vector<Uuid> identifiersOf(const std::vector<const VeltoPage *> &pages) {
    std::vector<Uuid> ids;
    ids.reserve(pages.size());
    for (const VeltoPage *page : pages) {
        ids.push_back(page->id);
    }
    return ids;
}

} // namespace velto
