#include "platform/desktop/GraphicalSession.h"

#include <cstdlib>

#include <xcb/xcb.h>

namespace velto {

std::optional<std::string> missingGraphicalSession() {
    const char *display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        return "Velto needs a graphical session: no display is set (DISPLAY is empty).";
    }
    // Connected and let go at once: the toolkit makes its own connection, and without this check would end in an
    // abort that speaks of reinstalling.
    xcb_connection_t *connection = xcb_connect(display, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (!reachable) {
        return std::string("Velto needs a graphical session: the display “") + display + "” can’t be reached.";
    }
    return std::nullopt;
}

} // namespace velto
