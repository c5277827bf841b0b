// Global key grabs on a private X server started by the test (Xvfb), with xdotool as the user's keyboard.
#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/X11KeyGrabs.h"
#include "support/PrivateXServer.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace velto {
namespace {

using namespace std::chrono_literals;
using testing::waitUntil;

constexpr std::uint8_t spaceKey = 65; // X11 key code of the space bar (evdev 57 + 8)
constexpr std::uint8_t vKey = 55;     // V

class X11KeyGrabsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::optional<std::string> missing = testing::firstMissingProgram({"Xvfb", "xdotool"})) {
            GTEST_SKIP() << "needs " << *missing << " (installed by scripts/setup.sh)";
        }
        server = std::make_unique<testing::PrivateXServer>(testing::currentEnvironment());
        ASSERT_TRUE(server->isReady()) << server->failure();
        display = server->display();
        connection = connect();
        ASSERT_NE(connection, nullptr);
        grabs = std::make_unique<X11KeyGrabs>(connection);
        QObject::connect(grabs.get(), &X11KeyGrabs::keyEvent,
                         [this](const X11KeyGrabs::KeyEvent &event) { events.push_back(event); });
    }

    void TearDown() override {
        grabs.reset();
        for (xcb_connection_t *open : connections) {
            xcb_disconnect(open);
        }
    }

    xcb_connection_t *connect() {
        xcb_connection_t *opened = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(opened)) {
            xcb_disconnect(opened);
            return nullptr;
        }
        connections.push_back(opened);
        return opened;
    }

    void press(const std::string &keys) { ASSERT_EQ(server->run({"xdotool", "key", keys}).exitStatus, 0) << keys; }

    /// Reads the connection's events into the grabs until `count` key events arrived.
    bool receive(std::size_t count) {
        return waitUntil(
            [&] {
                while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
                    grabs->handleEvent(event);
                    std::free(event);
                }
                return events.size() >= count;
            },
            testing::generousWait, 5ms);
    }

    /// Whether another client may grab the combination in exactly this modifier state.
    bool otherClientCanGrab(std::uint8_t key, std::uint16_t modifiers) {
        xcb_connection_t *other = connect();
        xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
        xcb_generic_error_t *error = xcb_request_check(
            other, xcb_grab_key_checked(other, 0, root, modifiers, key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }

    /// Whether another client may grab the whole keyboard (and so let it go again at once).
    bool otherClientCanTakeTheKeyboard() {
        if (otherClient == nullptr) {
            otherClient = connect();
        }
        xcb_connection_t *other = otherClient;
        xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
        xcb_grab_keyboard_reply_t *reply = xcb_grab_keyboard_reply(
            other, xcb_grab_keyboard(other, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
            nullptr);
        const bool taken = reply != nullptr && reply->status == XCB_GRAB_STATUS_SUCCESS;
        std::free(reply);
        xcb_ungrab_keyboard(other, XCB_CURRENT_TIME);
        xcb_flush(other);
        return taken;
    }

    std::unique_ptr<testing::PrivateXServer> server;
    std::string display;
    xcb_connection_t *connection = nullptr;
    std::vector<xcb_connection_t *> connections;
    xcb_connection_t *otherClient = nullptr;
    std::unique_ptr<X11KeyGrabs> grabs;
    std::vector<X11KeyGrabs::KeyEvent> events;
};

TEST_F(X11KeyGrabsTest, ModifierBitsComeFromTheServersMapping) {
    EXPECT_EQ(grabs->modifierMask(keyCodes::optionFlag), 1 << 3); // Alt on Mod1
    EXPECT_EQ(grabs->modifierMask(keyCodes::commandFlag), X11KeyGrabs::controlMask);
    EXPECT_EQ(grabs->modifierMask(keyCodes::shiftFlag | keyCodes::optionFlag), X11KeyGrabs::shiftMask | (1 << 3));
    EXPECT_EQ(grabs->modifierMask(keyCodes::controlFlag), 1 << 6); // Super on Mod4
}

TEST_F(X11KeyGrabsTest, AGrabbedCombinationArrivesWithCapsLockAndNumLockInAnyState) {
    std::uint16_t alt = grabs->modifierMask(keyCodes::optionFlag);
    ASSERT_EQ(grabs->grab(spaceKey, alt), X11KeyGrabs::GrabResult::grabbed);

    const char *lockStates[] = {"", "Caps_Lock", "Num_Lock", "Caps_Lock"}; // off, Caps, Caps+Num, Num
    std::size_t expected = 0;
    for (const char *toggle : lockStates) {
        if (*toggle != '\0') {
            press(toggle);
        }
        press("alt+space");
        expected += 2;
        ASSERT_TRUE(receive(expected)) << "nothing arrived after toggling " << toggle;
        EXPECT_TRUE(events[expected - 2].isPress);
        EXPECT_FALSE(events[expected - 1].isPress);
        EXPECT_EQ(events[expected - 2].keyCode, spaceKey);
        EXPECT_EQ(events[expected - 2].modifiers, alt);
    }
    EXPECT_EQ(events.size(), expected) << "a plain Space or a lock key must not count";
}

TEST_F(X11KeyGrabsTest, ACombinationAnotherClientHoldsIsRefusedWithoutLeavingPartialGrabs) {
    std::uint16_t ctrlAlt = grabs->modifierMask(keyCodes::commandFlag | keyCodes::optionFlag);
    // The other client holds only the Caps Lock state: the plain state is grabbed first and must be let go.
    ASSERT_TRUE(otherClientCanGrab(vKey, ctrlAlt | X11KeyGrabs::lockMask));
    EXPECT_EQ(grabs->grab(vKey, ctrlAlt), X11KeyGrabs::GrabResult::heldByAnotherClient);
    EXPECT_TRUE(otherClientCanGrab(vKey, ctrlAlt)) << "the refused grab left its first state grabbed";
}

TEST_F(X11KeyGrabsTest, UngrabbingAndDestroyingReleaseEveryLockState) {
    std::uint16_t alt = grabs->modifierMask(keyCodes::optionFlag);
    ASSERT_EQ(grabs->grab(spaceKey, alt), X11KeyGrabs::GrabResult::grabbed);
    EXPECT_FALSE(otherClientCanGrab(spaceKey, alt | (1 << 4)));
    grabs->ungrab(spaceKey, alt);
    xcb_flush(connection);
    EXPECT_TRUE(otherClientCanGrab(spaceKey, alt | X11KeyGrabs::lockMask | (1 << 4)));

    ASSERT_EQ(grabs->grab(vKey, alt), X11KeyGrabs::GrabResult::grabbed);
    grabs.reset();
    EXPECT_TRUE(otherClientCanGrab(vKey, alt | X11KeyGrabs::lockMask));
}

TEST_F(X11KeyGrabsTest, AHeldKeyboardBringsTypedKeysToItsWindowUntilLetGoAndTheShortcutKeepsItsRelease) {
    std::uint16_t alt = grabs->modifierMask(keyCodes::optionFlag);
    ASSERT_EQ(grabs->grab(spaceKey, alt), X11KeyGrabs::GrabResult::grabbed);
    // A window of this client that is not shown yet, as the panel is while a big page is laid out.
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_window_t window = xcb_generate_id(connection);
    std::uint32_t keyEvents = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, root, 0, 0, 100, 100, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &keyEvents);
    std::vector<std::pair<std::uint8_t, xcb_window_t>> typed; // key code and window of every other press
    auto receiveTyped = [&](std::size_t count) {
        return waitUntil(
            [&] {
                while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
                    const auto *key = reinterpret_cast<const xcb_key_press_event_t *>(event);
                    if (!grabs->handleEvent(event) && (event->response_type & 0x7f) == XCB_KEY_PRESS) {
                        typed.emplace_back(key->detail, key->event);
                    }
                    std::free(event);
                }
                return typed.size() >= count;
            },
            testing::generousWait, 5ms);
    };

    // The shortcut goes down; the keyboard is held from its time on.
    ASSERT_EQ(server->run({"xdotool", "keydown", "alt+space"}).exitStatus, 0);
    ASSERT_TRUE(receive(1));
    ASSERT_TRUE(grabs->holdKeyboard(window, events.front().time, 60s));
    ASSERT_EQ(server->run({"xdotool", "type", "--delay", "0", "ab"}).exitStatus, 0);
    xcb_flush(connection);
    // Let go before the typed keys are read, and before the shortcut comes up: the window now has the focus.
    grabs->releaseKeyboard();
    xcb_map_window(connection, window);
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    xcb_flush(connection);
    ASSERT_EQ(server->run({"xdotool", "keyup", "space", "keyup", "alt"}).exitStatus, 0);
    ASSERT_EQ(server->run({"xdotool", "type", "--delay", "0", "c"}).exitStatus, 0);
    ASSERT_TRUE(receiveTyped(3));
    ASSERT_EQ(events.size(), 2u) << "the shortcut's release, reported to the focused window, is the grab's";
    EXPECT_FALSE(events[1].isPress);

    // Once every held key has come, a key the server reports to the root (typed while the shortcut is down) is
    // no longer the window's.
    ASSERT_EQ(server->run({"xdotool", "keydown", "alt+space", "key", "x", "keyup", "space", "keyup", "alt"}).exitStatus,
              0);
    ASSERT_TRUE(receiveTyped(5));
    ASSERT_TRUE(receive(4));
    constexpr std::uint8_t aKey = 38, bKey = 56, cKey = 54, altKey = 64, xKey = 53;
    using Typed = std::vector<std::pair<std::uint8_t, xcb_window_t>>;
    EXPECT_EQ(typed, (Typed{{aKey, window}, {bKey, window}, {cKey, window}, {altKey, window}, {xKey, root}}));

    EXPECT_TRUE(otherClientCanTakeTheKeyboard());
}

TEST_F(X11KeyGrabsTest, AHeldKeyboardIsLetGoAfterTheLongestHoldThoughNoEventIsEverHandled) {
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    ASSERT_TRUE(grabs->holdKeyboard(root, XCB_CURRENT_TIME, 200ms));
    EXPECT_TRUE(waitUntil([&] { return otherClientCanTakeTheKeyboard(); }, testing::generousWait, 20ms));
}

} // namespace
} // namespace velto
