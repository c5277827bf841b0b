#pragma once

#include <optional>

class QKeyEvent;

namespace velto::editor {

/// What the text view does with a key that no shortcut or editing rule claimed: the desktop's
/// standard editing and navigation keys.
enum class TextViewCommand {
    moveBackward,
    moveForward,
    moveWordBackward,
    moveWordForward,
    moveUp,
    moveDown,
    moveToLineStart,
    moveToLineEnd,
    moveToDocumentStart,
    moveToDocumentEnd,
    pageUp,
    pageDown,
    selectBackward,
    selectForward,
    selectWordBackward,
    selectWordForward,
    selectUp,
    selectDown,
    selectToLineStart,
    selectToLineEnd,
    selectToDocumentStart,
    selectToDocumentEnd,
    selectPageUp,
    selectPageDown,
    selectAll,
    deleteBackward,
    deleteForward,
    deleteWordBackward,
    deleteWordForward,
    insertNewline,
    insertTab,
    insertBacktab,
    copy,
    cut,
    paste,
    undo,
    redo,
};

/// The command of a key press by the desktop's key bindings (`QKeySequence::StandardKey`), or none for a
/// key that types text or means nothing to the view.
std::optional<TextViewCommand> textViewCommandFor(const QKeyEvent &event);

/// Whether the command changes the text (and so does nothing while the view is read-only).
bool changesText(TextViewCommand command);

} // namespace velto::editor
