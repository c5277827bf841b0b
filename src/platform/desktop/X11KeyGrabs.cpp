#include "platform/desktop/X11KeyGrabs.h"

#include "platform/desktop/KeyCodes.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace velto {

namespace {

constexpr std::uint32_t altLeft = 0xffe9;
constexpr std::uint32_t altRight = 0xffea;
constexpr std::uint32_t metaLeft = 0xffe7;
constexpr std::uint32_t superLeft = 0xffeb;
constexpr std::uint32_t superRight = 0xffec;
constexpr std::uint32_t numLock = 0xff7f;
constexpr std::uint8_t badAccess = 10;

xcb_window_t defaultRoot(xcb_connection_t *connection) {
    const xcb_setup_t *setup = xcb_get_setup(connection);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    return screens.rem > 0 ? screens.data->root : xcb_window_t{XCB_WINDOW_NONE};
}

} // namespace

X11KeyGrabs::X11KeyGrabs(xcb_connection_t *connection)
    : connection_(connection)
    , root_(defaultRoot(connection)) {
    readModifierMapping();
}

X11KeyGrabs::~X11KeyGrabs() {
    if (filtersApplicationEvents_ && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
    stopLetGoWatch();
    if (holdsKeyboard_) {
        xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME);
    }
    if (letGoWindow_ != XCB_WINDOW_NONE) {
        xcb_destroy_window(connection_, letGoWindow_);
    }
    for (const Grab &grab : grabs_) {
        ungrabVariants(grab.keyCode, grab.modifiers);
    }
    if (holdsKeyboard_ || letGoWindow_ != XCB_WINDOW_NONE || !grabs_.empty()) {
        xcb_flush(connection_);
    }
}

std::unique_ptr<X11KeyGrabs> X11KeyGrabs::forApplication() {
    auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (application == nullptr) {
        return nullptr;
    }
    auto *x11 = application->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) {
        return nullptr;
    }
    auto grabs = std::make_unique<X11KeyGrabs>(x11->connection());
    application->installNativeEventFilter(grabs.get());
    grabs->filtersApplicationEvents_ = true;
    return grabs;
}

void X11KeyGrabs::readModifierMapping() {
    xcb_get_modifier_mapping_reply_t *modifiers =
        xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr);
    const xcb_setup_t *setup = xcb_get_setup(connection_);
    std::uint8_t first = setup->min_keycode;
    std::uint8_t count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    xcb_get_keyboard_mapping_reply_t *keyboard =
        xcb_get_keyboard_mapping_reply(connection_, xcb_get_keyboard_mapping(connection_, first, count), nullptr);
    if (modifiers != nullptr && keyboard != nullptr) {
        const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(modifiers);
        const xcb_keysym_t *symbols = xcb_get_keyboard_mapping_keysyms(keyboard);
        int symbolCount = xcb_get_keyboard_mapping_keysyms_length(keyboard);
        int perKey = keyboard->keysyms_per_keycode;
        std::uint16_t alt = 0, super = 0, lockNum = 0;
        // Index 0 to 2 are Shift, Lock and Control; the mapping decides only which of Mod1 to Mod5 is what.
        for (int modifier = 3; modifier < 8; ++modifier) {
            for (int slot = 0; slot < modifiers->keycodes_per_modifier; ++slot) {
                xcb_keycode_t code = codes[modifier * modifiers->keycodes_per_modifier + slot];
                if (code < first) {
                    continue;
                }
                for (int column = 0; column < perKey; ++column) {
                    int index = (code - first) * perKey + column;
                    if (index >= symbolCount) {
                        break;
                    }
                    std::uint32_t symbol = symbols[index];
                    auto bit = static_cast<std::uint16_t>(1 << modifier);
                    if (symbol == altLeft || symbol == altRight || symbol == metaLeft) {
                        alt |= bit;
                    } else if (symbol == superLeft || symbol == superRight) {
                        super |= bit;
                    } else if (symbol == numLock) {
                        lockNum |= bit;
                    }
                }
            }
        }
        // Some maps put Alt and Meta on two bits; the lowest is the one key presses report.
        if (alt != 0) {
            altMask_ = static_cast<std::uint16_t>(alt & -alt);
        }
        if (super != 0) {
            superMask_ = static_cast<std::uint16_t>(super & -super);
        }
        if (lockNum != 0) {
            numLockMask_ = static_cast<std::uint16_t>(lockNum & -lockNum);
        }
    }
    std::free(modifiers);
    std::free(keyboard);
}

std::uint16_t X11KeyGrabs::modifierMask(std::uint64_t modifierFlags) const {
    std::uint16_t mask = 0;
    if ((modifierFlags & keyCodes::shiftFlag) != 0) {
        mask |= shiftMask;
    }
    if ((modifierFlags & keyCodes::commandFlag) != 0) {
        mask |= controlMask;
    }
    if ((modifierFlags & keyCodes::optionFlag) != 0) {
        mask |= altMask_;
    }
    if ((modifierFlags & keyCodes::controlFlag) != 0) {
        mask |= superMask_;
    }
    return mask;
}

std::vector<std::uint16_t> X11KeyGrabs::lockVariants() const {
    return {0, lockMask, numLockMask_, static_cast<std::uint16_t>(lockMask | numLockMask_)};
}

X11KeyGrabs::GrabResult X11KeyGrabs::grabVariants(std::uint8_t keyCode, std::uint16_t modifiers) {
    std::vector<std::uint16_t> grabbed;
    GrabResult result = GrabResult::grabbed;
    for (std::uint16_t locks : lockVariants()) {
        // Not owner_events: while the grab is active every key event comes to the root window, also when one of
        // our own windows has the focus, so the release that ends a press is never taken for typing.
        xcb_void_cookie_t cookie =
            xcb_grab_key_checked(connection_, 0, root_, static_cast<std::uint16_t>(modifiers | locks), keyCode,
                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t *error = xcb_request_check(connection_, cookie);
        if (error != nullptr) {
            result = error->error_code == badAccess ? GrabResult::heldByAnotherClient : GrabResult::failed;
            std::free(error);
            break;
        }
        grabbed.push_back(locks);
    }
    if (result != GrabResult::grabbed) {
        for (std::uint16_t locks : grabbed) {
            xcb_ungrab_key(connection_, keyCode, root_, static_cast<std::uint16_t>(modifiers | locks));
        }
        xcb_flush(connection_);
    }
    return result;
}

void X11KeyGrabs::ungrabVariants(std::uint8_t keyCode, std::uint16_t modifiers) {
    for (std::uint16_t locks : lockVariants()) {
        xcb_ungrab_key(connection_, keyCode, root_, static_cast<std::uint16_t>(modifiers | locks));
    }
}

X11KeyGrabs::GrabResult X11KeyGrabs::grab(std::uint8_t keyCode, std::uint16_t modifiers) {
    if (connection_ == nullptr || xcb_connection_has_error(connection_) || root_ == XCB_WINDOW_NONE) {
        return GrabResult::failed;
    }
    GrabResult result = grabVariants(keyCode, modifiers);
    if (result == GrabResult::grabbed) {
        grabs_.push_back({keyCode, modifiers});
    }
    return result;
}

void X11KeyGrabs::ungrab(std::uint8_t keyCode, std::uint16_t modifiers) {
    for (auto grab = grabs_.begin(); grab != grabs_.end(); ++grab) {
        if (grab->keyCode == keyCode && grab->modifiers == modifiers) {
            ungrabVariants(keyCode, modifiers);
            xcb_flush(connection_);
            grabs_.erase(grab);
            return;
        }
    }
}

bool X11KeyGrabs::holdKeyboard(std::uint32_t window, std::uint32_t time, std::chrono::milliseconds longest) {
    stopLetGoWatch();
    if (!makeLetGoMessages()) {
        return false;
    }
    // Owner events: keys for a window of this client (the panel once it has the focus, another of its windows
    // under the pointer) reach that window, the rest come to the root; handleEvent sends both to `window`.
    xcb_grab_keyboard_reply_t *reply = xcb_grab_keyboard_reply(
        connection_, xcb_grab_keyboard(connection_, 1, root_, time, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr);
    const bool held = reply != nullptr && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    if (!held) {
        releaseKeyboard(); // an earlier hold, which has lost its watch
        return false;
    }
    holdsKeyboard_ = true;
    heldKeysGoTo_ = window;
    const std::uint32_t number = ++holdNumber_;
    letGoWatch_ = std::jthread([this, longest, number](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        wake.wait_for(lock, stop, longest, [] { return false; });
        if (!stop.stop_requested() && holdsKeyboard_.exchange(false)) {
            letGo(number);
        }
    });
    return true;
}

void X11KeyGrabs::releaseKeyboard() {
    stopLetGoWatch();
    if (holdsKeyboard_.exchange(false)) {
        letGo(holdNumber_);
    }
}

void X11KeyGrabs::stopLetGoWatch() {
    if (letGoWatch_.joinable()) {
        letGoWatch_.request_stop();
        letGoWatch_.join();
    }
}

void X11KeyGrabs::letGo(std::uint32_t holdNumber) {
    xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME);
    // Keys the server took before it let go may still wait in the queue: they keep going to the holding window
    // until this message, which the server queues behind them, comes back.
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = letGoWindow_;
    message.type = letGoAtom_;
    message.data.data32[0] = holdNumber;
    // No event mask: the server hands the message to the client that made the window, this one.
    xcb_send_event(connection_, 0, letGoWindow_, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&message));
    xcb_flush(connection_);
}

bool X11KeyGrabs::makeLetGoMessages() {
    if (letGoWindow_ != XCB_WINDOW_NONE) {
        return true;
    }
    if (connection_ == nullptr || xcb_connection_has_error(connection_) || root_ == XCB_WINDOW_NONE) {
        return false;
    }
    static constexpr char name[] = "_VELTO_KEYBOARD_LET_GO";
    xcb_intern_atom_reply_t *atom =
        xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, sizeof name - 1, name), nullptr);
    if (atom == nullptr) {
        return false;
    }
    letGoAtom_ = atom->atom;
    std::free(atom);
    // Never shown; it only carries the messages that end a hold.
    letGoWindow_ = xcb_generate_id(connection_);
    xcb_create_window(connection_, 0, letGoWindow_, root_, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    return true;
}

bool X11KeyGrabs::takeLetGoMessage(const void *clientMessage) {
    const auto *message = static_cast<const xcb_client_message_event_t *>(clientMessage);
    if (letGoWindow_ == XCB_WINDOW_NONE || message->window != letGoWindow_) {
        return false;
    }
    if (!holdsKeyboard_ && message->data.data32[0] == holdNumber_) {
        heldKeysGoTo_ = XCB_WINDOW_NONE; // every key of the last hold has come
    }
    return true;
}

const X11KeyGrabs::Grab *X11KeyGrabs::grabOf(std::uint8_t keyCode, std::uint16_t state, bool isPress,
                                             bool reportedToRoot) {
    if (isPress) {
        // While the keyboard is held, the server reports a grabbed combination to the focused window of this
        // client instead of the root (the shortcut pressed again to hide the panel): it is still the grab's.
        if (!reportedToRoot && heldKeysGoTo_ == XCB_WINDOW_NONE) {
            return nullptr;
        }
        auto held = static_cast<std::uint16_t>(state & ~(lockMask | numLockMask_));
        for (const Grab &grab : grabs_) {
            if (grab.keyCode == keyCode && grab.modifiers == held) {
                pressedGrabKeys_.set(keyCode);
                return &grab;
            }
        }
        return nullptr;
    }
    // A grabbed press's release belongs to the grab wherever it is reported: a held keyboard let go before the
    // key came up ends the grab the press began, and the server then reports the release to the focused panel.
    const bool endsGrabbedPress = pressedGrabKeys_.test(keyCode);
    pressedGrabKeys_.reset(keyCode);
    if (!reportedToRoot && heldKeysGoTo_ == XCB_WINDOW_NONE && !endsGrabbedPress) {
        return nullptr;
    }
    for (const Grab &grab : grabs_) {
        // A release may come after the modifiers were let go: the key alone tells which grab it ends.
        if (grab.keyCode == keyCode) {
            return &grab;
        }
    }
    return nullptr;
}

bool X11KeyGrabs::handleEvent(void *xcbEvent) {
    auto *event = static_cast<xcb_generic_event_t *>(xcbEvent);
    std::uint8_t type = event->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        // Num Lock may now be another bit: release the old lock variants, then grab with the new ones.
        for (const Grab &grab : grabs_) {
            ungrabVariants(grab.keyCode, grab.modifiers);
        }
        readModifierMapping();
        for (const Grab &grab : grabs_) {
            grabVariants(grab.keyCode, grab.modifiers);
        }
        xcb_flush(connection_);
        return false; // the toolkit wants it too
    }
    if (type == XCB_CLIENT_MESSAGE) {
        return takeLetGoMessage(event);
    }
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) {
        return false;
    }
    auto *key = reinterpret_cast<xcb_key_press_event_t *>(event);
    const bool isPress = type == XCB_KEY_PRESS;
    if (const Grab *grab = grabOf(key->detail, key->state, isPress, key->event == root_)) {
        emit keyEvent({grab->keyCode, grab->modifiers, isPress, key->time});
        return true;
    }
    if (heldKeysGoTo_ != XCB_WINDOW_NONE) {
        key->event = heldKeysGoTo_; // the toolkit takes it as typed into that window
        key->child = XCB_WINDOW_NONE;
    }
    return false;
}

bool X11KeyGrabs::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) {
    if (eventType != "xcb_generic_event_t" || message == nullptr) {
        return false;
    }
    return handleEvent(message);
}

} // namespace velto
