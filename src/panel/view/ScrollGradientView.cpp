#include "panel/view/ScrollGradientView.h"

#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

namespace velto {

ScrollGradientView::ScrollGradientView(Edge edge, VeltoScheduler &scheduler, QWidget *parent)
    : QWidget(parent)
    , edge_(edge)
    , scheduler_(scheduler)
    , fadeEffect_(new PaintedSurfaceEffect(this)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGraphicsEffect(fadeEffect_);
    fadeEffect_->setOpacity(0);
    setFixedHeight(24);
    QWidget::setVisible(false);
}

void ScrollGradientView::setVisibleAnimated(bool visible) {
    if (visible == wantsVisible_) {
        return;
    }
    wantsVisible_ = visible;
    fadeCompletion_.reset();
    if (visible) {
        QWidget::setVisible(true);
    }
    fadeEffect_->animateOpacity(visible ? 1.0 : 0.0, fadeDuration);
    fadeCompletion_ = scheduler_.schedule(fadeDuration, [this] {
        if (!wantsVisible_) {
            QWidget::setVisible(false);
        }
    });
}

void ScrollGradientView::updateColor(const QColor &color) {
    color_ = color;
    update();
}

void ScrollGradientView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor clear = color_;
    clear.setAlpha(0);
    bool top = edge_ == Edge::top;
    QLinearGradient gradient(QPointF(0, top ? 0 : height()), QPointF(0, top ? height() : 0));
    gradient.setColorAt(0, color_);
    gradient.setColorAt(1, clear);
    // The strip's outer corners follow the editor's rounded corners.
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 6, 6);
    painter.fillPath(shape, gradient);
}

} // namespace velto
