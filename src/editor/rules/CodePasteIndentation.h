#pragma once

#include "editor/text/EditorSettings.h"

#include <string>
#include <string_view>

namespace velto::editor::CodePasteIndentation {

/// Code pasted into a fenced block, re-indented to the editor's step: the pasted lines' own step is the
/// greatest common divisor of their indentation widths (a tab advancing to the next multiple of 4), and
/// each line gets as many editor steps as it had of its own ("    a\n        b" under two spaces gives
/// "  a\n    b"). Text without indented lines comes back unchanged.
std::u16string normalize(std::u16string_view text, EditorIndentationChoice choice);

} // namespace velto::editor::CodePasteIndentation
