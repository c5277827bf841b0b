#pragma once

#include "editor/editing/EditingTarget.h"

#include <cstddef>

// What Return (and Shift+Return) does: leaves a code block cleanly on its closing fence, closes a freshly
// typed opening fence, keeps the indentation of code lines (one step deeper after an opening bracket),
// and continues or ends lists and quotes. Each change is one undo step.
namespace velto::editor::NewlineRules {

/// Return at the target's selection: true when a rule handled it (or the target is read-only, where
/// nothing happens); false when the ordinary line break should be inserted.
bool insertNewline(EditingTarget &target);

/// The list and quote rules at a caret; true when they changed the text.
bool applyMarkdownContinuation(EditingTarget &target, std::size_t location);

} // namespace velto::editor::NewlineRules
