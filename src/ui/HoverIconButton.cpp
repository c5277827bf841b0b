#include "ui/HoverIconButton.h"

#include "ui/AnchoredTooltipController.h"

#include <QtGui/QPainter>

namespace velto {

HoverIconButton::HoverIconButton(QWidget *parent)
    : HoverButton(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setContentTint(VeltoUI::Colors::icon);
}

void HoverIconButton::setHoverBorderColor(std::optional<VeltoColor> color) {
    hoverBorderColor_ = color;
    update();
}

void HoverIconButton::setAnchoredToolTip(std::optional<QString> text) {
    anchoredToolTip_ = std::move(text);
    setAccessibleDescription(anchoredToolTip_.value_or(QString()));
}

AnchoredTooltipController &HoverIconButton::tooltips() const {
    return tooltipController_ != nullptr ? *tooltipController_ : AnchoredTooltipController::shared();
}

void HoverIconButton::dismissTooltip() {
    tooltips().dismiss(this);
}

QRectF HoverIconButton::backgroundBounds() const {
    double side = std::min(width(), height());
    QRectF square(0, 0, side, side);
    square.moveCenter(QRectF(rect()).center());
    return square;
}

void HoverIconButton::enterEvent(QEnterEvent *event) {
    HoverButton::enterEvent(event);
    if (!isEnabled()) {
        return;
    }
    setContentTint(VeltoUI::Colors::emphasizedIcon);
    if (anchoredToolTip_) {
        tooltips().schedule(*anchoredToolTip_, this);
    }
}

void HoverIconButton::leaveEvent(QEvent *event) {
    HoverButton::leaveEvent(event);
    setContentTint(VeltoUI::Colors::icon);
    dismissTooltip();
}

void HoverIconButton::mousePressEvent(QMouseEvent *event) {
    dismissTooltip();
    HoverButton::mousePressEvent(event);
}

void HoverIconButton::changeEvent(QEvent *event) {
    HoverButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        setContentTint(VeltoUI::Colors::icon);
        dismissTooltip();
    }
}

void HoverIconButton::hideEvent(QHideEvent *event) {
    // A button that leaves the screen takes its tooltip with it.
    HoverButton::hideEvent(event);
    dismissTooltip();
}

void HoverIconButton::paintEvent(QPaintEvent *event) {
    HoverButton::paintEvent(event);
    if (!hoverBorderColor_ || !isHovered()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(hoverBorderColor_->resolved(), 1));
    painter.setBrush(Qt::NoBrush);
    double radius = VeltoUI::Shape::controlRadius;
    painter.drawRoundedRect(backgroundBounds().adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

} // namespace velto
