#include "ui/FloatingPanelShadowContainerView.h"

#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtWidgets/QVBoxLayout>

namespace velto {

FloatingPanelShadowContainerView::FloatingPanelShadowContainerView(QWidget *contentView, double cornerRadius,
                                                                   QWidget *parent)
    : QWidget(parent)
    , contentView_(contentView)
    , cornerRadius_(cornerRadius) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(contentInset, contentInset, contentInset, contentInset);
    layout->setSpacing(0);
    layout->addWidget(contentView_);
}

void FloatingPanelShadowContainerView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    QRect contentFrame = rect().adjusted(contentInset, contentInset, -contentInset, -contentInset);
    if (contentFrame != shadowPathFrame_) {
        shadowPathFrame_ = contentFrame;
        ++shadowPathUpdateCount_;
    }
}

void FloatingPanelShadowContainerView::paintEvent(QPaintEvent *) {
    // A soft shadow one pixel below the surface, faded out over a few pixels of the margin.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    constexpr int layers = 3;
    for (int layer = layers; layer >= 1; --layer) {
        QRectF shadow = QRectF(shadowPathFrame_).translated(0, 1).adjusted(-layer, -layer, layer, layer);
        painter.setBrush(QColor(0, 0, 0, static_cast<int>(255 * 0.09 / layers)));
        painter.drawRoundedRect(shadow, cornerRadius_ + layer, cornerRadius_ + layer);
    }
}

} // namespace velto
