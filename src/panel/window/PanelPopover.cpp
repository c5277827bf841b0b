#include "panel/window/PanelPopover.h"

#include "panel/window/PopoverPlacement.h"
#include "platform/desktop/X11Requests.h"

#include <QtGui/QCursor>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QVBoxLayout>

namespace velto {

PanelPopover::PanelPopover(QWidget *content, PopoverBehavior behavior)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , content_(content)
    , behavior_(behavior) {
    setObjectName(QStringLiteral("VeltoPanel"));
    setWindowTitle(QStringLiteral("Velto"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content_);
    resize(content_->size());
}

void PanelPopover::setContentSize(QSizeF size) {
    resize(size.toSize());
    // A panel that grows while shown (a size key, fitting to content) stays on its screen: where it still
    // fits, it keeps its place, so that a resize handle stays under the pointer.
    if (isVisible() && screen() != nullptr) {
        move(PopoverPlacement::keptInside(pos(), this->size(), screen()->availableGeometry()));
    }
}

void PanelPopover::showRelativeTo(std::optional<QRect> anchor, std::optional<std::uint32_t> keyEventTime) {
    if (isVisible()) {
        return;
    }
    anchor_ = anchor;
    pointer_ = QCursor::pos();
    placeAtAnchor();
    wasActivated_ = false;
    awaitsFirstPaint_ = true;
    show();
    raise();
    requestActivation(keyEventTime);
}

void PanelPopover::placeAtAnchor() {
    QScreen *screen = QGuiApplication::screenAt(anchor_ ? anchor_->center() : pointer_);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    QRect available = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    move(PopoverPlacement::origin(anchor_, pointer_, size(), available));
}

void PanelPopover::requestActivation(std::optional<std::uint32_t> keyEventTime) {
    activateWindow();
    if (keyEventTime && *keyEventTime != 0 && QGuiApplication::platformName() == QStringLiteral("xcb")) {
        requestWindowActivation(static_cast<std::uintptr_t>(winId()), *keyEventTime);
    }
}

void PanelPopover::performClose() {
    if (!isVisible()) {
        return;
    }
    emit willClose();
    hide();
    emit didClose();
}

bool PanelPopover::event(QEvent *event) {
    switch (event->type()) {
    case QEvent::WindowActivate:
        wasActivated_ = true;
        break;
    case QEvent::WindowDeactivate:
        // Another window took the keyboard: a transient panel closes, as after a click elsewhere.
        if (behavior_ == PopoverBehavior::transient && wasActivated_ && isVisible()) {
            lastSelfClose_ = Clock::now();
            performClose();
        }
        break;
    case QEvent::UpdateRequest:
        if (awaitsFirstPaint_) {
            bool handled = QWidget::event(event);
            awaitsFirstPaint_ = false;
            emit shownAndPainted();
            return handled;
        }
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

} // namespace velto
