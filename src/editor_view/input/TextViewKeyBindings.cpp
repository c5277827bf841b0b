#include "editor_view/input/TextViewKeyBindings.h"

#include <QKeyEvent>
#include <QKeySequence>

#include <array>
#include <utility>

namespace velto::editor {

namespace {

using Binding = std::pair<QKeySequence::StandardKey, TextViewCommand>;

// Selections first: on some desktops a selecting key also matches its plain move with Shift ignored.
constexpr std::array bindings{
    Binding{QKeySequence::SelectAll, TextViewCommand::selectAll},
    Binding{QKeySequence::SelectPreviousChar, TextViewCommand::selectBackward},
    Binding{QKeySequence::SelectNextChar, TextViewCommand::selectForward},
    Binding{QKeySequence::SelectPreviousWord, TextViewCommand::selectWordBackward},
    Binding{QKeySequence::SelectNextWord, TextViewCommand::selectWordForward},
    Binding{QKeySequence::SelectPreviousLine, TextViewCommand::selectUp},
    Binding{QKeySequence::SelectNextLine, TextViewCommand::selectDown},
    Binding{QKeySequence::SelectStartOfLine, TextViewCommand::selectToLineStart},
    Binding{QKeySequence::SelectEndOfLine, TextViewCommand::selectToLineEnd},
    Binding{QKeySequence::SelectStartOfDocument, TextViewCommand::selectToDocumentStart},
    Binding{QKeySequence::SelectEndOfDocument, TextViewCommand::selectToDocumentEnd},
    Binding{QKeySequence::SelectPreviousPage, TextViewCommand::selectPageUp},
    Binding{QKeySequence::SelectNextPage, TextViewCommand::selectPageDown},
    Binding{QKeySequence::MoveToPreviousChar, TextViewCommand::moveBackward},
    Binding{QKeySequence::MoveToNextChar, TextViewCommand::moveForward},
    Binding{QKeySequence::MoveToPreviousWord, TextViewCommand::moveWordBackward},
    Binding{QKeySequence::MoveToNextWord, TextViewCommand::moveWordForward},
    Binding{QKeySequence::MoveToPreviousLine, TextViewCommand::moveUp},
    Binding{QKeySequence::MoveToNextLine, TextViewCommand::moveDown},
    Binding{QKeySequence::MoveToStartOfLine, TextViewCommand::moveToLineStart},
    Binding{QKeySequence::MoveToEndOfLine, TextViewCommand::moveToLineEnd},
    Binding{QKeySequence::MoveToStartOfDocument, TextViewCommand::moveToDocumentStart},
    Binding{QKeySequence::MoveToEndOfDocument, TextViewCommand::moveToDocumentEnd},
    Binding{QKeySequence::MoveToPreviousPage, TextViewCommand::pageUp},
    Binding{QKeySequence::MoveToNextPage, TextViewCommand::pageDown},
    Binding{QKeySequence::DeleteStartOfWord, TextViewCommand::deleteWordBackward},
    Binding{QKeySequence::DeleteEndOfWord, TextViewCommand::deleteWordForward},
    Binding{QKeySequence::Backspace, TextViewCommand::deleteBackward},
    Binding{QKeySequence::Delete, TextViewCommand::deleteForward},
    Binding{QKeySequence::InsertParagraphSeparator, TextViewCommand::insertNewline},
    Binding{QKeySequence::Copy, TextViewCommand::copy},
    Binding{QKeySequence::Cut, TextViewCommand::cut},
    Binding{QKeySequence::Paste, TextViewCommand::paste},
    Binding{QKeySequence::Undo, TextViewCommand::undo},
    Binding{QKeySequence::Redo, TextViewCommand::redo},
};

/// Whether the key is one that types a character, with Shift at most: every standard binding holds Ctrl, Alt or
/// Meta or a key that types nothing, so such a key matches none of them.
bool typesACharacterAlone(const QKeyEvent &event) {
    const Qt::KeyboardModifiers held =
        event.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier);
    return held == Qt::NoModifier && event.key() > 0 && event.key() < Qt::Key_Escape;
}

} // namespace

std::optional<TextViewCommand> textViewCommandFor(const QKeyEvent &event) {
    // A typed character skips the walk over the bindings, where each match asks the platform for the key
    // sequences of a binding anew: twice a key, for its override and its press.
    if (typesACharacterAlone(event)) {
        return std::nullopt;
    }
    for (const auto &[standardKey, command] : bindings) {
        if (event.matches(standardKey)) {
            return command;
        }
    }
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
    if (event.key() == Qt::Key_Backspace && (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier)) {
        return TextViewCommand::deleteBackward; // Shift+Backspace deletes as Backspace does
    }
    if ((event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) &&
        (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier)) {
        return TextViewCommand::insertNewline;
    }
    if (event.key() == Qt::Key_Tab && modifiers == Qt::NoModifier) {
        return TextViewCommand::insertTab;
    }
    if (event.key() == Qt::Key_Backtab && (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier)) {
        return TextViewCommand::insertBacktab; // Shift+Tab
    }
    return std::nullopt;
}

bool changesText(TextViewCommand command) {
    switch (command) {
    case TextViewCommand::deleteBackward:
    case TextViewCommand::deleteForward:
    case TextViewCommand::deleteWordBackward:
    case TextViewCommand::deleteWordForward:
    case TextViewCommand::insertNewline:
    case TextViewCommand::insertTab:
    case TextViewCommand::insertBacktab:
    case TextViewCommand::cut:
    case TextViewCommand::paste:
    case TextViewCommand::undo:
    case TextViewCommand::redo:
        return true;
    default:
        return false;
    }
}

} // namespace velto::editor
