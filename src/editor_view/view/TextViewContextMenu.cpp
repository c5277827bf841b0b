#include "editor_view/view/TextViewContextMenu.h"

namespace velto::editor {

std::vector<ContextMenuEntry> contextMenuEntries(const ContextMenuState &state) {
    const ContextMenuEntry separator{std::nullopt, QString(), false};
    return {
        {TextViewCommand::undo, QStringLiteral("Undo"), state.editable && state.canUndo},
        {TextViewCommand::redo, QStringLiteral("Redo"), state.editable && state.canRedo},
        separator,
        {TextViewCommand::cut, QStringLiteral("Cut"), state.editable && state.hasSelection},
        {TextViewCommand::copy, QStringLiteral("Copy"), state.hasSelection},
        {TextViewCommand::paste, QStringLiteral("Paste"), state.editable && state.clipboardHasText},
        separator,
        {TextViewCommand::selectAll, QStringLiteral("Select All"), state.hasText},
    };
}

} // namespace velto::editor
