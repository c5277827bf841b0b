#pragma once

#include "model/Page.h"
#include "platform/Uuid.h"

#include <optional>
#include <vector>

namespace velto {

class VeltoStore;

/// The snapshot of the cycling order taken when page cycling starts, and where in it the cycle stands.
struct PageNavigationSession {
    std::vector<Uuid> pageIDs;
    std::optional<std::size_t> currentIndex;

    /// Steps to the next page (the previous one when `reverse`), wrapping around, and answers its
    /// identifier. A snapshot of one page that is already current, or of none, gives nothing.
    std::optional<Uuid> selectNextPage(bool reverse);
};

/// The snapshot for cycling from `currentPage`: the pages in navigation order, leaving out the current page
/// when its text is empty; the index is the current page's, none when it is empty or not in the list.
PageNavigationSession navigationSnapshot(const std::vector<VeltoPage> &pagesInNavigationOrder,
                                         const VeltoPage &currentPage);

/// Where a cycling step ended: the page now current at `position` (from 1) of `count`, or no selection.
struct PageNavigationOutcome {
    struct Selection {
        int position = 0;
        int count = 0;
        friend bool operator==(const Selection &, const Selection &) = default;
    };
    std::optional<Selection> selection;
    friend bool operator==(const PageNavigationOutcome &, const PageNavigationOutcome &) = default;
};

/// Cycles through the active pages in a fixed order: the snapshot stays across steps, although each
/// selection changes which page is most active; any other page action drops it (`session.reset()`).
class PageNavigationCoordinator {
public:
    explicit PageNavigationCoordinator(VeltoStore &store)
        : store_(store) {}

    std::optional<PageNavigationSession> session;

    PageNavigationOutcome selectNextPage(bool reverse);

private:
    VeltoStore &store_;
};

} // namespace velto
