#include "panel/EditorBorderView.h"

#include <QtGui/QPainter>

namespace velto {

EditorBorderView::EditorBorderView(QWidget *parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void EditorBorderView::setBorder(double width, const QColor &color) {
    borderWidth_ = width;
    borderColor_ = color;
    update();
}

void EditorBorderView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(borderColor_, borderWidth_));
    painter.setBrush(Qt::NoBrush);
    double half = borderWidth_ / 2;
    painter.drawRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), 6, 6);
}

} // namespace velto
