#pragma once

#include "editor/text/TextRange.h"

#include <cstddef>
#include <string_view>

namespace velto::editor {

/// What a press of the mouse selects by: one click places the caret, two select words, three select
/// paragraphs (their separator included).
enum class SelectionGranularity { character, word, paragraph };

SelectionGranularity granularityForClickCount(int clicks);

/// The unit of the granularity around a position: the empty range at it, its word-break segment, or its
/// paragraph.
TextRange selectionUnitAt(std::u16string_view text, std::size_t position, SelectionGranularity granularity);

/// A selection made by pressing the mouse and dragging: it keeps the unit first pressed and grows by
/// whole units toward the pointer.
class MouseSelection {
public:
    MouseSelection(std::u16string_view text, std::size_t position, SelectionGranularity granularity);
    /// Shift-click: extends from an existing anchor instead of starting afresh.
    static MouseSelection extending(std::u16string_view text, std::size_t anchor, std::size_t position,
                                    SelectionGranularity granularity);

    std::size_t anchor() const { return anchor_; }
    std::size_t head() const { return head_; }
    /// Moves the selection's free end to the unit at the position (the pointer moved).
    void dragTo(std::u16string_view text, std::size_t position);

private:
    MouseSelection() = default;
    TextRange initial_;
    SelectionGranularity granularity_ = SelectionGranularity::character;
    std::size_t anchor_ = 0;
    std::size_t head_ = 0;
};

} // namespace velto::editor
