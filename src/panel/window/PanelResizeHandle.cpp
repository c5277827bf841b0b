#include "panel/window/PanelResizeHandle.h"

#include "panel/window/AccessibleRoles.h"
#include "ui/VeltoUI.h"

#include <QtGui/QEnterEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

namespace velto {

void ResizeDrag::begin(QPointF pointer, QSizeF startSize) {
    startPointer_ = pointer;
    startSize_ = startSize;
    isDragging_ = true;
}

QSizeF ResizeDrag::sizeFor(QPointF pointer) const {
    return {startSize_.width() + (pointer.x() - startPointer_.x()),
            startSize_.height() + (pointer.y() - startPointer_.y())};
}

std::optional<QSizeF> ResizeDrag::end(QSizeF finalSize) {
    isDragging_ = false;
    if (finalSize == startSize_) {
        return std::nullopt;
    }
    return finalSize;
}

PanelResizeHandle::PanelResizeHandle(std::function<QSizeF()> currentSize, QWidget *parent)
    : QWidget(parent)
    , currentSize_(std::move(currentSize)) {
    installAccessibleRoles();
    setFixedSize(sideLength, sideLength);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::SizeFDiagCursor);
    setAccessibleName(QStringLiteral("Resize editor panel"));
    setAccessibleDescription(QStringLiteral(
        "Drag to change the editor panel width and height. Double-click to fit the panel to its content."));
}

QSizeF PanelResizeHandle::presentSize() const {
    return currentSize_ ? currentSize_() : drag_.startSize();
}

double PanelResizeHandle::strokeOpacity() const {
    if (drag_.isDragging()) {
        return 0.72;
    }
    return isHovered_ ? 0.48 : 0.24;
}

void PanelResizeHandle::enterEvent(QEnterEvent *event) {
    QWidget::enterEvent(event);
    isHovered_ = true;
    update();
}

void PanelResizeHandle::leaveEvent(QEvent *event) {
    QWidget::leaveEvent(event);
    isHovered_ = false;
    update();
}

void PanelResizeHandle::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    drag_.begin(event->globalPosition(), currentSize_ ? currentSize_() : QSizeF(0, 0));
    update();
}

void PanelResizeHandle::mouseDoubleClickEvent(QMouseEvent *event) {
    // The second press of a double-click fits the panel instead of starting a drag; Qt reports a triple
    // click as a plain press again, which starts one.
    if (event->button() == Qt::LeftButton) {
        emit fitContentRequested();
    }
}

void PanelResizeHandle::mouseMoveEvent(QMouseEvent *event) {
    if (drag_.isDragging()) {
        emit resizeRequested(drag_.sizeFor(event->globalPosition()), false);
    }
}

void PanelResizeHandle::mouseReleaseEvent(QMouseEvent *event) {
    if (!drag_.isDragging()) {
        return;
    }
    QSizeF last = drag_.sizeFor(event->globalPosition());
    if (last != drag_.startSize()) {
        emit resizeRequested(last, false);
    }
    std::optional<QSizeF> finalSize = drag_.end(presentSize());
    update();
    if (finalSize) {
        emit resizeRequested(*finalSize, true);
    }
}

void PanelResizeHandle::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor stroke = VeltoUI::Colors::secondaryLabel.resolved();
    stroke.setAlphaF(static_cast<float>(strokeOpacity()));
    QPen pen(stroke, 1);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    // Two short diagonal strokes in the bottom-right corner.
    double right = width();
    double bottom = height();
    QPainterPath path;
    path.moveTo(right - 6.5, bottom - 4.5);
    path.lineTo(right - 4.5, bottom - 6.5);
    path.moveTo(right - 11.5, bottom - 4.5);
    path.lineTo(right - 4.5, bottom - 11.5);
    painter.drawPath(path);
}

} // namespace velto
