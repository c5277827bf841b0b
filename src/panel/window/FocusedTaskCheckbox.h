#pragma once

#include "editor/markdown/MarkdownTaskListCheckbox.h"

#include <optional>

namespace velto {

namespace editor {
class VeltoTextView;
} // namespace editor

/// The task checkbox on the caret's line of an editable page, outside fenced code; only that line is read, so
/// that asking after every keystroke stays cheap.
std::optional<editor::MarkdownTaskListCheckbox> focusedTaskCheckbox(const editor::VeltoTextView &view);

} // namespace velto
