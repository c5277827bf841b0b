#pragma once

#include "editor/markdown/MarkdownTaskListCheckbox.h"
#include "editor/text/TextRange.h"

#include <QObject>
#include <QPointF>
#include <QUrl>

#include <cstddef>
#include <optional>

class QPainter;
class QRectF;

namespace velto::editor {

class TextViewCommandHost;
class VeltoTextView;

/// What the pointer shows over the text: the pointing hand over a link while Ctrl is held, the arrow over
/// a task box the view may toggle, the I-beam everywhere else (and when the pointer is not over the view).
Qt::CursorShape cursorShapeFor(bool pointerInView, bool overLink, bool ctrlHeld, bool editable, bool overTaskBox);

/// The text view's pointer behaviour besides selecting: task boxes toggle on a click without moving the
/// caret, an unchecked box under the pointer previews its check mark, links open on Ctrl+click, and the
/// cursor follows what lies under the pointer (also when Ctrl is pressed or released without moving).
/// It watches the view's events ahead of the view, taking only the clicks it handles.
class TextViewPointer : public QObject {
public:
    /// Watches the view's events; Ctrl+clicked links go to the host to be opened. Both outlive it.
    TextViewPointer(VeltoTextView &view, TextViewCommandHost &host);

    /// The character whose glyph lies under the viewport point; none beside a line's end or below the text.
    std::optional<std::size_t> characterIndex(QPointF viewportPoint) const;
    /// The link under the viewport point with its whole range; a value that is no address is no link.
    std::optional<std::pair<QUrl, TextRange>> link(QPointF viewportPoint) const;
    /// The task box under the viewport point, when the styler marked one there.
    std::optional<MarkdownTaskListCheckbox> taskCheckbox(QPointF viewportPoint) const;

    /// The unchecked box whose check mark is previewed now, if any.
    const std::optional<MarkdownTaskListCheckbox> &previewedTaskCheckbox() const { return previewed_; }
    /// Draws the previewed check mark; the painter and the rectangle are in text view coordinates.
    void drawTaskCheckboxPreview(QPainter &painter, const QRectF &rect) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool mousePressed(QPointF point, Qt::KeyboardModifiers modifiers);
    void updateTaskCheckboxPreview(std::optional<QPointF> point);
    void updateCursor(std::optional<QPointF> point, Qt::KeyboardModifiers modifiers);
    void clearPreview();

    VeltoTextView &view_;
    TextViewCommandHost &host_;
    std::optional<MarkdownTaskListCheckbox> previewed_;
    std::optional<QPointF> pointer_;
};

} // namespace velto::editor
