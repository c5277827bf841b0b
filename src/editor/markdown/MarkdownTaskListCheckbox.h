#pragma once

#include "editor/editing/EditingTarget.h"
#include "editor/text/TextRange.h"
#include "editor/text/TextStorage.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velto::editor {

/// The box of a Markdown task item ("- [ ] buy milk"): "[ ]" unchecked, "[x]" or "[X]" checked.
struct MarkdownTaskListCheckbox {
    enum class State { unchecked, checked };

    TextRange range; // always three units: "[", the mark, "]"
    State state = State::unchecked;

    /// The box the three characters of the range make in the source; none for any other range or text.
    static std::optional<MarkdownTaskListCheckbox> make(TextRange range, std::u16string_view source);

    /// The box of the task item on the line holding the index (clamped to the text): optional blanks, a
    /// "-", "+" or "*", at least one blank, then the box. An ordered marker, or a marker followed directly
    /// by the box, makes no task item.
    static std::optional<MarkdownTaskListCheckbox> onLine(std::ptrdiff_t index, std::u16string_view source);
    /// As above, reading only the line from the storage.
    static std::optional<MarkdownTaskListCheckbox> onLine(std::ptrdiff_t index, const TextStorage &storage);

    /// What a screen reader calls the box: the rest of its line, trimmed; "Task checkbox" when empty.
    std::u16string accessibilityLabel(std::u16string_view source) const;

    bool operator==(const MarkdownTaskListCheckbox &) const = default;
};

/// The box the styler marked at the index, when its characters still make one.
std::optional<MarkdownTaskListCheckbox> taskCheckbox(std::ptrdiff_t index, const TextStorage &storage);

/// Checks an unchecked box ("[x]") or unchecks a checked one ("[ ]") as one undo step named "Complete
/// Task" or "Reopen Task", keeping the selection. False when read-only or when the change was refused.
bool toggleTaskCheckbox(EditingTarget &target, const MarkdownTaskListCheckbox &checkbox);

} // namespace velto::editor
