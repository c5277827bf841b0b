#pragma once

#include "editor_view/input/TextViewKeyBindings.h"

#include <string_view>

namespace velto::editor {

class EditingCore;
class PageUndoHistories;
class TextViewCaretMotion;
class TextViewClipboard;
class VeltoTextView;

/// The text view's standard editing commands (moves, selections, deletions, Return, Tab, the clipboard,
/// undo) and typed text, each carried out with the editing rules where one applies and followed by what
/// the command shows: the caret scrolled into view and a selection offered as the primary selection.
class TextViewEditingCommands {
public:
    TextViewEditingCommands(VeltoTextView &view, EditingCore &core, const PageUndoHistories &undoHistories,
                            TextViewCaretMotion &motion, TextViewClipboard &clipboard);

    void perform(TextViewCommand command);
    /// Text typed by a key: inserted with the typing rules, the caret kept in view.
    void typeText(std::u16string_view text);

private:
    struct CommandRow;
    static const CommandRow &commandRow(TextViewCommand command);
    void deleteBackward();
    void insertNewline();
    void paste();
    void undo();
    void redo();
    void showChangeOfUndo();

    VeltoTextView &view_;
    EditingCore &core_;
    const PageUndoHistories &undoHistories_;
    TextViewCaretMotion &motion_;
    TextViewClipboard &clipboard_;
};

} // namespace velto::editor
