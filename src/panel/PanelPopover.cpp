#include "panel/PanelPopover.h"

#include "panel/PopoverPlacement.h"

#include <QtGui/QCursor>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtGui/qguiapplication_platform.h>
#include <QtWidgets/QVBoxLayout>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace velto {

namespace {

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name) {
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    if (reply == nullptr) {
        return XCB_ATOM_NONE;
    }
    xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

/// Asks the window manager to activate the window, as an application answering the user's key press at
/// `time` (source indication 1, "an application", of the _NET_ACTIVE_WINDOW client message).
void sendActiveWindowRequest(WId window, std::uint32_t time) {
    auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    auto *x11 = application != nullptr ? application->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) {
        return;
    }
    xcb_connection_t *connection = x11->connection();
    xcb_atom_t activeWindow = internAtom(connection, "_NET_ACTIVE_WINDOW");
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (activeWindow == XCB_ATOM_NONE || screen == nullptr) {
        return;
    }
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window);
    message.type = activeWindow;
    message.data.data32[0] = 1; // from an application
    message.data.data32[1] = time;
    message.data.data32[2] = XCB_NONE;
    xcb_send_event(connection, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(connection);
}

} // namespace

PanelPopover::PanelPopover(QWidget *content, PopoverBehavior behavior)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), content_(content),
      behavior_(behavior) {
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
        sendActiveWindowRequest(winId(), *keyEventTime);
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
