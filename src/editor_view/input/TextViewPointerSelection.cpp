#include "editor_view/input/TextViewPointerSelection.h"

#include "editor/editing/EditingCore.h"
#include "editor_view/clipboard/TextViewClipboard.h"
#include "editor_view/input/TextViewDragAndDrop.h"
#include "editor_view/view/TextViewCaretMotion.h"
#include "editor_view/view/VeltoTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethod>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace velto::editor {

namespace {

/// How often dragging outside the view scrolls it.
constexpr int autoScrollInterval = 30;

} // namespace

TextViewPointerSelection::TextViewPointerSelection(VeltoTextView &view, EditingCore &core, TextViewCaretMotion &motion,
                                                   TextViewClipboard &clipboard, TextViewDragAndDrop &dragAndDrop)
    : view_(view)
    , core_(core)
    , motion_(motion)
    , clipboard_(clipboard)
    , dragAndDrop_(dragAndDrop) {}

void TextViewPointerSelection::press(QMouseEvent &event) {
    if (view_.hasMarkedText()) {
        QGuiApplication::inputMethod()->commit(); // a click ends the composition first
    }
    const QPointF point = event.position();
    if (event.button() == Qt::MiddleButton) {
        // X11's convention: the middle button pastes the primary selection as plain text where it points.
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (clipboard->supportsSelection() && core_.isEditable()) {
            const std::size_t position = view_.positionAtViewportPoint(point);
            clipboard_.pastePlainText(clipboard->text(QClipboard::Selection), position);
        }
        event.accept();
        return;
    }
    if (event.button() != Qt::LeftButton) {
        event.ignore();
        return;
    }
    const bool sameSpot = (event.pos() - lastClickPoint_).manhattanLength() <= QApplication::startDragDistance();
    const bool quick = lastClickTime_.isValid() && lastClickTime_.elapsed() <= QApplication::doubleClickInterval();
    clickCount_ = sameSpot && quick ? clickCount_ % 3 + 1 : 1;
    lastClickTime_.restart();
    lastClickPoint_ = event.pos();

    const CaretPlace place = view_.placeAtViewportPoint(point);
    const std::size_t position = place.position;
    const std::u16string_view text = core_.string();
    const TextRange selected = core_.selectedRange();
    pressPoint_ = event.pos();
    if (clickCount_ == 1 && !(event.modifiers() & Qt::ShiftModifier) && selected.length > 0 &&
        selected.location <= position && position < selected.end()) {
        dragCandidate_ = true; // pressing inside the selection may start a drag
        return;
    }
    const SelectionGranularity granularity = granularityForClickCount(clickCount_);
    if (event.modifiers() & Qt::ShiftModifier) {
        mouseSelection_ = MouseSelection::extending(text, core_.selectionAnchor(), position, granularity);
    } else {
        mouseSelection_ = MouseSelection(text, position, granularity);
    }
    core_.setSelection(mouseSelection_->anchor(), mouseSelection_->head());
    if (core_.selectedRange() == TextRange{position, 0}) {
        motion_.setHeadAffinity(place.affinity); // a click past a line that wraps after a hyphen leaves the caret on it
    }
    event.accept();
}

void TextViewPointerSelection::move(QMouseEvent &event) {
    lastMousePoint_ = event.pos();
    if (dragCandidate_) {
        if ((event.pos() - pressPoint_).manhattanLength() >= QApplication::startDragDistance()) {
            dragCandidate_ = false;
            dragAndDrop_.startDrag();
        }
        return;
    }
    if (!mouseSelection_ || !(event.buttons() & Qt::LeftButton)) {
        return;
    }
    mouseSelection_->dragTo(core_.string(), view_.placeAtViewportPoint(event.position()).position);
    core_.setSelection(mouseSelection_->anchor(), mouseSelection_->head());
    const bool outside = event.pos().y() < 0 || event.pos().y() > view_.viewport()->height();
    if (outside && !autoScrollTimer_.isActive()) {
        autoScrollTimer_.start(autoScrollInterval, this);
    } else if (!outside) {
        autoScrollTimer_.stop();
    }
}

void TextViewPointerSelection::timerEvent(QTimerEvent *event) {
    if (event->timerId() == autoScrollTimer_.timerId()) {
        autoScrollStep();
    } else {
        QObject::timerEvent(event);
    }
}

void TextViewPointerSelection::autoScrollStep() {
    if (!mouseSelection_) {
        autoScrollTimer_.stop();
        return;
    }
    const int y = lastMousePoint_.y();
    const int distance = y < 0 ? y : y - view_.viewport()->height();
    if (distance == 0) {
        autoScrollTimer_.stop();
        return;
    }
    QScrollBar *bar = view_.verticalScrollBar();
    constexpr int fastest = EditorLayout::scrollStep * 4;
    bar->setValue(bar->value() + std::clamp(distance, -fastest, fastest));
    mouseSelection_->dragTo(core_.string(), view_.placeAtViewportPoint(lastMousePoint_).position);
    core_.setSelection(mouseSelection_->anchor(), mouseSelection_->head());
}

void TextViewPointerSelection::release(QMouseEvent &event) {
    autoScrollTimer_.stop();
    if (dragCandidate_) {
        dragCandidate_ = false;
        core_.setSelectedRange(TextRange{view_.positionAtViewportPoint(event.position()), 0});
    }
    if (mouseSelection_) {
        mouseSelection_.reset();
        clipboard_.offerSelectionAsPrimary();
    }
    event.accept();
}

} // namespace velto::editor
