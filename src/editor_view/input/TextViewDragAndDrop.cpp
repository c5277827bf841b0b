#include "editor_view/input/TextViewDragAndDrop.h"

#include "editor/editing/EditingCore.h"
#include "editor_view/clipboard/DroppedText.h"
#include "editor_view/view/VeltoTextView.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

namespace velto::editor {

TextViewDragAndDrop::TextViewDragAndDrop(VeltoTextView &view, EditingCore &core)
    : view_(view)
    , core_(core) {}

void TextViewDragAndDrop::startDrag() {
    const TextRange source = core_.selectedRange();
    const std::u16string text = core_.textStorage().substring(source);
    auto *mime = new QMimeData;
    mime->setText(QString::fromStdU16String(text));
    auto *drag = new QDrag(&view_);
    drag->setMimeData(mime);
    droppedInside_ = false;
    const Qt::DropAction action =
        drag->exec(core_.isEditable() ? Qt::CopyAction | Qt::MoveAction : Qt::CopyAction, Qt::MoveAction);
    if (action == Qt::MoveAction && !droppedInside_ && core_.isEditable()) {
        core_.replaceText(source, u"", TextRange{source.location, 0});
    }
}

bool TextViewDragAndDrop::moveText(TextRange source, std::size_t position) {
    if (!core_.isEditable() || (source.location <= position && position <= source.end())) {
        return false;
    }
    const std::u16string text = core_.textStorage().substring(source);
    // Removing the source and inserting at the destination make one undo step.
    UndoManager *manager = core_.undoManager();
    manager->beginUndoGrouping();
    const std::size_t target = position > source.end() ? position - source.length : position;
    bool moved = false;
    if (core_.replaceText(source, u"", TextRange{source.location, 0})) {
        moved = core_.replaceText(TextRange{target, 0}, text, TextRange{target, text.size()});
    }
    manager->endUndoGrouping();
    return moved;
}

void TextViewDragAndDrop::dragEnter(QDragEnterEvent &event) {
    if (event.mimeData()->hasText() && core_.isEditable()) {
        event.acceptProposedAction();
    } else {
        event.ignore();
    }
}

void TextViewDragAndDrop::dragMove(QDragMoveEvent &event) {
    if (!event.mimeData()->hasText() || !core_.isEditable()) {
        event.ignore();
        return;
    }
    dropCaret_ = view_.positionAtViewportPoint(event.position());
    event.acceptProposedAction();
    view_.viewport()->update();
}

void TextViewDragAndDrop::dragLeave() {
    dropCaret_.reset();
    view_.viewport()->update();
}

void TextViewDragAndDrop::drop(QDropEvent &event) {
    dropCaret_.reset();
    const std::optional<std::u16string> dropped = droppedText(*event.mimeData());
    if (!dropped || !core_.isEditable()) {
        event.ignore();
        return;
    }
    const std::size_t position = view_.positionAtViewportPoint(event.position());
    const std::u16string &text = *dropped;
    const bool fromHere = event.source() == &view_;
    const TextRange source = core_.selectedRange();
    if (fromHere && event.dropAction() == Qt::MoveAction) {
        event.acceptProposedAction();
        droppedInside_ = true;
        if (source.location <= position && position <= source.end()) {
            return; // dropped onto itself: nothing moves
        }
        moveText(source, position);
        return;
    }
    event.acceptProposedAction();
    core_.replaceText(TextRange{position, 0}, text, TextRange{position, text.size()});
}

} // namespace velto::editor
