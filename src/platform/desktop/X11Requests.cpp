#include "platform/desktop/X11Requests.h"

#include <QtGui/QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace velto {

namespace {

/// Qt's own connection to the X server; null where the application does not run on X11.
xcb_connection_t *applicationConnection() {
    auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    auto *x11 = application != nullptr ? application->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

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

} // namespace

void requestWindowActivation(std::uintptr_t window, std::uint32_t time) {
    xcb_connection_t *connection = applicationConnection();
    if (connection == nullptr) {
        return;
    }
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
    message.data.data32[0] = 1; // the source indication "an application"
    message.data.data32[1] = time;
    message.data.data32[2] = XCB_NONE;
    xcb_send_event(connection, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(connection);
}

bool roundTripToXServer() {
    xcb_connection_t *connection = applicationConnection();
    if (connection == nullptr) {
        return false;
    }
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    return true;
}

} // namespace velto
