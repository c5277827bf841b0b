#pragma once

#include "model/SaveConflictPresentation.h"
#include "panel/feedback/PanelFeedback.h"

namespace velto {

/// What a save that kept another version apart says over the editor; the tray menu's notice leads to the
/// review. `holdsOwnEdits`: the copies hold the user's versions rather than the other ones. Held longer than a
/// confirmation: it tells of something the user did not do.
PanelFeedback conflictBanner(const VeltoSaveConflictPresentation &notice, bool holdsOwnEdits);

} // namespace velto
