#include "ui/FloatingPanel.h"

#include "platform/desktop/Compositor.h"
#include "ui/VeltoUI.h"

#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QRegion>
#include <QtGui/QWindow>
#include <QtWidgets/QVBoxLayout>

namespace velto {

FloatingPanel::FloatingPanel(QWidget *contentView, double cornerRadius, std::optional<bool> translucent)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::X11BypassWindowManagerHint | Qt::WindowTransparentForInput | Qt::WindowStaysOnTopHint)
    , container_(new FloatingPanelShadowContainerView(contentView, cornerRadius))
    , translucent_(translucent.value_or(compositingManagerRunning())) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    if (translucent_) {
        setAttribute(Qt::WA_TranslucentBackground);
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(container_);
}

PaintedSurfaceEffect *FloatingPanel::surfaceEffect() {
    if (effect_ == nullptr) {
        effect_ = new PaintedSurfaceEffect;
        container_->setGraphicsEffect(effect_);
    }
    return effect_;
}

namespace {

// A label whose text just changed has only posted a layout request; the layouts around it still hold the old
// size until the event loop runs. Settling them from the innermost out lets each pass its new size outward.
void activateLayoutsFromTheInside(QWidget *widget) {
    for (QWidget *child : widget->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        activateLayoutsFromTheInside(child);
    }
    if (widget->layout() != nullptr) {
        widget->layout()->activate();
    }
}

} // namespace

void FloatingPanel::fitToContent() {
    activateLayoutsFromTheInside(this);
    resize(container_->sizeHint().expandedTo(container_->minimumSizeHint()));
}

void FloatingPanel::attach(QWidget *window) {
    if (parentWindow_ == window) {
        return;
    }
    detach();
    parentWindow_ = window;
    if (window == nullptr) {
        return;
    }
    winId();
    if (windowHandle() != nullptr && window->window()->windowHandle() != nullptr) {
        windowHandle()->setTransientParent(window->window()->windowHandle());
    }
}

void FloatingPanel::detach() {
    if (windowHandle() != nullptr) {
        windowHandle()->setTransientParent(nullptr);
    }
    parentWindow_ = nullptr;
}

void FloatingPanel::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    if (translucent_) {
        return;
    }
    // Without a compositor the corners outside the rounded surface would be drawn black: cut them away.
    int inset = FloatingPanelShadowContainerView::contentInset;
    QPainterPath shape;
    double radius = container_->cornerRadius();
    shape.addRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), radius, radius);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
}

void FloatingPanel::paintEvent(QPaintEvent *) {
    if (translucent_) {
        return;
    }
    QPainter painter(this);
    painter.fillRect(rect(), VeltoUI::Colors::surface.resolved());
}

} // namespace velto
