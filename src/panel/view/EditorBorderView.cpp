#include "panel/view/EditorBorderView.h"

#include <QtGui/QPaintEvent>
#include <QtGui/QPainter>

#include <cmath>

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

int EditorBorderView::bandWidth() const {
    // The corners' curves stay within the radius and the stroke's width of the sides; one pixel more holds the
    // antialiasing.
    return static_cast<int>(std::ceil(cornerRadius + borderWidth_)) + 1;
}

QRegion EditorBorderView::edgeBands() const {
    const int band = bandWidth();
    const QRect all = rect();
    QRegion bands;
    bands += QRect(all.left(), all.top(), all.width(), band);
    bands += QRect(all.left(), all.bottom() - band + 1, all.width(), band);
    bands += QRect(all.left(), all.top(), band, all.height());
    bands += QRect(all.right() - band + 1, all.top(), band, all.height());
    return bands;
}

const QPixmap &EditorBorderView::strokedBorder() {
    const double ratio = devicePixelRatioF();
    const bool current = !stroked_.isNull() && stroked_.deviceIndependentSize() == QSizeF(size()) &&
                         stroked_.devicePixelRatio() == ratio && strokedWidth_ == borderWidth_ &&
                         strokedColor_ == borderColor_;
    if (current) {
        return stroked_;
    }
    stroked_ = QPixmap((QSizeF(size()) * ratio).toSize());
    stroked_.setDevicePixelRatio(ratio);
    stroked_.fill(Qt::transparent);
    QPainter painter(&stroked_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(borderColor_, borderWidth_));
    painter.setBrush(Qt::NoBrush);
    const double half = borderWidth_ / 2;
    painter.drawRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), cornerRadius, cornerRadius);
    strokedWidth_ = borderWidth_;
    strokedColor_ = borderColor_;
    return stroked_;
}

void EditorBorderView::paintEvent(QPaintEvent *event) {
    // The editor's text column lies inside the bands: what a key painted there asks for no region arithmetic.
    const int band = bandWidth();
    if (rect().adjusted(band, band, -band, -band).contains(event->rect())) {
        return;
    }
    const QRegion painted = event->region() & edgeBands();
    if (painted.isEmpty() || width() <= 0 || height() <= 0) {
        return;
    }
    const QPixmap &border = strokedBorder();
    const double ratio = border.devicePixelRatio();
    QPainter painter(this);
    // A copy for each rectangle, the picture's own pixels to the view's: no clipping, no scaling.
    for (const QRect &part : painted) {
        painter.drawPixmap(part, border, QRectF(QPointF(part.topLeft()) * ratio, QSizeF(part.size()) * ratio));
    }
}

} // namespace velto
