#pragma once

#include "support/ChildProcess.h"
#include "support/PrivateXServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velto::testing {

/// A private desktop for one test: an X server (Xvfb), a session bus, a tray host (trayer) and a home folder
/// of its own with every XDG folder inside it. Everything is stopped and removed when it goes away.
class DesktopSession {
public:
    /// The programs a session needs; a test without them skips.
    static std::vector<std::string> missingPrograms();

    DesktopSession();
    ~DesktopSession();

    /// Whether the X server, the bus and the tray host all came up.
    bool isReady() const { return ready_; }
    std::string failure() const { return failure_; }

    const std::filesystem::path &root() const { return root_; }
    std::filesystem::path home() const { return root_ / "home"; }
    std::filesystem::path dataHome() const { return root_ / "data"; }
    std::filesystem::path configHome() const { return root_ / "config"; }
    std::filesystem::path pagesFolder() const { return dataHome() / "Velto" / "Pages"; }
    std::filesystem::path preferencesFile() const { return configHome() / "Velto" / "Velto.json"; }
    std::filesystem::path autostartEntry() const { return configHome() / "autostart" / "app.velto.Velto.desktop"; }
    /// A session starts as a returning user's, the Welcome answered; this makes the next launch the first one.
    void forgetWelcome();
    const std::string &display() const;
    /// The address of the session bus, for a test that plays a desktop service on it.
    const std::string &busAddress() const { return busAddress_; }

    /// The environment of a program on this desktop: nothing of the test's own but PATH and the locale.
    Environment environment() const;

    /// Runs xdotool (or another X tool) against this display.
    ToolResult tool(const std::vector<std::string> &arguments,
                    std::chrono::milliseconds timeout = std::chrono::milliseconds(20'000)) const;
    /// Puts text on the clipboard (xclip keeps it until another owner takes it).
    bool setClipboard(const std::string &text);
    std::string clipboard() const;

    /// The tree of windows (xwininfo -root -tree).
    std::string windowTree() const;
    /// Whether a window of the class "velto" is embedded in the tray host's panel.
    bool hasDockedIcon() const { return dockedIconCenter().has_value(); }
    /// The screen position of the middle of Velto's icon in the tray host's panel.
    std::optional<std::pair<int, int>> dockedIconCenter() const;
    /// The visible top-level window of Velto larger than a tray icon: the panel; nothing when none is visible.
    std::optional<std::string> visiblePanelWindow() const;
    /// Every visible window of Velto larger than a tray icon (the panel, an open menu), the Welcome left out.
    std::vector<std::string> visibleWindows() const;
    std::optional<std::string> focusedWindow() const;
    /// Clicks the window near its top left corner, away from its buttons, as a user gives a window the keyboard;
    /// answers whether the window then has the keyboard.
    bool giveFocusByClicking(const std::string &window) const;
    /// Right-clicks Velto's icon in the tray host's panel, as a user opens its menu: the menu's window, or nothing
    /// when the icon or the menu did not show within the time.
    std::optional<std::string> openTrayMenu(std::chrono::milliseconds timeout) const;
    /// The visible Welcome window of Velto; nothing when none is visible.
    std::optional<std::string> visibleWelcomeWindow() const;

private:
    std::filesystem::path root_;
    std::unique_ptr<PrivateXServer> xServer_;
    std::string busAddress_;
    std::unique_ptr<ChildProcess> bus_;
    std::unique_ptr<ChildProcess> trayHost_;
    bool ready_ = false;
    std::string failure_;
};

/// Velto started from its staged application folder on a desktop session, with launch tracing on.
class VeltoProcess {
public:
    /// `launcher` is the command Velto is started through, as in {"setpriv", …, "--"}; none starts it itself.
    VeltoProcess(const DesktopSession &session, const std::vector<std::string> &arguments = {},
                 const std::vector<std::string> &launcher = {});

    ChildProcess &process() { return *process_; }
    /// Everything Velto wrote to standard output and error so far.
    std::string output() const;
    /// Waits for a launch milestone ("status item docked", "launch finished").
    bool waitForMilestone(const std::string &name, std::chrono::milliseconds timeout);
    /// The time of a milestone's first report in milliseconds since the process started (or, with `sinceBoot`,
    /// on the boot-time clock); nothing when not reached.
    std::optional<double> milestoneTime(const std::string &name, bool sinceBoot = false) const;
    /// Every report of a milestone, on the boot-time clock.
    std::vector<double> milestoneTimes(const std::string &name) const;

    static std::filesystem::path executable();

private:
    std::filesystem::path outputFile_;
    std::unique_ptr<ChildProcess> process_;
};

/// Milliseconds on the boot-time clock, the clock of Velto's trace.
double bootClockMilliseconds();

/// The page files (Markdown) in the folder.
std::vector<std::filesystem::path> pageFiles(const std::filesystem::path &pagesFolder);
/// The text of every page file in the folder, joined.
std::string pageFilesText(const std::filesystem::path &pagesFolder);

/// A test with a desktop session of its own: skipped where a program the session needs is missing.
class DesktopSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto missing = DesktopSession::missingPrograms();
        if (!missing.empty()) {
            GTEST_SKIP() << "needs " << missing.front() << " (installed by scripts/setup.sh)";
        }
        session = std::make_unique<DesktopSession>();
        ASSERT_TRUE(session->isReady()) << session->failure();
    }

    /// What Velto wrote and the session's windows, for a test that failed.
    void printVeltoOutputAndWindows(const VeltoProcess &velto) const {
        std::printf("--- Velto's output\n%s\n--- windows\n%s\n", velto.output().c_str(), session->windowTree().c_str());
    }

    std::unique_ptr<DesktopSession> session;
};

/// A test of a Velto on a session of its own whose Pages folder is there before Velto starts; when the test fails,
/// Velto's output and the session's windows are printed.
class VeltoSessionTest : public DesktopSessionTest {
protected:
    void SetUp() override {
        DesktopSessionTest::SetUp();
        if (!IsSkipped() && !HasFatalFailure()) {
            std::filesystem::create_directories(session->pagesFolder());
        }
    }

    void TearDown() override {
        if (HasFailure() && velto) {
            printVeltoOutputAndWindows(*velto);
        }
    }

    std::unique_ptr<VeltoProcess> velto;
};

} // namespace velto::testing
