#pragma once

#include "library/load/LoadResult.h"
#include "library/save/SaveRequest.h"
#include "model/Page.h"
#include "platform/Uuid.h"

#include <map>
#include <string>
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

/// Why one page's text did not reach its file while the save wrote the other pages.
enum class VeltoPageNotSavedKind {
    tooLarge,       // the page's file would pass the size that Velto opens
    fileRefuses,    // the page's file may not be replaced (read-only, or not this user's to change)
    folderRefuses,  // the folder that holds the page's file refuses new files
    fileUnreadable, // the page's file cannot be read: its archive flag cannot be set in it, or it failed to be
                    // read back as it was replaced
};

/// A page whose change a save left out: the store keeps holding it and saves it again later.
struct VeltoPageNotSaved {
    velto::Uuid pageID;
    std::string relativeFilePath; // the page's file, relative to the Pages folder
    std::string description;      // the user-facing sentence, which names the file
    VeltoPageNotSavedKind kind = VeltoPageNotSavedKind::fileRefuses;

    friend bool operator==(const VeltoPageNotSaved &, const VeltoPageNotSaved &) = default;
};

/// What a library write put on disk and what it had to change on the way.
struct VeltoSaveResult {
    std::map<velto::Uuid, VeltoPageBaseline> persistedPageBaselines;
    std::vector<VeltoSaveConflict> conflicts;
    std::map<velto::Uuid, velto::Uuid> pageIDReplacements; // old identifier to new
    std::map<velto::Uuid, velto::VeltoPage> mergedPages;
    std::vector<VeltoPageLeftUnread> pagesLeftUnread; // each original page of such a recovered page
    /// Pages whose change this save could not write; every other page's change is on disk and committed.
    std::vector<VeltoPageNotSaved> pagesNotSaved;

    friend bool operator==(const VeltoSaveResult &, const VeltoSaveResult &) = default;
};
