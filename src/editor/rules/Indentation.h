#pragma once

#include "editor/editing/EditingTarget.h"
#include "editor/text/EditorSettings.h"

#include <cstddef>
#include <string>
#include <string_view>

// Tab and Shift+Tab: indentation up to the next tab stop at a caret, one step more or less on every
// line a selection touches. One step follows the "editorIndentationChoice" preference, as the
// target holds it at each use.
namespace velto::editor::Indentation {

/// The text of one step: a tab, two spaces or four spaces.
std::u16string_view unitText(EditorIndentationChoice choice);

/// What Tab inserts at the location: a tab, or the spaces up to the next multiple of the step's width
/// ("  " at column 6 under four spaces, a full step when the caret stands on a stop).
std::u16string indentationAtCaret(std::u16string_view text, std::size_t location, EditorIndentationChoice choice);

/// The line without one step of indentation: the unit, else one tab, else the spaces among its first two
/// (two-space steps) or four characters; a line starting with anything else stays as it is.
std::u16string removingOneIndent(std::u16string_view line, EditorIndentationChoice choice);

/// Tab (outdent false) or Shift+Tab at the target's selection.
void changeIndentation(EditingTarget &target, bool outdent);

/// Shift+Tab at a caret: one step less on the caret's line, the caret kept on its character.
void outdentCurrentLine(EditingTarget &target, std::size_t location);

} // namespace velto::editor::Indentation
