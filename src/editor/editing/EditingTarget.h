#pragma once

#include "editor/text/TextAttributes.h"
#include "editor/text/TextRange.h"
#include "editor/text/TextStorage.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace velto::editor {

/// The editable text that the editing rules (typing, Return, Tab, paste, task checkboxes) work on:
/// the text with its attributes, the selection, and the one way a rule changes the text. The text
/// view implements it; tests implement it over a plain storage. Positions are UTF-16 units.
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
