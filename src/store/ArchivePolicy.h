#pragma once

#include "model/ArchiveSnapshot.h"
#include "model/Document.h"
#include "store/ArchiveTransition.h"
#include "store/AutoArchivePeriod.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velto {

/// Which pages archive themselves: the active pages beyond the limits on their count and size, and the pages
/// left untouched past the auto-archive period. It only chooses; the store archives what it chose.
class VeltoArchivePolicy {
public:
    VeltoArchivePolicy(std::int64_t maximumPageCount, std::int64_t maximumPageBytes)
        : maximumPageCount_(maximumPageCount)
        , maximumPageBytes_(maximumPageBytes) {}

    std::int64_t maximumPageCount() const { return maximumPageCount_; }
    std::int64_t maximumPageBytes() const { return maximumPageBytes_; }
    const VeltoAutoArchivePeriod &period() const { return period_; }
    void setPeriod(VeltoAutoArchivePeriod period) { period_ = period; }

    /// The active other pages past the limits, the least recently active first to go: those ranked past the
    /// page count, and those from where the pages' text passes the byte budget on. The most recently active
    /// page with text stays however large it is; pages without their text held neither count nor go.
    std::set<Uuid> pagesBeyondActiveLimits(const VeltoDocument &document) const;
    /// Whether the page is active, held whole and untouched for at least the period by `now`; never without
    /// a period.
    bool isPastPeriod(const VeltoPage &page, Date now) const;

private:
    std::int64_t maximumPageCount_;
    std::int64_t maximumPageBytes_;
    VeltoAutoArchivePeriod period_ = VeltoAutoArchivePeriod::oneWeek();
};

/// The archived pages and the bytes they take on disk.
VeltoArchiveSnapshot archiveSnapshot(const VeltoDocument &document);

/// The active other pages touched within `period` before `now`: those a shorter period would keep.
std::vector<VeltoPage> otherActivePagesWithinAutoArchiveWindow(const VeltoDocument &document, Date now,
                                                               VeltoAutoArchivePeriod period);

/// The pages whose archive state differs between the two documents.
std::set<Uuid> pagesChangingArchiveState(const VeltoDocument &a, const VeltoDocument &b);

/// Whether the two documents hold different pages as archived: the same answer as comparing their
/// archivedPageIDs(), without two sets of a big library's identifiers at every reload and save.
bool archiveStateDiffers(const VeltoDocument &a, const VeltoDocument &b);

/// Whether an archive move (`undo`: back to its start) can still be applied to `document`: the editor holds
/// the text the move knows, and the pages stand as the move expects them.
bool canApplyArchive(const VeltoDocument &document, const VeltoArchiveTransition &transition, bool undo,
                     const std::string &liveCurrentText);
/// Whether `document` has the pages of `expected` in its order and archive states, each page unchanged
/// unless the move itself changes it.
bool matchesArchiveTimelineState(const VeltoDocument &document, const VeltoDocument &expected,
                                 const VeltoArchiveTransition &transition);
/// Whether the pages look the same to the user, position by position.
bool matchesTimeline(const VeltoDocument &expected, const VeltoDocument &present);

} // namespace velto
