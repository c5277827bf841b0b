#pragma once

// Another client of the private X server that holds Alt+Space, as many window managers do for the window menu.
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace velto::testing {

/// A client that holds Alt+Space on the display in every state of Caps Lock and Num Lock, as long as it lives.
class AltSpaceHolder {
public:
    explicit AltSpaceHolder(const std::string &display)
        : connection_(xcb_connect(display.c_str(), nullptr)) {
        if (xcb_connection_has_error(connection_)) {
            return;
        }
        constexpr std::uint8_t space = 65; // evdev 57 + 8
        xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        holds_ = true;
        const std::uint16_t lockStates[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
        for (std::uint16_t locks : lockStates) {
            xcb_generic_error_t *error =
                xcb_request_check(connection_, xcb_grab_key_checked(connection_, 1, root, XCB_MOD_MASK_1 | locks, space,
                                                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            holds_ = holds_ && error == nullptr;
            std::free(error);
        }
    }
    ~AltSpaceHolder() { xcb_disconnect(connection_); }
    AltSpaceHolder(const AltSpaceHolder &) = delete;
    AltSpaceHolder &operator=(const AltSpaceHolder &) = delete;

    bool holds() const { return holds_; }

private:
    xcb_connection_t *connection_;
    bool holds_ = false;
};

} // namespace velto::testing
