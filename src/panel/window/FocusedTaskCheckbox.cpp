#include "panel/window/FocusedTaskCheckbox.h"

#include "editor/markdown/MarkdownStyler.h"
#include "editor_view/view/VeltoTextView.h"

namespace velto {

std::optional<editor::MarkdownTaskListCheckbox> focusedTaskCheckbox(const editor::VeltoTextView &view) {
    if (!view.isEditable()) {
        return std::nullopt;
    }
    const editor::TextStorage &storage = view.storage();
    auto checkbox =
        editor::MarkdownTaskListCheckbox::onLine(static_cast<std::ptrdiff_t>(view.selectedRange().location), storage);
    if (!checkbox || editor::MarkdownStyler::isInsideFencedCode(storage, checkbox->range.location)) {
        return std::nullopt;
    }
    return checkbox;
}

} // namespace velto
