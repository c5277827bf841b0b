#pragma once

#include "library/load/LoadResult.h"
#include "library/save/SaveRequest.h"
#include "model/Document.h"
#include "model/MutationTracker.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velto {

/// The one rule for text that comes from disk while the store holds edits of its own: nothing pending is
/// ever replaced. A page without pending changes takes the file; a page with them keeps them, with the
/// file's change merged in when the two merge cleanly. When they do not, the page keeps the baseline its
/// edits started from, so that the next save finds the file changed and keeps the other version as a
/// conflict copy.

/// A page as the store holds it, with what it believes that page's file holds.
struct VeltoHeldPage {
    VeltoPage page;
    std::optional<VeltoPageBaseline> baseline;
};

/// Whether the page changed since the last durable save (its text, its metadata or its archive state).
bool hasPendingChange(const VeltoMutationTracker &mutations, const Uuid &pageID);

/// Whether anything at all waits for a save: a changed or removed page, or a change of the structure.
bool hasPendingMutations(const VeltoMutationTracker &mutations);

/// The held page after its file was read again as `latest`. The update date follows the file only when
/// its text differs from what is held, and never moves back.
VeltoHeldPage takingFileIntoHeldPage(const VeltoHeldPage &held, bool hasPendingChange, VeltoPage latest);

/// The held pages with text whose files the load found unreadable: another program replaced a file with one too
/// large or not UTF-8 text, or took away the permission to read it. The disk holds such a text nowhere now, so it is
/// as pending as an edit: saved, it becomes a recovered page beside the file, which stays as it is.
/// Each such page with its file's path, as the load names it.
std::map<Uuid, std::string>
pagesHoldingTextOfUnreadableFiles(const VeltoDocument &held,
                                  const std::vector<VeltoUnreadablePageFile> &unreadableFiles);

/// A document loaded from disk, with the held document's pending page changes kept in it.
struct VeltoReloadedDocument {
    VeltoDocument document;
    std::map<Uuid, VeltoPageBaseline> baselines;
    /// Whether any pending change was kept: the result then differs from the loaded document and must be saved.
    bool keptPendingChanges = false;
};

/// Takes the loaded document in place of the held one without dropping what is pending: each held page with
/// a pending change is merged with its loaded version as a refresh would (`takingFileIntoHeldPage`), and a
/// changed page that the load does not know (written nowhere yet) is kept; when the held current page is such
/// a page it stays current. `loadedBaselines` holds a baseline for each page of the loaded document.
VeltoReloadedDocument keepingPendingChanges(const VeltoDocument &held, const VeltoMutationTracker &mutations,
                                            const std::map<Uuid, VeltoPageBaseline> &heldBaselines,
                                            VeltoDocument loaded, std::map<Uuid, VeltoPageBaseline> loadedBaselines);

} // namespace velto
