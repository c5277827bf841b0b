#include "platform/desktop/X11Keyboard.h"

#include "platform/desktop/XcbXkb.h"

#include <QtCore/QSocketNotifier>

#include <xkbcommon/xkbcommon-x11.h>

#include <cstdlib>

namespace velto {

namespace {

constexpr std::uint16_t watchedEvents =
    XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY | XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
constexpr std::uint16_t watchedMapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS |
                                          XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS |
                                          XCB_XKB_MAP_PART_KEY_ACTIONS | XCB_XKB_MAP_PART_VIRTUAL_MODS |
                                          XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;

// Only a change of the selected layout (the XKB group) is an input-source change; modifier presses
// also produce state events and are of no interest.
bool selectEvents(xcb_connection_t *connection, std::int32_t deviceId) {
    xcb_xkb_select_events_details_t details{};
    details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.affectState = XCB_XKB_STATE_PART_GROUP_STATE;
    details.stateDetails = XCB_XKB_STATE_PART_GROUP_STATE;
    xcb_void_cookie_t cookie =
        xcb_xkb_select_events_aux_checked(connection, static_cast<xcb_xkb_device_spec_t>(deviceId), watchedEvents, 0, 0,
                                          watchedMapParts, watchedMapParts, &details);
    xcb_generic_error_t *error = xcb_request_check(connection, cookie);
    std::free(error);
    return error == nullptr;
}

} // namespace

std::unique_ptr<X11Keyboard> X11Keyboard::connect(const char *displayName) {
    xcb_connection_t *connection = xcb_connect(displayName, nullptr);
    if (connection == nullptr || xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    std::uint8_t eventBase = 0;
    if (!xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &eventBase, nullptr)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    std::int32_t deviceId = xkb_x11_get_core_keyboard_device_id(connection);
    if (deviceId < 0 || !selectEvents(connection, deviceId)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<X11Keyboard>(new X11Keyboard(connection, deviceId, eventBase));
}

namespace {

std::shared_ptr<const XkbKeymap> keymapFromServer(xcb_connection_t *connection, std::int32_t deviceId) {
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (context == nullptr) {
        return nullptr;
    }
    xkb_keymap *keymap = xkb_x11_keymap_new_from_device(context, connection, deviceId, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) {
        xkb_context_unref(context);
        return nullptr;
    }
    return std::make_shared<const XkbKeymap>(context, keymap);
}

} // namespace

X11Keyboard *X11Keyboard::shared() {
    // Lives for the whole process: the connection is reused by every translation and by the watcher.
    static X11Keyboard *keyboard = [] {
        const char *display = std::getenv("DISPLAY");
        return display == nullptr || *display == '\0' ? nullptr : connect(display).release();
    }();
    return keyboard;
}

X11Keyboard::X11Keyboard(xcb_connection_t *connection, std::int32_t deviceId, std::uint8_t xkbEventBase)
    : connection_(connection)
    , deviceId_(deviceId)
    , xkbEventBase_(xkbEventBase) {}

X11Keyboard::~X11Keyboard() {
    notifier_.reset();
    xcb_disconnect(connection_);
}

std::optional<std::string> X11Keyboard::typedText(std::uint32_t x11KeyCode, bool shift) {
    bool changed = false;
    std::optional<std::string> text;
    {
        std::lock_guard lock{mutex_};
        changed = drainEvents();
        const bool askServer = keymap_ == nullptr || !layoutIndex_;
        if (keymap_ == nullptr) {
            keymap_ = keymapFromServer(connection_, deviceId_);
        }
        if (!layoutIndex_) {
            layoutIndex_ = selectedLayoutIndexFromServer();
        }
        if (keymap_ != nullptr && layoutIndex_) {
            text = keymap_->typedText(x11KeyCode, shift, *layoutIndex_);
        }
        // Waiting for replies may have queued events inside xcb, where the socket notifier cannot see them. Those
        // sent before a reply describe the state it answers or an older one, and are read in order, so the
        // layout kept is the latest. Without a reply waited for, xcb read nothing more: a key costs one read of
        // the connection, not two.
        if (askServer) {
            changed = drainEvents() || changed;
        }
    }
    // Events read here would otherwise be lost to those watching.
    if (changed) {
        emit layoutChanged();
    }
    return text;
}

std::optional<std::uint32_t> X11Keyboard::selectedLayoutIndexFromServer() {
    xcb_xkb_get_state_cookie_t cookie = xcb_xkb_get_state(connection_, static_cast<xcb_xkb_device_spec_t>(deviceId_));
    xcb_xkb_get_state_reply_t *reply = xcb_xkb_get_state_reply(connection_, cookie, nullptr);
    if (reply == nullptr) {
        return std::nullopt;
    }
    std::uint32_t group = reply->group;
    std::free(reply);
    return group;
}

bool X11Keyboard::drainEvents() {
    bool changed = false;
    while (xcb_generic_event_t *event = xcb_poll_for_event(connection_)) {
        if ((event->response_type & 0x7f) == xkbEventBase_) {
            auto *xkbEvent = reinterpret_cast<xcb_xkb_state_notify_event_t *>(event);
            if (xkbEvent->xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbEvent->xkbType == XCB_XKB_MAP_NOTIFY) {
                // A new keymap may have fewer layouts: both are asked for again.
                keymap_.reset();
                layoutIndex_.reset();
                changed = true;
            } else if (xkbEvent->xkbType == XCB_XKB_STATE_NOTIFY &&
                       (xkbEvent->changed & XCB_XKB_STATE_PART_GROUP_STATE) != 0) {
                layoutIndex_ = xkbEvent->group;
                changed = true;
            }
        }
        std::free(event);
    }
    return changed;
}

void X11Keyboard::startWatching() {
    std::lock_guard lock{mutex_};
    if (notifier_ != nullptr) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { handleSocketActivity(); });
}

void X11Keyboard::handleSocketActivity() {
    bool changed = false;
    {
        std::lock_guard lock{mutex_};
        if (xcb_connection_has_error(connection_)) {
            // The server went away: stop listening rather than spin on a dead socket.
            notifier_->setEnabled(false);
            return;
        }
        changed = drainEvents();
    }
    if (changed) {
        emit layoutChanged();
    }
}

} // namespace velto
