#include "editor_view/input/TextViewPointer.h"

#include "editor_view/layout/LayoutFormats.h"
#include "editor_view/view/VeltoTextView.h"

#include <QEnterEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <string>

namespace velto::editor {

namespace {

/// How strongly the previewed check mark shows: faint, so it reads as a hint rather than a change.
constexpr double previewAlpha = 0.55;

} // namespace

Qt::CursorShape cursorShapeFor(bool pointerInView, bool overLink, bool ctrlHeld, bool editable, bool overTaskBox) {
    if (!pointerInView) {
        return Qt::IBeamCursor;
    }
    if (overLink && ctrlHeld) {
        return Qt::PointingHandCursor;
    }
    if (editable && overTaskBox) {
        return Qt::ArrowCursor;
    }
    return Qt::IBeamCursor;
}

TextViewPointer::TextViewPointer(VeltoTextView &view, TextViewCommandHost &host)
    : view_(view)
    , host_(host) {
    view_.viewport()->setMouseTracking(true);
    view_.viewport()->installEventFilter(this);
    view_.installEventFilter(this);
    // A change of the text may leave the previewed box elsewhere or gone.
    QObject::connect(&view_, &VeltoTextView::textChanged, this, [this] { clearPreview(); });
}

std::optional<std::size_t> TextViewPointer::characterIndex(QPointF viewportPoint) const {
    const TextStorage &storage = view_.storage();
    const std::size_t position = view_.positionAtViewportPoint(viewportPoint);
    // The nearest caret position lies on one side of the glyph under the point: try both neighbours.
    for (std::size_t candidate : {position, position - 1}) {
        if (candidate >= storage.length()) {
            continue; // also the wrapped-around neighbour of position 0
        }
        const QRectF start = view_.caretRectInViewport(candidate);
        const QRectF end = view_.caretRectInViewport(candidate + 1);
        if (end.top() != start.top() || end.x() <= start.x()) {
            continue; // the glyph ends its line: no width to hit here
        }
        const QRectF glyph(start.x(), start.top(), end.x() - start.x(), start.height());
        if (glyph.contains(viewportPoint)) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::optional<std::pair<QUrl, TextRange>> TextViewPointer::link(QPointF viewportPoint) const {
    const std::optional<std::size_t> index = characterIndex(viewportPoint);
    if (!index) {
        return std::nullopt;
    }
    const TextStorage &storage = view_.storage();
    TextRange range;
    const auto *address = attributeValueAs<std::string>(
        storage.attribute(AttributeKey::link, *index, &range, TextRange{0, storage.length()}));
    if (address == nullptr) {
        return std::nullopt;
    }
    const std::string_view text = *address;
    const QUrl url(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QUrl::StrictMode);
    if (!url.isValid() || url.isEmpty()) {
        return std::nullopt;
    }
    return std::pair{url, range};
}

std::optional<MarkdownTaskListCheckbox> TextViewPointer::taskCheckbox(QPointF viewportPoint) const {
    const std::optional<std::size_t> index = characterIndex(viewportPoint);
    if (!index) {
        return std::nullopt;
    }
    return editor::taskCheckbox(static_cast<std::ptrdiff_t>(*index), view_.storage());
}

bool TextViewPointer::eventFilter(QObject *watched, QEvent *event) {
    if (watched == &view_) {
        // Ctrl pressed or released without moving the pointer still changes what a link shows.
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Control && pointer_) {
                // X11 reports the modifiers as they were before the key, so the key itself decides.
                const bool pressed = event->type() == QEvent::KeyPress;
                updateCursor(pointer_, pressed ? key->modifiers() | Qt::ControlModifier
                                               : key->modifiers() & ~Qt::ControlModifier);
            }
        }
        return false;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        return mouse->button() == Qt::LeftButton && mousePressed(mouse->position(), mouse->modifiers());
    }
    case QEvent::MouseMove: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        pointer_ = mouse->position();
        if (mouse->buttons() == Qt::NoButton) {
            updateTaskCheckboxPreview(pointer_);
            updateCursor(pointer_, mouse->modifiers());
        }
        return false;
    }
    case QEvent::Enter:
        pointer_ = static_cast<QEnterEvent *>(event)->position();
        updateCursor(pointer_, QGuiApplication::keyboardModifiers());
        return false;
    case QEvent::Leave:
        pointer_.reset();
        clearPreview();
        return false;
    default:
        return false;
    }
}

bool TextViewPointer::mousePressed(QPointF point, Qt::KeyboardModifiers modifiers) {
    if (view_.isEditable()) {
        if (const std::optional<MarkdownTaskListCheckbox> box = taskCheckbox(point)) {
            if (toggleTaskCheckbox(view_, *box)) {
                clearPreview();
                updateCursor(point, modifiers);
                return true; // the view never sees the click, so the caret stays
            }
        }
    }
    if (modifiers & Qt::ControlModifier) {
        if (const auto found = link(point)) {
            host_.openLink(found->first);
            return true;
        }
    }
    return false; // a plain click on a link places the caret in its text like anywhere else
}

void TextViewPointer::updateTaskCheckboxPreview(std::optional<QPointF> point) {
    std::optional<MarkdownTaskListCheckbox> candidate;
    if (point && view_.isEditable()) {
        candidate = taskCheckbox(*point);
        if (candidate && candidate->state != MarkdownTaskListCheckbox::State::unchecked) {
            candidate.reset();
        }
    }
    if (candidate == previewed_) {
        return;
    }
    previewed_ = candidate;
    view_.viewport()->update();
}

void TextViewPointer::clearPreview() {
    if (previewed_) {
        previewed_.reset();
        view_.viewport()->update();
    }
}

void TextViewPointer::updateCursor(std::optional<QPointF> point, Qt::KeyboardModifiers modifiers) {
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool overLink = point && ctrl && link(*point).has_value();
    const bool overBox = point && view_.isEditable() && taskCheckbox(*point).has_value();
    view_.viewport()->setCursor(cursorShapeFor(point.has_value(), overLink, ctrl, view_.isEditable(), overBox));
}

void TextViewPointer::drawTaskCheckboxPreview(QPainter &painter, const QRectF &rect) const {
    if (!view_.isEditable() || !previewed_) {
        return;
    }
    const TextStorage &storage = view_.storage();
    // The box may have changed since the pointer found it; only a box still unchecked is previewed.
    const std::optional<MarkdownTaskListCheckbox> current =
        MarkdownTaskListCheckbox::make(previewed_->range, storage.string());
    if (!current || current->state != MarkdownTaskListCheckbox::State::unchecked) {
        return;
    }
    const std::size_t mark = previewed_->range.location + 1;
    const QPointF scroll = view_.visibleRect().topLeft();
    const QRectF start = view_.caretRectInViewport(mark).translated(scroll);
    const QRectF end = view_.caretRectInViewport(mark + 1).translated(scroll);
    const QRectF box(start.x(), start.top(), std::max(end.x() - start.x(), 1.0), start.height());
    if (!box.intersects(rect)) {
        return;
    }
    const Attributes attributes = storage.attributes(mark);
    const auto *font = attributeValueAs<FontDescriptor>(attributes.find(AttributeKey::font));
    const auto *colour = attributeValueAs<Color>(attributes.find(AttributeKey::foregroundColor));
    QColor ink =
        colorFor(colour != nullptr ? *colour : Color::system(SystemColorRole::secondaryLabel), view_.appearance());
    ink.setAlphaF(static_cast<float>(ink.alphaF() * previewAlpha));
    painter.save();
    painter.setFont(font != nullptr ? fontFor(*font) : view_.font());
    painter.setPen(ink);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, QStringLiteral("x"));
    painter.restore();
}

} // namespace velto::editor
