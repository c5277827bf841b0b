#pragma once

#include "editor/editing/UndoManager.h"
#include "editor/markdown/StyleSettings.h"
#include "editor/text/EditorSettings.h"
#include "editor/text/TextAttributes.h"
#include "editor/text/TextRange.h"
#include "editor/text/TextStorage.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace velto::editor {

/// The editable text that the editing rules (typing, Return, Tab, paste, task checkboxes) and the keys
/// work on: the text with its attributes, the selection, the one way a rule changes the text, and what
/// key equivalents ask (clipboard, undo). The text view implements it; tests implement it over a plain
/// storage. Positions are UTF-16 units.
///
/// Rules decide from the text, the selection and the attributes alone and keep no state between
/// keystrokes.
class EditingTarget {
public:
    virtual ~EditingTarget() = default;

    // ---- the text ----

    /// The text and its display attributes as the styler left them.
    virtual const TextStorage &storage() const = 0;
    /// Whether the user may change the text; rules change nothing when not.
    virtual bool isEditable() const = 0;
    /// The editor settings the rules follow (one indentation step), as the target's owner last gave them.
    virtual const EditorSettings &editorSettings() const = 0;
    /// The fonts and paragraph styles the text is styled with, which code typed by a rule takes at once.
    virtual const StyleSettings &styleSettings() const = 0;

    // ---- the selection ----

    virtual TextRange selectedRange() const = 0;
    virtual void setSelectedRange(TextRange range) = 0;
    /// Whether an input method is composing (its uncommitted text stands in the storage).
    virtual bool hasMarkedText() const { return false; }

    // ---- changing the text ----

    /// The one path of every rule-made edit: replaces the range with `replacement` as one undo step of its
    /// own (coalescing with typing is broken before and after, and the step keeps the replaced and the
    /// inserted text), then selects `selectionAfter`. Answers false, changing neither text nor
    /// selection, when the change is refused.
    virtual bool replaceText(TextRange range, std::u16string_view replacement, TextRange selectionAfter) = 0;
    /// Ordinary typing, what the view does with a key no rule claims: the text replaces the range with
    /// the typing attributes, coalescing with the typing before it into one undo step; the caret ends
    /// after it.
    virtual void insertTypedText(TextRange range, std::u16string_view text) = 0;
    /// Names the undo step the last edit made ("Complete Task").
    virtual void setUndoActionName(std::u16string_view name) = 0;
    /// Changes display attributes only (no undo step, no change of characters), the way the styler does.
    virtual void updateAttributes(TextRange range, const std::function<Attributes(const Attributes &)> &update) = 0;

    // ---- typing attributes ----

    /// The attributes newly typed text takes.
    virtual Attributes typingAttributes() const = 0;
    virtual void setTypingAttributes(const Attributes &attributes) = 0;
    /// The editor text colour that code attributes are built from.
    virtual Color codeTextColor() const = 0;

    // ---- what keys ask of the text besides the rules ----
    // A target without a clipboard or undo (the rules' tests) does nothing for these.

    virtual void selectAllText() {}
    virtual void copyToClipboard() {}
    virtual void cutToClipboard() {}
    virtual void pasteFromClipboard() {}
    /// Paste and Match Style: the clipboard's text as plain text, no rule applied.
    virtual void pasteAsPlainTextFromClipboard() {}
    /// Tab and Shift-Tab: one indentation step more or less.
    virtual void changeIndentation(bool outdent);
    /// The undo manager that edits register on; none without undo.
    virtual UndoManager *undoManager() { return nullptr; }
    /// The manager holding the redo of an undone page operation, when it is not the active page's.
    virtual UndoManager *pageTransitionRedoManager() { return nullptr; }
    /// Undo and Redo: the last step of the undo manager, or the redo of an undone page operation when the
    /// active manager has nothing to redo. A view shows what they changed.
    virtual void undoLastChange();
    virtual void redoLastUndoneChange();

    // ---- shared services of the rules, answered from the members above ----

    /// The UTF-16 unit at the index; none when the index is negative or not below the length.
    std::optional<char16_t> characterAt(std::ptrdiff_t index) const;
    /// Whether the location (clamped to the text) lies in a fenced code block. A line whose trimmed text
    /// starts with three backticks is never inside.
    bool isInsideFencedCode(std::ptrdiff_t location) const;
    /// Whether the location (clamped to the text) lies in a fenced block or an inline code span.
    bool isInsideMarkdownLiteralCode(std::ptrdiff_t location) const;
    /// Runs `body` with the code attributes merged into the typing attributes, then restores them.
    void withCodeTypingAttributes(const std::function<void()> &body);
};

} // namespace velto::editor
