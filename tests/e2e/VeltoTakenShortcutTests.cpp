// A desktop that keeps Alt+Space for itself, as many window managers do for the window menu. On a first launch
// Velto calls the default shortcut the default, and its Welcome leads to choosing another instead of teaching a
// key that does nothing; on every launch its warning names what is left unregistered and offers another. Another client
// of the private X server holds the key in the window manager's place.
#include "AltSpaceHolder.h"
#include "DesktopSession.h"

#include <gtest/gtest.h>

#include <csignal>

namespace velto::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto generous = 30s;

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

    /// The launch's warning, once shown, given the keyboard by a click: it takes none itself.
    std::optional<std::string> clickedWarning() {
        std::optional<std::string> shown;
        waitUntil(
            [&] {
                std::vector<std::string> windows = session->visibleWindows();
                shown = windows.size() == 1 ? std::optional(windows.front()) : std::nullopt;
                return shown.has_value();
            },
            generous);
        if (shown && !session->giveFocusByClicking(*shown)) {
            return std::nullopt;
        }
        return shown;
    }

    /// Presses Ctrl+Alt+Space into the recorder that records and waits until the preferences hold a chosen shortcut.
    void recordCtrlAltSpace() {
        ASSERT_EQ(session->tool({"xdotool", "key", "ctrl+alt+space"}).exitStatus, 0);
        ASSERT_TRUE(waitUntil(
            [&] {
                return readWholeFile(session->preferencesFile().string()).find("globalShortcutKeyCode") !=
                       std::string::npos;
            },
            generous));
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
    std::optional<std::string> warning = clickedWarning();
    ASSERT_TRUE(warning.has_value()) << "the warning did not show or a click gave it no keyboard";
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
    ASSERT_NO_FATAL_FAILURE(recordCtrlAltSpace());
    ASSERT_EQ(session->tool({"xdotool", "key", "ctrl+alt+space"}).exitStatus, 0);
    EXPECT_TRUE(waitUntil([&] { return session->visiblePanelWindow().has_value(); }, generous))
        << "the chosen shortcut does not show the panel";
    velto->process().signal(SIGTERM);
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
}

// The warning names every shortcut it left unregistered, and its second button opens the recorder of another, after
// which both shortcuts work. On a first launch too, the Welcome then waits instead of opening over the recorder.
TEST_F(VeltoTakenShortcut, TheWarningNamesEveryShortcutLeftUnregisteredAndLeadsToChoosingAnother) {
    session->forgetWelcome();
    AltSpaceHolder holder(session->display());
    ASSERT_TRUE(holder.holds());

    velto = std::make_unique<VeltoProcess>(*session);
    ASSERT_TRUE(
        waitUntil([&] { return velto->output().find("Shortcut Is Unavailable") != std::string::npos; }, generous));
    EXPECT_NE(velto->output().find("The default show/hide shortcut, Alt+Space, is already in use. Clipboard append "
                                   "(Ctrl+Alt+V) is unavailable until it works."),
              std::string::npos);
    std::optional<std::string> warning = clickedWarning();
    ASSERT_TRUE(warning.has_value()) << "the warning did not show or a click gave it no keyboard";
    // "OK" has the keyboard; Tab reaches "Choose Another Shortcut…".
    ASSERT_EQ(session->tool({"xdotool", "key", "--delay", "40", "Tab", "space"}).exitStatus, 0);
    std::optional<std::string> settings;
    ASSERT_TRUE(waitUntil([&] { return (settings = focusedVeltoWindow()) && settings != warning; }, generous))
        << "Settings did not open with the keyboard";

    ASSERT_NO_FATAL_FAILURE(recordCtrlAltSpace());
    // Registered with the new show/hide shortcut, the clipboard shortcut appends to the page.
    ASSERT_TRUE(session->setClipboard("appended once another shortcut was chosen"));
    ASSERT_EQ(session->tool({"xdotool", "key", "ctrl+alt+v"}).exitStatus, 0);
    EXPECT_TRUE(waitUntil(
        [&] {
            return pageFilesText(session->pagesFolder()).find("appended once another shortcut was chosen") !=
                   std::string::npos;
        },
        generous))
        << "the clipboard shortcut was not registered";
    ASSERT_EQ(session->tool({"xdotool", "key", "ctrl+alt+space"}).exitStatus, 0);
    EXPECT_TRUE(waitUntil([&] { return session->visiblePanelWindow().has_value(); }, generous))
        << "the chosen shortcut does not show the panel";
    velto->process().signal(SIGTERM);
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
}

} // namespace
} // namespace velto::testing
