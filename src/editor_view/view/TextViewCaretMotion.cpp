#include "editor_view/view/TextViewCaretMotion.h"

#include "editor/editing/EditingCore.h"
#include "editor/editing/TextBoundaries.h"
#include "editor_view/layout/LayoutCache.h"
#include "editor_view/view/VeltoTextView.h"

#include <QScrollBar>

#include <algorithm>
#include <utility>

namespace velto::editor {

TextViewCaretMotion::TextViewCaretMotion(VeltoTextView &view, EditingCore &core, LayoutCache &cache)
    : view_(view)
    , core_(core)
    , cache_(cache) {}

CaretAffinity TextViewCaretMotion::affinityAt(std::size_t position) const {
    return position == core_.selectionHead() ? headAffinity_ : CaretAffinity::downstream;
}

void TextViewCaretMotion::selectionDidChange() {
    if (!keepGoalX_) {
        goalX_.reset();
    }
    headAffinity_ = CaretAffinity::downstream;
}

void TextViewCaretMotion::placeHead(CaretPlace head, bool extend) {
    if (extend) {
        core_.setSelection(core_.selectionAnchor(), head.position);
    } else {
        core_.setSelectedRange(TextRange{head.position, 0});
    }
    // After the selection's change, which resets it; a head that stays where it was may change sides.
    if (std::exchange(headAffinity_, head.affinity) != head.affinity) {
        view_.viewport()->update();
    }
}

void TextViewCaretMotion::moveVertically(bool below, bool extend) {
    const TextRange selected = core_.selectedRange();
    std::size_t from = core_.selectionHead();
    if (!extend && selected.length > 0) {
        from = below ? selected.end() : selected.location;
    }
    const CaretPlace start{from, affinityAt(from)};
    if (!goalX_) {
        goalX_ = cache_.caretRect(start.position, start.affinity).x();
    }
    const CaretPlace to = cache_.placeOnAdjacentLine(start, *goalX_, below);
    keepGoalX_ = true;
    placeHead(to, extend);
    keepGoalX_ = false;
}

void TextViewCaretMotion::moveByPage(bool below, bool extend) {
    const std::size_t from = core_.selectionHead();
    const QRectF caret = cache_.caretRect(from, headAffinity_);
    if (!goalX_) {
        goalX_ = caret.x();
    }
    const double page = std::max(1.0, view_.viewport()->height() - 2.0 * EditorLayout::scrollStep);
    const double y = caret.center().y() + (below ? page : -page);
    std::size_t to = cache_.positionAt(QPointF(*goalX_, y));
    if (y < 0) {
        to = 0;
    } else if (y > cache_.documentHeight()) {
        to = core_.length();
    }
    QScrollBar *bar = view_.verticalScrollBar();
    bar->setValue(bar->value() + static_cast<int>(below ? page : -page));
    keepGoalX_ = true;
    placeHead({to}, extend);
    keepGoalX_ = false;
}

void TextViewCaretMotion::moveToLineBoundary(bool end, bool extend) {
    const std::size_t head = core_.selectionHead();
    const TextRange line = cache_.visualLineRange(head, headAffinity_);
    if (!end) {
        placeHead({line.location}, extend);
        return;
    }
    const TextStorage &storage = core_.textStorage();
    const TextRange paragraph = cache_.index().paragraphRange(cache_.index().paragraphContaining(head));
    const std::size_t contentsEnd = paragraphContents(storage, paragraph).end();
    if (line.end() >= contentsEnd || line.length == 0) {
        placeHead({std::min(line.end(), contentsEnd)}, extend);
        return;
    }
    // A wrapped line: the caret stays on it, before the blank the line broke at, or after its last unit
    // (a hyphen, a character of a word too long for the line) on the wrap's upstream side.
    const bool brokeAtBlank = QChar(storage.substring(TextRange{line.end() - 1, 1})[0]).isSpace();
    placeHead(brokeAtBlank ? CaretPlace{line.end() - 1} : CaretPlace{line.end(), CaretAffinity::upstream}, extend);
}

} // namespace velto::editor
