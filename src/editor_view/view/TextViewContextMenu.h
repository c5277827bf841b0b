#pragma once

#include "editor_view/input/TextViewKeyBindings.h"

#include <QString>

#include <optional>
#include <vector>

namespace velto::editor {

/// One row of the text view's context menu: a command with its title and whether it can run now, or a
/// separator (no command).
struct ContextMenuEntry {
    std::optional<TextViewCommand> command;
    QString title;
    bool enabled = false;
    bool operator==(const ContextMenuEntry &) const = default;
};

/// What the context menu offers in the view's present state.
struct ContextMenuState {
    bool editable = true;
    bool hasSelection = false;
    bool canUndo = false;
    bool canRedo = false;
    bool clipboardHasText = false;
    bool hasText = false;
};

/// Undo, Redo, Cut, Copy, Paste, Select All, with separators between the groups; commands that would
/// change a read-only text are disabled.
std::vector<ContextMenuEntry> contextMenuEntries(const ContextMenuState &state);

} // namespace velto::editor
