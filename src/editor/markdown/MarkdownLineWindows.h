#pragma once

#include "editor/markdown/LineCutPoints.h"
#include "editor/markdown/MarkdownCodeTokenIndex.h"
#include "editor/markdown/StyleSettings.h"
#include "editor/text/TextAttributes.h"
#include "editor/text/TextStorage.h"

#include <optional>
#include <vector>

namespace velto::editor::MarkdownStyler {

/// Restyles a change inside one long line through a window of the line, when one can be placed:
/// returns the window, with the cut points inside it placed anew; none when the line must be
/// restyled as a whole. The edits are those of the character groups since the last pass, which
/// left the storage as a full pass styles it; the cut points are those of the text now.
std::optional<TextRange> restyleWithinLongLine(TextStorage &storage, const MarkdownCodeTokenIndex &index,
                                               const std::vector<CharacterEdit> &edits, LineCutPoints &cutPoints,
                                               const std::optional<Color> &color, const StyleSettings &style);

} // namespace velto::editor::MarkdownStyler
