// Velto's controls as a screen reader meets them (the Settings window's shortcut recorder and rows, a task's check box
// in the panel, the tray menu's items): Qt's accessibility bridge on the desktop session's accessibility bus, read from
// another process with pyatspi while xdotool presses the keys.
#include "AltSpaceHolder.h"
#include "DesktopSession.h"
#include "support/LineProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace velto::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto generous = 30s;
const std::string python = "/usr/bin/python3"; // the system's, which holds pyatspi
const std::string recorderName = "Shortcut for Show or hide Velto";

std::optional<std::string> busLauncher() {
    for (const char *path : {"/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher"}) {
        if (std::filesystem::exists(path)) {
            return path;
        }
    }
    return std::nullopt;
}

/// The accessibility bus of a desktop session, with assistive technologies marked as present (org.a11y.Status
/// IsEnabled), so that Qt's bridge comes up in every application started afterwards. Stopped when dropped.
class AccessibilityBus {
public:
    AccessibilityBus(const DesktopSession &session, const std::string &launcher)
        : environment_(session.environment())
        , log_(session.root() / "at-spi.log")
        , launcher_(std::vector<std::string>{launcher, "--launch-immediately"}, environment_, log_.string()) {
        ready_ = waitUntil([this] { return busCall({"org.a11y.Bus.GetAddress"}); }, generous, 50ms) &&
                 busCall({"org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status", "string:IsEnabled",
                          "variant:boolean:true"});
    }
    ~AccessibilityBus() {
        // Asked to end, the launcher takes the accessibility bus (and the registry on it) along.
        launcher_.signal(SIGTERM);
        launcher_.waitForExit(10s);
    }
    AccessibilityBus(const AccessibilityBus &) = delete;
    AccessibilityBus &operator=(const AccessibilityBus &) = delete;

    bool isReady() const { return ready_; }
    std::string log() const { return readWholeFile(log_.string()); }

private:
    bool busCall(const std::vector<std::string> &call) const {
        std::vector<std::string> arguments{"dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                                           "/org/a11y/bus"};
        arguments.insert(arguments.end(), call.begin(), call.end());
        return runTool(arguments, environment_, 10s).exitStatus == 0;
    }

    Environment environment_;
    std::filesystem::path log_;
    ChildProcess launcher_;
    bool ready_ = false;
};

class OverAtspi : public DesktopSessionTest {
protected:
    void SetUp() override {
        DesktopSessionTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        launcher = busLauncher();
        if (!launcher || runTool({python, "-c", "import pyatspi"}, session->environment()).exitStatus != 0) {
            GTEST_SKIP() << "needs at-spi2-core and python3-pyatspi (installed by scripts/setup.sh)";
        }
    }

    void TearDown() override {
        if (HasFailure() && probe) {
            for (const std::string &line : probe->lines) {
                std::printf("probe: %s\n", line.c_str());
            }
        }
        if (HasFailure() && velto) {
            printVeltoOutputAndWindows(*velto);
        }
        if (velto && velto->process().isRunning()) {
            velto->process().signal(SIGTERM);
            EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
        }
    }

    void key(const std::string &keys) {
        ASSERT_EQ(session->tool({"xdotool", "key", "--delay", "40", keys}).exitStatus, 0);
    }

    /// Starts the accessibility bus, the probe listening on it, and Velto, up to `milestone` of its launch (its end,
    /// unless a warning holds the launch).
    void startVeltoWithAScreenReader(const std::string &milestone = "launch finished",
                                     const std::vector<std::string> &startedThrough = {}) {
        bus = std::make_unique<AccessibilityBus>(*session, *launcher);
        ASSERT_TRUE(bus->isReady()) << bus->log();
        probe =
            std::make_unique<LineProcess>(std::vector<std::string>{python, VELTO_ATSPI_PROBE}, session->environment());
        ASSERT_NE(probe->waitForLineStartingWith("ready", generous), "") << "the probe did not start";
        velto = std::make_unique<VeltoProcess>(*session, std::vector<std::string>{}, startedThrough);
        ASSERT_TRUE(velto->waitForMilestone(milestone, generous)) << velto->output();
    }

    /// Answers the one window Velto shows (a launch's notice, which takes no keyboard itself) with its default
    /// button, once a click has given it the keyboard.
    void answerTheOnlyWindow() {
        std::optional<std::string> window;
        ASSERT_TRUE(waitUntil(
            [&] {
                std::vector<std::string> windows = session->visibleWindows();
                window = windows.size() == 1 ? std::optional(windows.front()) : std::nullopt;
                return window.has_value();
            },
            generous))
            << "no notice shown";
        ASSERT_TRUE(session->giveFocusByClicking(*window)) << "a click did not give the notice the keyboard";
        key("Return");
        ASSERT_TRUE(waitUntil([&] { return session->visibleWindows().empty(); }, generous)) << "the notice stayed";
    }

    /// The item of the tray menu after "Open Velto" (a warning when there is one), as a screen reader meets it when
    /// the keyboard goes down the menu; the menu is closed again.
    std::string itemAfterOpenVelto() {
        EXPECT_TRUE(session->openTrayMenu(generous)) << "no menu";
        key("Down");
        probe->waitForLineStartingWith("menu-item Open Velto", generous);
        key("Down");
        std::string item = probe->waitForLineStartingWith("menu-item ", generous);
        key("Escape");
        waitUntil([&] { return session->visibleWindows().empty(); }, generous);
        return item;
    }

    /// Opens Settings with Ctrl+comma from the panel once the panel has the keyboard (the keys go to the focused
    /// window, not merely the shown one), and goes to the Shortcuts page from the focused sidebar.
    void openShortcutSettingsFrom(const std::string &panel) {
        ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == panel; }, generous))
            << "the panel has no keyboard";
        key("ctrl+comma");
        ASSERT_TRUE(waitUntil(
            [&] {
                std::string settings =
                    session->tool({"xdotool", "search", "--onlyvisible", "--name", "^Settings$"}).output;
                return !settings.empty() && settings == session->focusedWindow().value_or("") + "\n";
            },
            generous))
            << "Settings did not open with the keyboard";
        key("s");
    }

    /// Asks the probe (with `command`, "find" for a button) for the control whose name starts with `name` until
    /// Velto's bridge shows it; its place on the screen, or "". Each question waits for its answer, however long a
    /// busy machine takes to walk the tree: a question left unanswered would be taken up later, and the probe
    /// forgets the control while it looks for it again, missing the changes that arrive meanwhile.
    std::string findControl(const std::string &name, const std::string &command = "find") {
        std::string found;
        waitUntil(
            [&] {
                if (!probe->write(command + " velto " + name + "\n")) {
                    return true; // the probe ended: no answer will come
                }
                found = probe->waitForLineStartingWith("found ", generous);
                return found != "found none";
            },
            generous, 100ms);
        return found == "found none" ? "" : found;
    }

    /// The next change of the recorder's name or description that the probe received, with the text it then had.
    std::string nextEvent() { return probe->waitForLineStartingWith("event ", generous); }

    /// The name and description of the control found, read afresh. An empty one is read as the bare word, its line's
    /// trailing space trimmed.
    std::pair<std::string, std::string> readControl() {
        probe->write("read\n");
        std::string name = probe->waitForLineStartingWith("name");
        std::string description = probe->waitForLineStartingWith("description");
        return {name, description};
    }

    std::optional<std::string> launcher;
    // Dropped in this order once Velto has ended: the bus outlives every client of it.
    std::unique_ptr<AccessibilityBus> bus;
    std::unique_ptr<LineProcess> probe;
    std::unique_ptr<VeltoProcess> velto;
};

using RecorderOverAtspi = OverAtspi;
using TaskCheckboxOverAtspi = OverAtspi;
using TakenShortcutOverAtspi = OverAtspi;
using UnreadableFilesOverAtspi = OverAtspi;

TEST_F(RecorderOverAtspi, TheShowOrHideRecorderSaysItsShortcutAndItsConflictWhereAScreenReaderReadsThem) {
    ASSERT_NO_FATAL_FAILURE(startVeltoWithAScreenReader());
    key("alt+space");
    std::optional<std::string> panel;
    ASSERT_TRUE(waitUntil([&] { return (panel = session->visiblePanelWindow()).has_value(); }, generous));
    ASSERT_NO_FATAL_FAILURE(openShortcutSettingsFrom(*panel));

    std::string found = findControl(recorderName);
    ASSERT_NE(found, "") << "no “" << recorderName << "” over AT-SPI";
    auto [name, description] = readControl();
    EXPECT_EQ(name, "name " + recorderName + ", Alt+Space") << "at rest, the recorder's own name holds its shortcut";
    EXPECT_EQ(description, "description Click, then press a new shortcut. Press Delete to remove it.");

    // A click in the field starts recording.
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_EQ(std::sscanf(found.c_str(), "found %d %d %d %d", &x, &y, &width, &height), 4) << found;
    ASSERT_EQ(session
                  ->tool({"xdotool", "mousemove", std::to_string(x + width * 2 / 3), std::to_string(y + height / 2),
                          "click", "1"})
                  .exitStatus,
              0);
    const std::string named = "event accessible-name " + recorderName + ", ";
    const std::string described = "event accessible-description ";
    EXPECT_EQ(nextEvent(), named + "Recording");

    // Append Clipboard's shortcut is refused: one change of the name says the conflict, one of the description
    // announces it.
    key("ctrl+alt+v");
    EXPECT_EQ(nextEvent(), named + "Conflict: Ctrl+Alt+V");
    EXPECT_EQ(nextEvent(),
              described + "Shortcut already in use. Already used by Append Clipboard. Press Escape to cancel.");
    std::tie(name, description) = readControl();
    EXPECT_EQ(name, "name " + recorderName + ", Conflict: Ctrl+Alt+V");

    // Escape leaves the conflict: the saved shortcut again, and the help.
    key("Escape");
    EXPECT_EQ(nextEvent(), named + "Alt+Space");
    EXPECT_EQ(nextEvent(), described + "Click, then press a new shortcut. Press Delete to remove it.");

    // With the keyboard alone: on to the next recorder and back, and the recorder records again, so that the
    // live hot key reaches it and is refused the same way instead of appending the clipboard.
    key("Tab");
    key("shift+Tab");
    EXPECT_EQ(nextEvent(), named + "Recording");
    key("ctrl+alt+v");
    EXPECT_EQ(nextEvent(), named + "Conflict: Ctrl+Alt+V");
    EXPECT_EQ(nextEvent(),
              described + "Shortcut already in use. Already used by Append Clipboard. Press Escape to cancel.");

    EXPECT_EQ(velto->output().find("no ValueInterface"), std::string::npos)
        << "the bridge dropped an event of the recorder:\n"
        << velto->output();
}

TEST_F(TaskCheckboxOverAtspi, ATasksCheckBoxSaysHowToToggleItWhereAScreenReaderReadsIt) {
    ASSERT_NO_FATAL_FAILURE(startVeltoWithAScreenReader());
    key("alt+space");
    ASSERT_TRUE(waitUntil([&] { return session->visiblePanelWindow().has_value(); }, generous));
    ASSERT_EQ(session->tool({"xdotool", "type", "--delay", "40", "--", "- [ ] buy milk"}).exitStatus, 0);

    ASSERT_NE(findControl("buy milk", "find-check-box"), "") << "no check box “buy milk” over AT-SPI";
    auto [name, description] = readControl();
    EXPECT_EQ(name, "name buy milk");
    EXPECT_EQ(description, "description Press to toggle this task.");
}

// With Alt+Space held by another client of the display, as many window managers hold it, the tray menu's hint and
// the Settings rows of both global shortcuts say that the keys do nothing instead of promising them.
TEST_F(TakenShortcutOverAtspi, TheTrayMenuAndTheSettingsRowsSayTheShowOrHideShortcutIsUnavailable) {
    AltSpaceHolder holder(session->display());
    ASSERT_TRUE(holder.holds());
    ASSERT_NO_FATAL_FAILURE(startVeltoWithAScreenReader("panel ready"));
    // The launch's warning, dismissed with OK, lets the launch finish.
    ASSERT_NO_FATAL_FAILURE(answerTheOnlyWindow());
    ASSERT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();

    // A popup menu is no child of Velto's accessible tree: a screen reader meets its items as they take the focus.
    ASSERT_TRUE(session->openTrayMenu(generous)) << "no menu";
    key("Down");
    EXPECT_EQ(probe->waitForLineStartingWith("menu-item ", generous), "menu-item Open Velto\tAlt+Space (unavailable)");

    // The item still opens the panel, and Settings opens from the panel on its Shortcuts page.
    key("Return");
    std::optional<std::string> panel;
    ASSERT_TRUE(waitUntil([&] { return (panel = session->visiblePanelWindow()).has_value(); }, generous));
    ASSERT_NO_FATAL_FAILURE(openShortcutSettingsFrom(*panel));

    ASSERT_NE(findControl("Unavailable: ", "find-label"), "") << "no row of the show/hide shortcut says why";
    EXPECT_EQ(readControl().first, "name Unavailable: Alt+Space is in use by another app. Choose another shortcut.");
    ASSERT_NE(findControl("Unavailable until", "find-label"), "") << "no row of the clipboard shortcut says why";
    EXPECT_EQ(readControl().first, "name Unavailable until the show/hide shortcut works.");
}

// A file its owner may not read is listed under the tray menu's warning, whether it was so at the launch or was made
// so while Velto ran (a page file Velto itself wrote, as every page file it gave an identifier); `chmod 644` gives it
// back, and it leaves the list within seconds, with nothing else changed about it. As root, Velto runs without the
// capabilities that let root read any file, so that the permissions hold for it as for an ordinary user.
TEST_F(UnreadableFilesOverAtspi, AFileMadeReadableAgainLeavesTheTrayMenusList) {
    const bool asRoot = ::geteuid() == 0;
    if (asRoot && !hasProgram("setpriv")) {
        GTEST_SKIP() << "running as root without setpriv to read files as their permissions say";
    }
    const std::vector<std::string> asItsPermissionsSay =
        asRoot ? std::vector<std::string>{"setpriv", "--bounding-set=-dac_override,-dac_read_search", "--"}
               : std::vector<std::string>{};
    std::filesystem::create_directories(session->pagesFolder());
    std::ofstream(session->pagesFolder() / "good.md", std::ios::binary) << "good page\n";
    const std::filesystem::path shut = session->pagesFolder() / "shut.md";
    std::ofstream(shut, std::ios::binary) << "a page its owner shut\n";
    // The older page is not the one a launch opens.
    std::filesystem::last_write_time(session->pagesFolder() / "good.md", std::filesystem::last_write_time(shut) - 1h);
    const auto shutNow = [&] { std::filesystem::permissions(shut, std::filesystem::perms::none); };

    for (const bool atTheLaunch : {false, true}) {
        SCOPED_TRACE(atTheLaunch ? "unreadable at the launch" : "made unreadable while Velto ran");
        if (atTheLaunch) {
            shutNow();
            ASSERT_NO_FATAL_FAILURE(startVeltoWithAScreenReader("unreadable files announced", asItsPermissionsSay));
            // The launch's notice names the file; answered, it lets the launch finish.
            ASSERT_NO_FATAL_FAILURE(answerTheOnlyWindow());
            ASSERT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();
        } else {
            ASSERT_NO_FATAL_FAILURE(startVeltoWithAScreenReader("launch finished", asItsPermissionsSay));
            // Words typed into the page, the newest, reach its file through a save of Velto's.
            key("alt+space");
            std::optional<std::string> panel;
            ASSERT_TRUE(waitUntil([&] { return (panel = session->visiblePanelWindow()).has_value(); }, generous));
            ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == panel; }, generous));
            ASSERT_EQ(session->tool({"xdotool", "type", "--delay", "20", " typed"}).exitStatus, 0);
            key("alt+space");
            ASSERT_TRUE(
                waitUntil([&] { return readWholeFile(shut.string()).find(" typed") != std::string::npos; }, generous))
                << "the words typed did not reach the file: " << readWholeFile(shut.string());
            shutNow();
            ASSERT_TRUE(velto->waitForMilestone("unreadable files found", generous)) << "the change went unseen";
        }

        // The warning follows "Open Velto", and its submenu lists the file.
        ASSERT_TRUE(session->openTrayMenu(generous)) << "no menu";
        key("Down");
        EXPECT_EQ(probe->waitForLineStartingWith("menu-item ", generous), "menu-item Open Velto\tAlt+Space");
        key("Down");
        EXPECT_EQ(probe->waitForLineStartingWith("menu-item ", generous),
                  "menu-item ⚠ Some Files Can’t Be Read or Changed");
        key("Right");
        EXPECT_EQ(probe->waitForLineStartingWith("menu-item ", generous), "menu-item shut.md");
        key("Escape");
        key("Escape");
        ASSERT_TRUE(waitUntil([&] { return session->visibleWindows().empty(); }, generous)) << "the menu stayed";

        std::filesystem::permissions(shut, std::filesystem::perms{0644});
        const auto madeReadable = std::chrono::steady_clock::now();
        std::string second;
        EXPECT_TRUE(waitUntil([&] { return (second = itemAfterOpenVelto()).find("Some Files") == std::string::npos; },
                              generous, 500ms))
            << "still listed: " << second;
        EXPECT_LT(std::chrono::steady_clock::now() - madeReadable, 10s) << "listed long after the file was readable";
        EXPECT_NE(readWholeFile(shut.string()).find("a page its owner shut"), std::string::npos);

        velto->process().signal(SIGTERM);
        EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
        velto.reset();
        probe.reset();
        bus.reset();
    }
}

} // namespace
} // namespace velto::testing
