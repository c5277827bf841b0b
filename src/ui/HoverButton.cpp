#include "ui/HoverButton.h"

#include "platform/desktop/DisplayOptions.h"
#include "ui/FocusRing.h"

#include <QtGui/QEnterEvent>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

namespace velto {

HoverButton::HoverButton(QWidget *parent)
    : QPushButton(parent) {
    setFlat(true);
    setAttribute(Qt::WA_Hover);
    // Return presses a focused button, as in the desktop's dialogs, in every window and not in dialogs only.
    setAutoDefault(true);
    hideFocusRingsOnClick();
    setContentTint(actionPalette().foreground);
    connect(&VeltoAppearance::shared(), &VeltoAppearance::changed, this, qOverload<>(&QWidget::update));
    connect(&displayOptions(), &DisplayOptionsProvider::changed, this, qOverload<>(&QWidget::update));
}

void HoverButton::setProminence(Prominence prominence) {
    prominence_ = prominence;
    setContentTint(actionPalette().foreground);
}

const VeltoUI::ActionPalette &HoverButton::actionPalette(Prominence prominence) {
    switch (prominence) {
    case Prominence::secondary:
        return VeltoUI::Colors::secondaryAction;
    case Prominence::primary:
        return VeltoUI::Colors::primaryAction;
    case Prominence::plain:
        break;
    }
    return VeltoUI::Colors::plainAction;
}

HoverButton::InteractionState HoverButton::interactionState(bool isEnabled, bool isDown, bool isHovered) {
    if (isEnabled && isDown) {
        return InteractionState::pressed;
    }
    if (isEnabled && isHovered) {
        return InteractionState::hovered;
    }
    return InteractionState::idle;
}

HoverButton::VisualStyle HoverButton::resolveVisualStyle(Prominence prominence, InteractionState interaction,
                                                         bool isEnabled, bool increaseContrast) {
    const VeltoUI::ActionPalette &palette = actionPalette(prominence);
    VisualStyle style;
    switch (interaction) {
    case InteractionState::idle:
        style.background = palette.idleBackground;
        break;
    case InteractionState::hovered:
        style.background = palette.hoverBackground;
        break;
    case InteractionState::pressed:
        style.background = palette.pressedBackground;
        break;
    }
    style.foreground = palette.foreground;
    style.borderColor = palette.borderColor;
    style.borderWidth = increaseContrast ? 2 : 1;
    style.opacity = isEnabled ? 1 : 0.45;
    return style;
}

void HoverButton::setContentTint(const VeltoColor &tint) {
    contentTint_ = tint;
    update();
}

void HoverButton::setAction(std::function<void()> action) {
    disconnect(actionConnection_);
    if (action) {
        actionConnection_ = connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
    }
}

QSize HoverButton::sizeHint() const {
    QSize inherited = QPushButton::sizeHint();
    int width = inherited.width() + static_cast<int>(2 * VeltoUI::Metrics::spacing10);
    int height = std::max(inherited.height(), static_cast<int>(VeltoUI::Metrics::controlHeight));
    return {width, height};
}

QSize HoverButton::minimumSizeHint() const {
    return sizeHint();
}

QRectF HoverButton::backgroundBounds() const {
    return QRectF(rect());
}

void HoverButton::setHovered(bool hovered) {
    isHovered_ = hovered;
    update();
}

void HoverButton::enterEvent(QEnterEvent *event) {
    QPushButton::enterEvent(event);
    if (isEnabled()) {
        setHovered(true);
    }
}

void HoverButton::leaveEvent(QEvent *event) {
    QPushButton::leaveEvent(event);
    setHovered(false);
}

void HoverButton::changeEvent(QEvent *event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled()) {
            isHovered_ = false;
        }
        update();
    }
}

void HoverButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    InteractionState interaction = interactionState(isEnabled(), isDown(), isHovered_);
    VisualStyle style =
        resolveVisualStyle(prominence_, interaction, isEnabled(), displayOptions().current().increaseContrast);
    QRectF bounds = backgroundBounds();
    double radius = VeltoUI::Shape::controlRadius;

    // What the focus ring lies on: the button's fill over the window, or the window alone.
    QColor backdrop = palette().color(QPalette::Window);
    if (interaction != InteractionState::idle || drawsIdleBackground()) {
        QColor fill = style.background.resolved();
        fill.setAlphaF(static_cast<float>(style.opacity));
        QPainterPath path;
        path.addRoundedRect(bounds, radius, radius);
        painter.fillPath(path, fill);
        backdrop = paintedOver(fill, backdrop);
    }
    if (style.borderColor) {
        QColor stroke = style.borderColor->resolved();
        stroke.setAlphaF(static_cast<float>(style.opacity));
        double half = style.borderWidth / 2;
        painter.setPen(QPen(stroke, style.borderWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(bounds.adjusted(half, half, -half, -half), radius, radius);
    }
    if (showsFocusRing(*this)) {
        drawFocusRing(painter, bounds, radius,
                      focusRingColor(VeltoUI::Colors::accent.resolved(), backdrop, contentTint_.resolved()));
    }
    drawContent(painter, style.opacity);
}

void HoverButton::drawContent(QPainter &painter, double opacity) const {
    QColor tint = contentTint_.resolved();
    tint.setAlphaF(static_cast<float>(tint.alphaF() * opacity));
    if (!icon().isNull()) {
        QSize size = iconSize();
        QPixmap pixmap = tintedPixmap(icon(), size, tint, devicePixelRatioF());
        QRectF target(QPointF(0, 0), QSizeF(size));
        target.moveCenter(backgroundBounds().center());
        painter.drawPixmap(target.topLeft(), pixmap);
        return;
    }
    painter.setPen(tint);
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
}

QPixmap tintedPixmap(const QIcon &icon, const QSize &size, const QColor &color, double devicePixelRatio) {
    QPixmap pixmap = icon.pixmap(size, devicePixelRatio);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(QPoint(0, 0), pixmap.size()), color);
    return pixmap;
}

} // namespace velto
