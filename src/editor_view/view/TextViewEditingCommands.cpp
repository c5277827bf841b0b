#include "editor_view/view/TextViewEditingCommands.h"

#include "editor/editing/EditingCore.h"
#include "editor/editing/PageUndoHistories.h"
#include "editor/rules/Indentation.h"
#include "editor/rules/NewlineRules.h"
#include "editor/rules/TypingRules.h"
#include "editor_view/clipboard/TextViewClipboard.h"
#include "editor_view/view/TextViewCaretMotion.h"
#include "editor_view/view/VeltoTextView.h"

#include <cstdlib>

namespace velto::editor {

TextViewEditingCommands::TextViewEditingCommands(VeltoTextView &view, EditingCore &core,
                                                 const PageUndoHistories &undoHistories, TextViewCaretMotion &motion,
                                                 TextViewClipboard &clipboard)
    : view_(view)
    , core_(core)
    , undoHistories_(undoHistories)
    , motion_(motion)
    , clipboard_(clipboard) {}

/// What one standard editing command does, and what follows it: the caret is scrolled into view and a
/// selection offered as the primary selection, except after paging (which scrolls by itself) and copying
/// (which changes neither the view nor the selection).
struct TextViewEditingCommands::CommandRow {
    TextViewCommand command;
    void (*run)(TextViewEditingCommands &commands);
    bool showsHead = true;
    bool offersSelection = true;
};

const TextViewEditingCommands::CommandRow &TextViewEditingCommands::commandRow(TextViewCommand command) {
    using Movement = EditingCore::Movement;
    using Commands = TextViewEditingCommands;
    constexpr Movement documentStart = Movement::beginningOfDocument;
    static const CommandRow rows[] = {
        {TextViewCommand::moveBackward, [](Commands &c) { c.core_.move(Movement::backwardCharacter, false); }},
        {TextViewCommand::moveForward, [](Commands &c) { c.core_.move(Movement::forwardCharacter, false); }},
        {TextViewCommand::moveWordBackward, [](Commands &c) { c.core_.move(Movement::backwardWord, false); }},
        {TextViewCommand::moveWordForward, [](Commands &c) { c.core_.move(Movement::forwardWord, false); }},
        {TextViewCommand::moveUp, [](Commands &c) { c.motion_.moveVertically(false, false); }},
        {TextViewCommand::moveDown, [](Commands &c) { c.motion_.moveVertically(true, false); }},
        {TextViewCommand::moveToLineStart, [](Commands &c) { c.motion_.moveToLineBoundary(false, false); }},
        {TextViewCommand::moveToLineEnd, [](Commands &c) { c.motion_.moveToLineBoundary(true, false); }},
        {TextViewCommand::moveToDocumentStart, [](Commands &c) { c.core_.move(documentStart, false); }},
        {TextViewCommand::moveToDocumentEnd, [](Commands &c) { c.core_.move(Movement::endOfDocument, false); }},
        {TextViewCommand::pageUp, [](Commands &c) { c.motion_.moveByPage(false, false); }, false},
        {TextViewCommand::pageDown, [](Commands &c) { c.motion_.moveByPage(true, false); }, false},
        {TextViewCommand::selectBackward, [](Commands &c) { c.core_.move(Movement::backwardCharacter, true); }},
        {TextViewCommand::selectForward, [](Commands &c) { c.core_.move(Movement::forwardCharacter, true); }},
        {TextViewCommand::selectWordBackward, [](Commands &c) { c.core_.move(Movement::backwardWord, true); }},
        {TextViewCommand::selectWordForward, [](Commands &c) { c.core_.move(Movement::forwardWord, true); }},
        {TextViewCommand::selectUp, [](Commands &c) { c.motion_.moveVertically(false, true); }},
        {TextViewCommand::selectDown, [](Commands &c) { c.motion_.moveVertically(true, true); }},
        {TextViewCommand::selectToLineStart, [](Commands &c) { c.motion_.moveToLineBoundary(false, true); }},
        {TextViewCommand::selectToLineEnd, [](Commands &c) { c.motion_.moveToLineBoundary(true, true); }},
        {TextViewCommand::selectToDocumentStart, [](Commands &c) { c.core_.move(documentStart, true); }},
        {TextViewCommand::selectToDocumentEnd, [](Commands &c) { c.core_.move(Movement::endOfDocument, true); }},
        {TextViewCommand::selectPageUp, [](Commands &c) { c.motion_.moveByPage(false, true); }, false},
        {TextViewCommand::selectPageDown, [](Commands &c) { c.motion_.moveByPage(true, true); }, false},
        {TextViewCommand::selectAll, [](Commands &c) { c.core_.selectAll(); }},
        {TextViewCommand::deleteBackward, [](Commands &c) { c.deleteBackward(); }},
        {TextViewCommand::deleteForward, [](Commands &c) { c.core_.deleteForward(); }},
        {TextViewCommand::deleteWordBackward, [](Commands &c) { c.core_.deleteWordBackward(); }},
        {TextViewCommand::deleteWordForward, [](Commands &c) { c.core_.deleteWordForward(); }},
        {TextViewCommand::insertNewline, [](Commands &c) { c.insertNewline(); }},
        {TextViewCommand::insertTab, [](Commands &c) { Indentation::changeIndentation(c.view_, false); }},
        {TextViewCommand::insertBacktab, [](Commands &c) { Indentation::changeIndentation(c.view_, true); }},
        {TextViewCommand::copy, [](Commands &c) { c.clipboard_.copySelection(); }, false, false},
        {TextViewCommand::cut, [](Commands &c) { c.clipboard_.cutSelection(); }},
        {TextViewCommand::paste, [](Commands &c) { c.paste(); }},
        {TextViewCommand::undo, [](Commands &c) { c.undo(); }, false},
        {TextViewCommand::redo,
         [](Commands &c) {
             if (c.core_.isEditable()) {
                 c.redo();
             }
         },
         false},
    };
    for (const CommandRow &row : rows) {
        if (row.command == command) {
            return row;
        }
    }
    std::abort(); // every command has its row; the view's tests perform each one
}

void TextViewEditingCommands::perform(TextViewCommand command) {
    const CommandRow &row = commandRow(command);
    row.run(*this);
    if (row.showsHead) {
        view_.scrollRangeToVisible(TextRange{core_.selectionHead(), 0});
    }
    if (core_.selectedRange().length > 0 && row.offersSelection) {
        clipboard_.offerSelectionAsPrimary();
    }
}

void TextViewEditingCommands::typeText(std::u16string_view text) {
    if (core_.isEditable()) {
        TypingRules::insertText(view_, text, TextRange{TextRange::notFound, 0});
        view_.scrollRangeToVisible(core_.selectedRange());
    }
}

void TextViewEditingCommands::deleteBackward() {
    if (!TypingRules::deleteBackward(view_)) {
        core_.deleteBackward();
    }
}

// Shift+Return too: a line break, never a line separator.
void TextViewEditingCommands::insertNewline() {
    if (!NewlineRules::insertNewline(view_)) {
        core_.insertText(u"\n");
    }
}

void TextViewEditingCommands::paste() {
    if (core_.isEditable()) {
        clipboard_.paste();
    }
}

void TextViewEditingCommands::undo() {
    if (core_.isEditable() && core_.undoManager()->canUndo()) {
        core_.takeRangeChangedByUndo();
        core_.undoManager()->undo();
        showChangeOfUndo();
    }
}

void TextViewEditingCommands::redo() {
    UndoManager *active = core_.undoManager();
    if (active->canRedo()) {
        core_.takeRangeChangedByUndo();
        active->redo();
        showChangeOfUndo();
    } else if (const auto &transition = undoHistories_.pageTransitionRedoManager();
               transition && transition->canRedo()) {
        transition->redo();
    }
}

// The caret goes back to where it stood when the step was made, which is where the step changed the text
// unless the change was made elsewhere (a task box ticked with the pointer): the change is shown even then,
// the caret too where both fit. A page operation's step shows its page as it was and changes no text here.
void TextViewEditingCommands::showChangeOfUndo() {
    if (const std::optional<TextRange> changed = core_.takeRangeChangedByUndo()) {
        view_.scrollRangeToVisible(TextRange{core_.selectionHead(), 0});
        view_.scrollRangeToVisible(*changed);
    }
}

} // namespace velto::editor
