#pragma once

#include "library/load/LoadResult.h"
#include "panel/feedback/PanelFeedback.h"

#include <vector>

namespace velto {

/// What the panel says when files of the Pages folder turn unreadable while Velto runs: a banner, not a window
/// that would take the keyboard from the page being typed on. It names one file, or counts several, and points
/// to the tray menu, which lists them for as long as they stay unreadable. Held longer than a confirmation: it
/// tells of something the user did not do.
PanelFeedback unreadableFilesBanner(const std::vector<VeltoUnreadablePageFile> &files);

} // namespace velto
