#pragma once

#include "library/removal/PendingDeletions.h"
#include "library/save/DiskChanges.h"
#include "library/save/PageFileWrites.h"
#include "library/save/SaveResult.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <set>
#include <vector>

// A save that stops at a page file another program changed has already written its conflict copies and recovered
// pages. Left behind, they would be pages no writer reported, listed by the next load. They go with the save when
// their text is still to be had without them; the others stay and are reported with the failure.
namespace VeltoPageLibrary {

/// What a stopped save leaves in the folder after its conflict pages were taken back.
struct FailedSaveLeftovers {
    /// The conflict pages that stay: their text is in no other file, or their file is no longer what was written.
    std::vector<VeltoSaveConflict> keptConflicts;
    /// Whether any file the save wrote is still there (a kept conflict copy, a new page, a replaced file) that keeps
    /// the save from starting over.
    bool filesRemain = false;
};

/// Removes each conflict copy the save wrote that it made itself (no earlier attempt left its file) and whose file
/// holds exactly the bytes written at the moment it goes, when its text is still to be had: it is in the file it
/// was copied from, or that file's writer has put other text there since. A copy stays when the save replaced that
/// file, or when this save's text for it is there after all (the swap back of a replacement that met another
/// program's change can leave it there). A recovered page holds the store's text, and always stays (a save that starts
/// over reads it back, so it is not counted among the files that remain). `files` are the save's page files, `observed`
/// the ones its checks read and `replaced` those of them it replaced before it stopped. A removal that fails keeps the
/// page; `removeItem` is an injected removal, or none for the file manager's (see removeIfProven).
FailedSaveLeftovers takeBackConflictPages(const VeltoResolvedDiskChanges &resolved,
                                          const std::vector<PageFileWrite> &files, const ObservedPageFiles &observed,
                                          const std::set<std::filesystem::path> &replaced,
                                          const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                          const RemoveOperation &removeItem);

} // namespace VeltoPageLibrary
