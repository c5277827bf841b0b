// A first launch on a desktop that keeps Alt+Space for itself, as many window managers do for the window menu:
// Velto calls the default shortcut the default, and its Welcome leads to choosing another instead of teaching a
// key that does nothing. Another client of the private X server holds the key in the window manager's place.
#include "DesktopSession.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>

namespace velto::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto generous = 30s;

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

class VeltoTakenShortcut : public DesktopSessionTest {
protected:
    void TearDown() override {
        if (HasFailure() && velto) {
            printVeltoOutputAndWindows(*velto);
        }
    }

    /// The one visible window of Velto besides the Welcome, once it has the keyboard.
    std::optional<std::string> focusedVeltoWindow() {
        std::optional<std::string> shown;
        waitUntil(
            [&] {
                std::vector<std::string> windows = session->visibleWindows();
                shown = windows.size() == 1 ? std::optional(windows.front()) : std::nullopt;
                return shown && session->focusedWindow() == shown;
            },
            generous);
        return shown;
    }

    std::unique_ptr<VeltoProcess> velto;
};

TEST_F(VeltoTakenShortcut, TheFirstLaunchNamesTheTakenDefaultAndItsWelcomeLeadsToTheRecorderOfAnother) {
    session->forgetWelcome();
    AltSpaceHolder holder(session->display());
    ASSERT_TRUE(holder.holds());

    velto = std::make_unique<VeltoProcess>(*session);
    ASSERT_TRUE(
        waitUntil([&] { return velto->output().find("Shortcut Is Unavailable") != std::string::npos; }, generous));
    EXPECT_NE(velto->output().find("The default show/hide shortcut, Alt+Space, is already in use."), std::string::npos);
    std::optional<std::string> warning = focusedVeltoWindow();
    ASSERT_TRUE(warning.has_value()) << "the warning did not take the keyboard";
    EXPECT_FALSE(session->visibleWelcomeWindow().has_value()) << "the Welcome opened over the warning";
    ASSERT_EQ(session->tool({"xdotool", "key", "Return"}).exitStatus, 0);

    std::optional<std::string> welcome;
    ASSERT_TRUE(waitUntil([&] { return (welcome = session->visibleWelcomeWindow()).has_value(); }, generous));
    ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == welcome; }, generous));
    ASSERT_EQ(session->tool({"xdotool", "key", "Return"}).exitStatus, 0); // Choose a shortcut…
    ASSERT_TRUE(waitUntil([&] { return !session->visibleWelcomeWindow().has_value(); }, generous));
    std::optional<std::string> settings = focusedVeltoWindow();
    ASSERT_TRUE(settings.has_value()) << "Settings did not open with the keyboard";

    // The recorder records at once: the next combination is the show/hide shortcut, and it shows the panel.
    ASSERT_EQ(session->tool({"xdotool", "key", "ctrl+alt+space"}).exitStatus, 0);
    ASSERT_TRUE(waitUntil(
        [&] {
            return readWholeFile(session->preferencesFile().string()).find("globalShortcutKeyCode") !=
                   std::string::npos;
        },
        generous));
    ASSERT_EQ(session->tool({"xdotool", "key", "ctrl+alt+space"}).exitStatus, 0);
    EXPECT_TRUE(waitUntil([&] { return session->visiblePanelWindow().has_value(); }, generous))
        << "the chosen shortcut does not show the panel";
    velto->process().signal(SIGTERM);
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
}

} // namespace
} // namespace velto::testing
