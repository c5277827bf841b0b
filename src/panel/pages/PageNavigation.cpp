#include "panel/pages/PageNavigation.h"

#include "store/PageLists.h"
#include "store/Store.h"

namespace velto {

std::optional<Uuid> PageNavigationSession::selectNextPage(bool reverse) {
    std::size_t count = pageIDs.size();
    if (count == 0) {
        return std::nullopt;
    }
    std::size_t next = 0;
    if (count == 1) {
        if (currentIndex) {
            return std::nullopt;
        }
        next = 0;
    } else if (currentIndex) {
        next = reverse ? (*currentIndex + count - 1) % count : (*currentIndex + 1) % count;
    } else {
        next = reverse ? count - 1 : 0;
    }
    currentIndex = next;
    return pageIDs[next];
}

PageNavigationSession navigationSnapshot(const std::vector<VeltoPage> &pagesInNavigationOrder,
                                         const VeltoPage &currentPage) {
    bool currentIsEmpty = currentPage.visibleTextView().empty();
    PageNavigationSession session;
    for (const VeltoPage &page : pagesInNavigationOrder) {
        if (page.id == currentPage.id && currentIsEmpty) {
            continue;
        }
        if (page.id == currentPage.id) {
            session.currentIndex = session.pageIDs.size();
        }
        session.pageIDs.push_back(page.id);
    }
    return session;
}

PageNavigationOutcome PageNavigationCoordinator::selectNextPage(bool reverse) {
    const VeltoPage &currentPage = store_.document().currentPage;
    if (!session) {
        session = navigationSnapshot(activePagesInNavigationOrder(store_.document()), currentPage);
    }
    PageNavigationSession stepped = *session;
    std::optional<Uuid> pageID = stepped.selectNextPage(reverse);
    if (!pageID) {
        return {};
    }
    session = stepped;
    if (*pageID != currentPage.id && store_.selectPageOperation(*pageID)) {
        int position = static_cast<int>(*session->currentIndex) + 1;
        return {PageNavigationOutcome::Selection{position, static_cast<int>(session->pageIDs.size())}};
    }
    session.reset();
    return {};
}

} // namespace velto
