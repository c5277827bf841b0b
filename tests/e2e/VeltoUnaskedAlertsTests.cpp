// What Velto raises by itself never takes a key. A user already typing into another window when Velto starts (an
// autostart login) keeps every key in that window, with and without a window manager, while the notice of the
// launch waits in front to be read and takes the keyboard once clicked. The alert the user's quit raises answers
// Escape with Cancel, and a logout while it is open ends Velto within seconds with the typed text kept.
#include "AltSpaceHolder.h"
#include "DesktopSession.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace velto::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto generous = 30s;

/// The window of another program that has the keyboard: it prints a line for every key it receives.
class KeyEchoWindow {
public:
    explicit KeyEchoWindow(const DesktopSession &session)
        : output_(session.root() / "key-echo.log")
        , process_({VELTO_TEST_TOOLS_DIR "/velto-key-echo"}, session.environment(), output_.string()) {}

    /// The window's id once it is shown; nothing when it did not show.
    std::optional<std::string> waitUntilShown() {
        std::optional<std::string> window;
        waitUntil(
            [&] {
                const std::string text = readWholeFile(output_.string());
                const auto ready = text.find("ready ");
                if (ready != std::string::npos && text.find('\n', ready) != std::string::npos) {
                    window = text.substr(ready + 6, text.find('\n', ready) - ready - 6);
                }
                return window.has_value();
            },
            generous);
        return window;
    }

    /// How many key presses the window received.
    std::size_t presses() const {
        std::istringstream lines(readWholeFile(output_.string()));
        std::size_t count = 0;
        for (std::string line; std::getline(lines, line);) {
            count += line.rfind("press ", 0) == 0 ? 1 : 0;
        }
        return count;
    }

private:
    std::filesystem::path output_;
    ChildProcess process_;
};

enum class Notice { unreadableFile, takenShortcut };

struct NoticeCase {
    const char *name;
    Notice notice;
    bool windowManager; // openbox, which decides itself which window gets the focus
};

void PrintTo(const NoticeCase &c, std::ostream *out) {
    *out << c.name;
}

class VeltoUnaskedAlerts : public VeltoSessionTest {
protected:
    void TearDown() override {
        VeltoSessionTest::TearDown();
        if (windowManager) {
            windowManager->signal(SIGTERM);
            windowManager->waitForExit(generous);
        }
    }

    /// Starts openbox and waits until it manages the screen; skips where it is not installed. Its own settings
    /// hold Alt+Space for the window menu; `withoutKeyBindings` leaves every key to the programs.
    void startWindowManager(bool withoutKeyBindings) {
        if (!hasProgram("openbox")) {
            GTEST_SKIP() << "needs openbox (installed by scripts/setup.sh)";
        }
        std::vector<std::string> command{"openbox", "--sm-disable"};
        if (withoutKeyBindings) {
            const auto settings = session->root() / "openbox-rc.xml";
            std::ofstream(settings) << "<?xml version=\"1.0\"?>\n"
                                       "<openbox_config xmlns=\"http://openbox.org/3.4/rc\"><keyboard/>"
                                       "</openbox_config>\n";
            command.insert(command.end(), {"--config-file", settings.string()});
        }
        windowManager =
            std::make_unique<ChildProcess>(command, session->environment(), (session->root() / "openbox.log").string());
        ASSERT_TRUE(waitUntil(
            [&] {
                return session->tool({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).output.find("window id") !=
                       std::string::npos;
            },
            generous))
            << readWholeFile((session->root() / "openbox.log").string());
    }

    /// Types a chunk of words at a person's pace into whatever has the keyboard; answers how many keys it pressed.
    std::size_t typeChunk() {
        const std::string chunk = "typed words ";
        EXPECT_EQ(session->tool({"xdotool", "type", "--delay", "40", chunk}).exitStatus, 0);
        return chunk.size();
    }

    /// The visible window of Velto other than `except` (the panel, or the other window, whose class names Velto
    /// too); nothing when there is none.
    std::optional<std::string> veltoWindowOtherThan(const std::optional<std::string> &except) const {
        for (const std::string &window : session->visibleWindows()) {
            if (window != except) {
                return window;
            }
        }
        return std::nullopt;
    }

    std::unique_ptr<ChildProcess> windowManager;
};

class VeltoLaunchNotice : public VeltoUnaskedAlerts, public ::testing::WithParamInterface<NoticeCase> {};

TEST_P(VeltoLaunchNotice, EveryKeyTypedElsewhereReachesItsWindowAndTheNoticeWaitsToBeClicked) {
    const NoticeCase &c = GetParam();
    if (c.windowManager) {
        // With Alt+Space held, openbox would make the warning about it the launch's first notice.
        ASSERT_NO_FATAL_FAILURE(startWindowManager(c.notice == Notice::unreadableFile));
        if (IsSkipped()) {
            return;
        }
    }
    std::optional<AltSpaceHolder> holder;
    if (c.notice == Notice::unreadableFile) {
        std::ofstream(session->pagesFolder() / "latin.md", std::ios::binary) << "caf\xe9 cr\xe8me\n";
    } else {
        // Openbox holds Alt+Space itself for its window menu; without it, another client of the display does.
        holder.emplace(session->display());
        ASSERT_TRUE(holder->holds() || c.windowManager);
    }
    KeyEchoWindow other(*session);
    std::optional<std::string> otherWindow = other.waitUntilShown();
    ASSERT_TRUE(otherWindow.has_value()) << "the other window did not show";
    ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == otherWindow; }, generous))
        << "the other window has no keyboard";

    // The user types on while Velto starts, raises its notice, and for a few seconds after.
    velto = std::make_unique<VeltoProcess>(*session);
    auto noticeRaised = [&] {
        return c.notice == Notice::unreadableFile
                   ? velto->milestoneTime("unreadable files announced").has_value()
                   : velto->output().find("Shortcut Is Unavailable") != std::string::npos;
    };
    std::size_t typed = 0;
    std::optional<std::string> notice;
    const auto giveUp = std::chrono::steady_clock::now() + 2 * generous;
    while (!(noticeRaised() && (notice = veltoWindowOtherThan(otherWindow))) &&
           std::chrono::steady_clock::now() < giveUp) {
        typed += typeChunk();
    }
    ASSERT_TRUE(noticeRaised()) << "Velto raised no notice";
    ASSERT_TRUE(notice.has_value()) << "the notice is not shown";
    for (int chunk = 0; chunk < 5; ++chunk) {
        typed += typeChunk();
    }

    EXPECT_TRUE(waitUntil([&] { return other.presses() >= typed; }, generous));
    EXPECT_EQ(other.presses(), typed) << "keys typed into the other window went elsewhere";
    EXPECT_EQ(session->focusedWindow(), otherWindow) << "the notice took the keyboard";
    EXPECT_EQ(veltoWindowOtherThan(otherWindow), notice) << "the notice did not wait to be read";

    // A click gives the notice the keyboard; its default button answers Return.
    ASSERT_TRUE(session->giveFocusByClicking(*notice)) << "a click did not give the notice the keyboard";
    ASSERT_EQ(session->tool({"xdotool", "key", "Return"}).exitStatus, 0);
    EXPECT_TRUE(waitUntil([&] { return !veltoWindowOtherThan(otherWindow).has_value(); }, generous))
        << "Return did not answer the notice";
    EXPECT_EQ(other.presses(), typed) << "the key given to the notice reached the other window";
    velto->process().signal(SIGTERM);
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
}

const NoticeCase notices[] = {
    {"UnreadableFileWithoutWindowManager", Notice::unreadableFile, false},
    {"UnreadableFileUnderOpenbox", Notice::unreadableFile, true},
    {"TakenShortcutWithoutWindowManager", Notice::takenShortcut, false},
    {"TakenShortcutUnderOpenbox", Notice::takenShortcut, true},
};

INSTANTIATE_TEST_SUITE_P(VeltoUnaskedAlerts, VeltoLaunchNotice, ::testing::ValuesIn(notices),
                         [](const ::testing::TestParamInfo<NoticeCase> &info) { return std::string(info.param.name); });

/// A quit the final save cannot finish, because another program holds the library: the alert the quit raises.
class VeltoQuitAlert : public VeltoUnaskedAlerts {
protected:
    void TearDown() override {
        if (holder_ >= 0) {
            ::close(holder_);
        }
        VeltoUnaskedAlerts::TearDown();
    }

    std::filesystem::path unsavedTextFolder() const { return session->dataHome() / "Velto" / "Unsaved Text"; }

    /// Types `text` into the panel while another program holds the library and quits with Ctrl+Q; the alert the
    /// quit raises must then have the keyboard.
    void quitWhileTheLibraryIsHeld(const std::string &text) {
        std::ofstream(session->pagesFolder() / "keep.md") << "first words\n";
        velto = std::make_unique<VeltoProcess>(*session);
        EXPECT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();
        holder_ = ::open((session->pagesFolder() / ".velto" / "transaction.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC,
                         0600);
        EXPECT_EQ(::flock(holder_, LOCK_EX), 0);
        EXPECT_EQ(session->tool({"xdotool", "key", "alt+space"}).exitStatus, 0);
        EXPECT_TRUE(waitUntil([&] { return (panel = session->visiblePanelWindow()).has_value(); }, generous));
        EXPECT_TRUE(waitUntil([&] { return session->focusedWindow() == panel; }, generous));
        EXPECT_EQ(session->tool({"xdotool", "type", "--delay", "5", text}).exitStatus, 0);
        EXPECT_EQ(session->tool({"xdotool", "key", "ctrl+q"}).exitStatus, 0);
        std::optional<std::string> alert;
        ASSERT_TRUE(waitUntil(
            [&] { return (alert = veltoWindowOtherThan(panel)) && session->focusedWindow() == alert; }, generous))
            << "the quit alert did not take the keyboard";
    }

    /// Whether a file of the Pages folder or of "Unsaved Text" holds `text`.
    bool kept(const std::string &text) const {
        std::string files = pageFilesText(session->pagesFolder());
        std::error_code error;
        for (const auto &entry : std::filesystem::directory_iterator(unsavedTextFolder(), error)) {
            files += readWholeFile(entry.path().string());
        }
        return files.find(text) != std::string::npos;
    }

    void releaseTheLibrary() {
        ::close(holder_);
        holder_ = -1;
    }

    std::optional<std::string> panel;

private:
    int holder_ = -1;
};

TEST_F(VeltoQuitAlert, EscapeAnswersCancelAndVeltoStaysWithTheText) {
    ASSERT_NO_FATAL_FAILURE(quitWhileTheLibraryIsHeld("typed before escape"));
    ASSERT_EQ(session->tool({"xdotool", "key", "Escape"}).exitStatus, 0);
    EXPECT_TRUE(waitUntil([&] { return !veltoWindowOtherThan(panel).has_value(); }, generous))
        << "Escape left the alert open";
    EXPECT_TRUE(velto->process().isRunning()) << "Escape quit Velto";
    EXPECT_FALSE(velto->process().waitForExit(3s).has_value()) << "Velto quit after Escape";

    releaseTheLibrary();
    velto->process().signal(SIGTERM);
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
    EXPECT_TRUE(kept("typed before escape"));
}

// A logout asks nobody: the open alert goes, and Velto ends within seconds as a quit regardless would, keeping
// the text its save could not store. Before, the alert held Velto open for good.
TEST_F(VeltoQuitAlert, ALogoutWhileItIsOpenEndsVeltoWithinSecondsKeepingTheText) {
    ASSERT_NO_FATAL_FAILURE(quitWhileTheLibraryIsHeld("typed before the logout"));
    velto->process().signal(SIGTERM);
    std::optional<int> status = velto->process().waitForExit(10s);
    ASSERT_TRUE(status.has_value()) << "Velto still runs ten seconds after the logout";
    EXPECT_EQ(*status, 1) << "the final save did not finish; the exit says so";
    EXPECT_TRUE(kept("typed before the logout")) << "the typed text is in no file";
}

} // namespace
} // namespace velto::testing
