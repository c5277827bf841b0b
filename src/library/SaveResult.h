#pragma once

#include "library/LoadResult.h"
#include "library/SaveRequest.h"
#include "model/Page.h"
#include "platform/Uuid.h"

#include <map>
#include <vector>

/// A page whose other version a save kept as a separate page: a conflict copy of the disk's text, or a
/// recovered page holding the store's text when the file had gone.
struct VeltoSaveConflict {
    velto::Uuid originalPageID;
    velto::VeltoPage preservedPage;

    friend bool operator==(const VeltoSaveConflict &, const VeltoSaveConflict &) = default;
};

/// A page whose file another program replaced with one that cannot be read (too large, not UTF-8 text, no
/// permission): the save kept the store's text as a recovered page in its place, and left the file, and the page
/// recorded at it, as they are.
struct VeltoPageLeftUnread {
    velto::VeltoPage page;        // held as unavailable, with what its file held when the store last saw it
    VeltoUnreadablePageFile file; // the file and why it cannot be read

    friend bool operator==(const VeltoPageLeftUnread &, const VeltoPageLeftUnread &) = default;
};

/// What a library write put on disk and what it had to change on the way.
struct VeltoSaveResult {
    std::map<velto::Uuid, VeltoPageBaseline> persistedPageBaselines;
    std::vector<VeltoSaveConflict> conflicts;
    std::map<velto::Uuid, velto::Uuid> pageIDReplacements; // old identifier to new
    std::map<velto::Uuid, velto::VeltoPage> mergedPages;
    std::vector<VeltoPageLeftUnread> pagesLeftUnread; // each original page of such a recovered page

    friend bool operator==(const VeltoSaveResult &, const VeltoSaveResult &) = default;
};
