#include "editor_view/input/TextViewMouseSelection.h"

#include "editor/editing/TextBoundaries.h"
#include "editor/text/StringRanges.h"

#include <algorithm>

namespace velto::editor {

SelectionGranularity granularityForClickCount(int clicks) {
    if (clicks >= 3) {
        return SelectionGranularity::paragraph;
    }
    return clicks == 2 ? SelectionGranularity::word : SelectionGranularity::character;
}

TextRange selectionUnitAt(std::u16string_view text, std::size_t position, SelectionGranularity granularity) {
    position = std::min(position, text.size());
    switch (granularity) {
    case SelectionGranularity::character:
        return TextRange{graphemeBoundaryAtOrBefore(text, position), 0};
    case SelectionGranularity::word:
        return text.empty() ? TextRange{0, 0} : wordSegmentAt(text, position);
    case SelectionGranularity::paragraph:
        return paragraphRange(text, TextRange{position, 0});
    }
    return TextRange{position, 0};
}

MouseSelection::MouseSelection(std::u16string_view text, std::size_t position, SelectionGranularity granularity)
    : initial_(selectionUnitAt(text, position, granularity))
    , granularity_(granularity)
    , anchor_(initial_.location)
    , head_(initial_.end()) {}

MouseSelection MouseSelection::extending(std::u16string_view text, std::size_t anchor, std::size_t position,
                                         SelectionGranularity granularity) {
    MouseSelection selection;
    selection.initial_ = TextRange{std::min(anchor, text.size()), 0};
    selection.granularity_ = granularity;
    selection.anchor_ = selection.head_ = selection.initial_.location;
    selection.dragTo(text, position);
    return selection;
}

void MouseSelection::dragTo(std::u16string_view text, std::size_t position) {
    const TextRange unit = selectionUnitAt(text, position, granularity_);
    if (unit.location < initial_.location) {
        anchor_ = initial_.end();
        head_ = unit.location;
    } else {
        anchor_ = initial_.location;
        head_ = std::max(unit.end(), initial_.end());
    }
}

} // namespace velto::editor
