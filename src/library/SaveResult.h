#pragma once

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

/// What a library write put on disk and what it had to change on the way.
struct VeltoSaveResult {
    std::map<velto::Uuid, VeltoPageBaseline> persistedPageBaselines;
    std::vector<VeltoSaveConflict> conflicts;
    std::map<velto::Uuid, velto::Uuid> pageIDReplacements; // old identifier to new
    std::map<velto::Uuid, velto::VeltoPage> mergedPages;

    friend bool operator==(const VeltoSaveResult &, const VeltoSaveResult &) = default;
};
