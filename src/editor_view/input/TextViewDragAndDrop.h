#pragma once

#include "editor/text/TextRange.h"

#include <cstddef>
#include <optional>

class QDragEnterEvent;
class QDragLeaveEvent;
class QDragMoveEvent;
class QDropEvent;

namespace velto::editor {

class EditingCore;
class VeltoTextView;

/// Dragging text out of the text view and dropping text into it: a drag of the selection moves it within
/// the view (one undo step) or copies it elsewhere; a drop inserts where the pointer is, shown by a caret
/// while the drag hovers.
class TextViewDragAndDrop {
public:
    TextViewDragAndDrop(VeltoTextView &view, EditingCore &core);

    /// Starts dragging the selection; returns when the drag ended.
    void startDrag();
    /// Moves the source's text to the position (a drag inside the view) as one undo step; false when the
    /// view is read-only or the position lies inside the source.
    bool moveText(TextRange source, std::size_t position);

    void dragEnter(QDragEnterEvent &event);
    void dragMove(QDragMoveEvent &event);
    void dragLeave();
    void drop(QDropEvent &event);

    /// Where a drag hovering over the view would drop its text.
    std::optional<std::size_t> dropCaret() const { return dropCaret_; }

private:
    VeltoTextView &view_;
    EditingCore &core_;
    std::optional<std::size_t> dropCaret_;
    bool droppedInside_ = false;
};

} // namespace velto::editor
