#include "platform/desktop/Compositor.h"

#include <QtGui/QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <string>

namespace velto {

bool compositingManagerRunning() {
    auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (application == nullptr) {
        return false;
    }
#if QT_CONFIG(xcb)
    auto *x11 = application->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) {
        return false;
    }
    xcb_connection_t *connection = x11->connection();
    // Qt's primary screen is the default screen of its connection, whose number the display name carries.
    int screenNumber = 0;
    if (const char *display = std::getenv("DISPLAY")) {
        std::string name(display);
        std::size_t dot = name.rfind('.');
        std::size_t colon = name.rfind(':');
        if (dot != std::string::npos && colon != std::string::npos && dot > colon) {
            screenNumber = std::atoi(name.c_str() + dot + 1);
        }
    }
    std::string selection = "_NET_WM_CM_S" + std::to_string(screenNumber);
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(selection.size()), selection.c_str()),
        nullptr);
    if (atom == nullptr) {
        return false;
    }
    bool owned = false;
    if (atom->atom != XCB_ATOM_NONE) {
        xcb_get_selection_owner_reply_t *owner =
            xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
        owned = owner != nullptr && owner->owner != XCB_WINDOW_NONE;
        std::free(owner);
    }
    std::free(atom);
    return owned;
#else
    return false;
#endif
}

} // namespace velto
