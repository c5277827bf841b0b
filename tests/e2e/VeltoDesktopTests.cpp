// Velto as a user runs it: the staged application folder on a private X server with a tray host and a session
// bus, driven with xdotool and xclip, its pages read from disk.
#include "DesktopSession.h"
#include "support/FakeFileManager.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QUrl>
#include <QtDBus/QDBusConnection>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

namespace velto::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto generous = 30s;

/// The test's own event loop, for the desktop services it plays on a session's bus.
QCoreApplication &testApplication() {
    static int argc = 1;
    static char name[] = "velto_e2e_tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *application = new QCoreApplication(argc, argv);
    return *application;
}

class VeltoDesktop : public DesktopSessionTest {
protected:
    void TearDown() override {
        if (HasFailure() && session) {
            for (VeltoProcess *velto : launched) {
                std::printf("--- Velto's output\n%s\n", velto->output().c_str());
            }
            std::printf("--- windows\n%s\n", session->windowTree().c_str());
        }
        // Nothing of Velto may land in the home of the process that ran the test.
        for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "HOME"}) {
            const char *folder = std::getenv(name);
            if (folder == nullptr) {
                continue;
            }
            for (const char *inside : {"Velto", ".local/share/Velto", ".config/Velto"}) {
                EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(folder) / inside))
                    << folder << "/" << inside;
            }
        }
    }

    /// Velto, kept until the test has ended, so that a failure's report can still read its output.
    VeltoProcess *launch() {
        VeltoProcess *velto = running.emplace_back(std::make_unique<VeltoProcess>(*session)).get();
        launched.push_back(velto);
        EXPECT_TRUE(velto->process().started());
        EXPECT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();
        return velto;
    }

    std::string showPanel() {
        EXPECT_EQ(session->tool({"xdotool", "key", "alt+space"}).exitStatus, 0);
        std::optional<std::string> panel;
        EXPECT_TRUE(waitUntil([&] { return (panel = session->visiblePanelWindow()).has_value(); }, generous))
            << "the panel did not appear";
        if (!panel) {
            return {};
        }
        EXPECT_TRUE(waitUntil([&] { return session->focusedWindow() == panel; }, generous))
            << "the panel did not take the keyboard focus";
        return *panel;
    }

    void hidePanel() {
        EXPECT_EQ(session->tool({"xdotool", "key", "alt+space"}).exitStatus, 0);
        EXPECT_TRUE(waitUntil([&] { return !session->visiblePanelWindow().has_value(); }, generous))
            << "the panel stayed visible";
    }

    /// Moves the pointer to the tray icon and clicks a button ("1" primary, "3" secondary).
    int clickIcon(std::pair<int, int> icon, const char *button) {
        return session
            ->tool({"xdotool", "mousemove", std::to_string(icon.first), std::to_string(icon.second), "click", button})
            .exitStatus;
    }

    /// Opens the tray icon's menu with a secondary click; true once a window other than the panel is shown.
    bool openTrayMenu(std::pair<int, int> icon, const std::string &panel) {
        if (clickIcon(icon, "3") != 0) {
            return false;
        }
        return waitUntil(
            [&] {
                std::vector<std::string> windows = session->visibleWindows();
                return std::find_if(windows.begin(), windows.end(),
                                    [&](const std::string &window) { return window != panel; }) != windows.end();
            },
            generous);
    }

    bool pagesContain(const std::string &text) {
        return waitUntil([&] { return pageFilesText(session->pagesFolder()).find(text) != std::string::npos; },
                         generous, 20ms);
    }

    /// The page file that holds `text`; empty when none does.
    std::filesystem::path pageFileHolding(const std::string &text) {
        for (const std::filesystem::path &file : pageFiles(session->pagesFolder())) {
            if (readWholeFile(file.string()).find(text) != std::string::npos) {
                return file;
            }
        }
        return {};
    }

    /// Waits until Velto's tray icon is docked, and notes where its centre is.
    void waitForDockedIcon(VeltoProcess &velto, std::optional<std::pair<int, int>> &icon) {
        ASSERT_TRUE(waitUntil([&] { return (icon = session->dockedIconCenter()).has_value(); }, generous));
        ASSERT_TRUE(velto.waitForMilestone("status item docked", generous));
    }

    /// The window's pixels as the X server holds them; empty when they could not be read.
    std::string pixelsOf(const std::string &window) {
        ToolResult shot = session->tool({"import", "-window", window, "rgb:-"});
        return shot.exitStatus == 0 ? shot.output : std::string();
    }

    /// Types `text` into the panel while Velto is stopped, then runs `meanwhile` before Velto goes on: a user
    /// still typing when another program changes the page's file. Stopped, Velto can neither show nor save the
    /// keys, which wait in its queue; so the change always meets text that is typed but not saved, however
    /// loaded the machine is (typing at full speed instead, a pause under load lets the editor save everything
    /// first, and Velto then rightly takes the other version without any conflict).
    void typeWhileStopped(VeltoProcess &velto, const std::string &text, const std::function<void()> &meanwhile) {
        velto.process().signal(SIGSTOP);
        EXPECT_EQ(session->tool({"xdotool", "type", "--delay", "5", text}).exitStatus, 0);
        meanwhile();
        velto.process().signal(SIGCONT);
    }

    /// Whether a visible window's name contains `name`.
    bool hasVisibleWindowNamed(const std::string &name) {
        return session->tool({"xdotool", "search", "--onlyvisible", "--name", name}).exitStatus == 0;
    }

    /// Opens the tray menu and chooses its first item after "Open Velto": the conflict notice when there is one.
    void chooseFirstPanelMenuItem(std::pair<int, int> icon, const std::string &panel) {
        ASSERT_EQ(clickIcon(icon, "3"), 0);
        ASSERT_TRUE(waitUntil(
            [&] {
                std::vector<std::string> windows = session->visibleWindows();
                return std::find_if(windows.begin(), windows.end(),
                                    [&](const std::string &window) { return window != panel; }) != windows.end();
            },
            generous))
            << "no menu";
        ASSERT_EQ(session->tool({"xdotool", "key", "Down", "Down", "Return"}).exitStatus, 0);
    }

    std::vector<VeltoProcess *> launched; // for the report of a failure
    std::vector<std::unique_ptr<VeltoProcess>> running;
};

TEST_F(VeltoDesktop, IconDocksShortcutShowsPanelAndTypedAndAppendedTextReachThePageFile) {
    auto velto = launch();
    EXPECT_TRUE(waitUntil([&] { return session->hasDockedIcon(); }, generous)) << session->windowTree();
    EXPECT_TRUE(velto->waitForMilestone("status item docked", generous));

    showPanel();
    ASSERT_EQ(session->tool({"xdotool", "type", "--delay", "5", "typed into the panel"}).exitStatus, 0);
    hidePanel();
    EXPECT_TRUE(pagesContain("typed into the panel")) << pageFilesText(session->pagesFolder());

    // With the panel hidden, the append shortcut adds the clipboard's text (cleaned) to the same page.
    ASSERT_TRUE(session->setClipboard("appended from the clipboard  \r\n"));
    ASSERT_EQ(session->tool({"xdotool", "key", "ctrl+alt+v"}).exitStatus, 0);
    EXPECT_TRUE(pagesContain("typed into the panel\nappended from the clipboard\n"))
        << pageFilesText(session->pagesFolder());
    EXPECT_FALSE(session->visiblePanelWindow().has_value()) << "appending must not open the panel";

    // A second launch hands over to the running one: it shows the panel and ends.
    VeltoProcess second(*session);
    launched.push_back(&second);
    EXPECT_EQ(second.process().waitForExit(generous), 0) << second.output();
    EXPECT_TRUE(waitUntil([&] { return session->visiblePanelWindow().has_value(); }, generous));

    launched.pop_back();
    velto->process().signal(SIGTERM);
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
}

TEST_F(VeltoDesktop, TerminationSignalRightAfterTypingKeepsTheTextAndARelaunchShowsIt) {
    auto velto = launch();
    showPanel();
    ASSERT_EQ(session->tool({"xdotool", "type", "--delay", "5", "written just before the end"}).exitStatus, 0);
    velto->process().signal(SIGTERM);
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
    EXPECT_NE(pageFilesText(session->pagesFolder()).find("written just before the end"), std::string::npos)
        << pageFilesText(session->pagesFolder());

    auto relaunched = launch();
    showPanel();
    // Copied again on every try: a copy made before the editor holds the page would leave the clipboard empty.
    EXPECT_TRUE(waitUntil(
        [&] {
            session->tool({"xdotool", "key", "ctrl+a", "ctrl+c"});
            return session->clipboard().find("written just before the end") != std::string::npos;
        },
        generous, 200ms))
        << "the relaunched panel does not show the page";
    relaunched->process().signal(SIGTERM);
    EXPECT_EQ(relaunched->process().waitForExit(generous), 0) << relaunched->output();
}

TEST_F(VeltoDesktop, ALeftClickOnTheTrayIconTogglesThePanelAndItsMenuQuitsAfterSaving) {
    auto velto = launch();
    std::optional<std::pair<int, int>> icon;
    ASSERT_NO_FATAL_FAILURE(waitForDockedIcon(*velto, icon));
    auto click = [&](const char *button) { return clickIcon(*icon, button); };
    ASSERT_EQ(click("1"), 0);
    std::optional<std::string> panel;
    ASSERT_TRUE(waitUntil([&] { return (panel = session->visiblePanelWindow()).has_value(); }, generous));
    std::string geometry = session->tool({"xdotool", "getwindowgeometry", *panel}).output;
    EXPECT_NE(geometry.find("Position: "), std::string::npos);
    int panelY = std::atoi(geometry.c_str() + geometry.find(',', geometry.find("Position: ")) + 1);
    EXPECT_GT(panelY, icon->second) << "the panel opens under the icon: " << geometry;

    ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == panel; }, generous));
    ASSERT_EQ(session->tool({"xdotool", "type", "--delay", "5", "before the menu"}).exitStatus, 0);
    ASSERT_EQ(click("1"), 0);
    EXPECT_TRUE(waitUntil([&] { return !session->visiblePanelWindow().has_value(); }, generous))
        << "the second click closes the panel";

    // The menu of a right click: its last item quits.
    ASSERT_EQ(click("3"), 0);
    ASSERT_TRUE(waitUntil([&] { return session->visiblePanelWindow().has_value(); }, generous)) << "no menu";
    ASSERT_EQ(session->tool({"xdotool", "key", "Up", "Return"}).exitStatus, 0);
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
    EXPECT_NE(pageFilesText(session->pagesFolder()).find("before the menu"), std::string::npos);
}

TEST_F(VeltoDesktop, ShowPageInFileManagerFromTheTrayMenuSavesThePageThenAsksTheFileManagerToSelectIt) {
    testApplication();
    // Named after the address: every session has a bus of its own, and a name would find an earlier connection.
    const QString address = QString::fromStdString(session->busAddress());
    QDBusConnection bus = QDBusConnection::connectToBus(address, address);
    ASSERT_TRUE(bus.isConnected());
    FakeFileManager fileManager;
    std::string pagesWhenShown;
    fileManager.onShowItems = [&](const QStringList &) { pagesWhenShown = pageFilesText(session->pagesFolder()); };
    ASSERT_TRUE(bus.registerVirtualObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager));
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    auto velto = launch();
    std::optional<std::pair<int, int>> icon;
    ASSERT_NO_FATAL_FAILURE(waitForDockedIcon(*velto, icon));
    std::string panel = showPanel();
    ASSERT_EQ(session->tool({"xdotool", "type", "--delay", "5", "shown in the file manager"}).exitStatus, 0);

    ASSERT_TRUE(openTrayMenu(*icon, panel)) << "no menu";
    // Up from the bottom (Quit Velto, Settings…; Send Feedback… is disabled without an address) to Browse Pages,
    // into it, and up from its first item round to its last.
    ASSERT_EQ(session->tool({"xdotool", "key", "Up", "Up", "Up", "Right", "Up", "Return"}).exitStatus, 0);
    ASSERT_TRUE(waitUntil(
        [&] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            return !fileManager.shownItems.isEmpty();
        },
        generous))
        << "the file manager was not asked to show anything";

    std::vector<std::filesystem::path> files = pageFiles(session->pagesFolder());
    ASSERT_EQ(files.size(), 1U);
    EXPECT_EQ(fileManager.shownItems,
              QStringList{QUrl::fromLocalFile(QString::fromStdString(files.front().string())).toString()});
    EXPECT_NE(pagesWhenShown.find("shown in the file manager"), std::string::npos)
        << "the page file did not hold the typed text when it was shown: " << pagesWhenShown;

    velto->process().signal(SIGTERM);
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
    bus.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    QDBusConnection::disconnectFromBus(address);
}

TEST_F(VeltoDesktop, AFirstLaunchGreetsReturnOpensThePanelAndStartsVeltoAtLoginARelaunchDoesNotGreet) {
    session->forgetWelcome();
    auto velto = launch();
    std::optional<std::string> welcome;
    ASSERT_TRUE(waitUntil([&] { return (welcome = session->visibleWelcomeWindow()).has_value(); }, generous))
        << "no Welcome on the first launch";
    ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == welcome; }, generous))
        << "the Welcome did not take the keyboard focus";
    EXPECT_FALSE(session->visiblePanelWindow().has_value());

    ASSERT_EQ(session->tool({"xdotool", "key", "Return"}).exitStatus, 0);
    EXPECT_TRUE(waitUntil([&] { return session->visiblePanelWindow().has_value(); }, generous))
        << "Start writing did not open the panel";
    EXPECT_FALSE(session->visibleWelcomeWindow().has_value());
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(session->autostartEntry()); }, generous));
    std::string entry = readWholeFile(session->autostartEntry().string());
    EXPECT_NE(entry.find("Exec=" + VeltoProcess::executable().string()), std::string::npos) << entry;
    EXPECT_NE(readWholeFile(session->preferencesFile().string()).find("\"hasCompletedWelcome\": true"),
              std::string::npos);
    velto->process().signal(SIGTERM);
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();

    // The answer holds: the next launch goes straight to the tray, and the shortcut toggles the panel.
    auto relaunched = launch();
    showPanel();
    EXPECT_FALSE(relaunched->milestoneTime("welcome shown").has_value());
    EXPECT_FALSE(session->visibleWelcomeWindow().has_value());
    relaunched->process().signal(SIGTERM);
    EXPECT_EQ(relaunched->process().waitForExit(generous), 0) << relaunched->output();
}

TEST_F(VeltoDesktop, ClosingTheWelcomeOpensNothingAndTheNextLaunchGreetsAgain) {
    session->forgetWelcome();
    auto velto = launch();
    std::optional<std::string> welcome;
    ASSERT_TRUE(waitUntil([&] { return (welcome = session->visibleWelcomeWindow()).has_value(); }, generous));
    ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == welcome; }, generous));
    ASSERT_EQ(session->tool({"xdotool", "key", "Escape"}).exitStatus, 0);
    EXPECT_TRUE(waitUntil([&] { return !session->visibleWelcomeWindow().has_value(); }, generous));
    EXPECT_FALSE(session->visiblePanelWindow().has_value());
    EXPECT_FALSE(std::filesystem::exists(session->autostartEntry()));
    velto->process().signal(SIGTERM);
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();

    auto relaunched = launch();
    EXPECT_TRUE(waitUntil([&] { return session->visibleWelcomeWindow().has_value(); }, generous))
        << "a Welcome closed without an answer comes back";
    relaunched->process().signal(SIGTERM);
    EXPECT_EQ(relaunched->process().waitForExit(generous), 0) << relaunched->output();
}

/// Another program changes the current page's file while the user types on its line: Velto keeps the user's text
/// in the page, keeps the other version too, and says so over the editor and first in the tray menu.
struct ChangeWhileTyping {
    std::string name;
    std::string line; // typed and saved before the change
    std::function<void(const std::filesystem::path &file)> change;
    std::function<bool(const std::filesystem::path &pagesFolder)> otherVersionKept;
    std::string banner;
    std::string review; // the title of the window the tray menu's first item opens
};

void PrintTo(const ChangeWhileTyping &change, std::ostream *out) {
    *out << change.name;
}

bool hasFileNamedWith(const std::filesystem::path &pagesFolder, const std::string &part) {
    std::vector<std::filesystem::path> files = pageFiles(pagesFolder);
    return std::any_of(files.begin(), files.end(), [&](const std::filesystem::path &file) {
        return file.filename().string().find(part) != std::string::npos;
    });
}

const ChangeWhileTyping changesWhileTyping[] = {
    {"AShellRewritesTheLine", "shared line",
     [](const std::filesystem::path &file) {
         std::string theirs = readWholeFile(file.string());
         theirs.replace(theirs.find("shared line"), 11, "their line");
         std::filesystem::path replacement = file.string() + ".tmp";
         std::ofstream(replacement, std::ios::binary) << theirs;
         std::filesystem::rename(replacement, file);
     },
     [](const std::filesystem::path &pagesFolder) {
         return pageFilesText(pagesFolder).find("conflict-of") != std::string::npos;
     },
     "Changed elsewhere", "Review Saved Conflict Copy"},
    {"TheFileIsDeleted", "kept line", [](const std::filesystem::path &file) { std::filesystem::remove(file); },
     [](const std::filesystem::path &pagesFolder) { return hasFileNamedWith(pagesFolder, "recovered-page"); },
     "Page file removed", "Review Recovered Page"},
    {"TheFileIsReplacedByOneNotUTF8", "latin line",
     [](const std::filesystem::path &file) {
         std::filesystem::path replacement = file.string() + ".tmp";
         std::ofstream(replacement, std::ios::binary) << "caf\xe9\n";
         std::filesystem::rename(replacement, file);
     },
     [](const std::filesystem::path &pagesFolder) { return hasFileNamedWith(pagesFolder, "recovered-page"); },
     "Page file can’t be read", "Review Recovered Page"},
};

class VeltoDesktopChangeWhileTyping : public VeltoDesktop, public ::testing::WithParamInterface<ChangeWhileTyping> {};

TEST_P(VeltoDesktopChangeWhileTyping, IsAnnouncedInThePanelAndTheTrayMenuLeadsToTheOtherVersion) {
    const ChangeWhileTyping &c = GetParam();
    if (session->tool({"sh", "-c", "command -v import"}).exitStatus != 0) {
        GTEST_SKIP() << "needs import (installed by scripts/setup.sh)";
    }
    auto velto = launch();
    std::optional<std::pair<int, int>> icon;
    ASSERT_NO_FATAL_FAILURE(waitForDockedIcon(*velto, icon));
    std::string panel = showPanel();
    ASSERT_EQ(session->tool({"xdotool", "type", "--delay", "5", c.line}).exitStatus, 0);
    ASSERT_TRUE(pagesContain(c.line));

    typeWhileStopped(*velto, " typed on and on while it changed", [&] {
        std::filesystem::path file = pageFileHolding(c.line);
        ASSERT_FALSE(file.empty());
        c.change(file);
    });
    EXPECT_TRUE(waitUntil([&] { return c.otherVersionKept(session->pagesFolder()); }, generous))
        << pageFilesText(session->pagesFolder());
    EXPECT_TRUE(waitUntil([&] { return hasVisibleWindowNamed(c.banner); }, generous)) << "no banner over the editor\n"
                                                                                      << session->windowTree();

    chooseFirstPanelMenuItem(*icon, panel);
    EXPECT_TRUE(waitUntil([&] { return hasVisibleWindowNamed(c.review); }, generous))
        << "the tray menu's first item did not lead to the other version\n"
        << session->windowTree();
    EXPECT_TRUE(pagesContain(c.line + " typed on and on while it changed")) << pageFilesText(session->pagesFolder());
    EXPECT_FALSE(hasVisibleWindowNamed("Some Files Can")) << "a second notice\n" << session->windowTree();

    velto->process().signal(SIGTERM);
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
}

INSTANTIATE_TEST_SUITE_P(AnotherWriter, VeltoDesktopChangeWhileTyping, ::testing::ValuesIn(changesWhileTyping),
                         [](const ::testing::TestParamInfo<ChangeWhileTyping> &info) { return info.param.name; });

/// A confirmation of the tray menu's Browse Pages submenu, reached with the keys a user presses.
struct TrayMenuConfirmation {
    const char *name;
    /// Whether the second page is archived (Shift+Ctrl+A) after it is typed.
    bool archiveSecondPage;
    /// From the submenu's first item (the current page) to the item that asks.
    std::vector<std::string> keysToTheItem;
    /// What the pages' files hold once the answer was carried out, and what they no longer hold.
    const char *afterwards;
    const char *gone;
};

class VeltoDesktopTrayMenu : public VeltoDesktop, public ::testing::WithParamInterface<TrayMenuConfirmation> {};

const TrayMenuConfirmation trayMenuConfirmations[] = {
    // Browse Pages: the first page (current); Archived Pages ▸ the second page, Delete 1 Archived Page….
    {"DeleteArchivedPages", true, {"Down", "Right", "Up"}, "first page", "second page"},
    // Browse Pages: the second page (current), the first page, Archived Pages (disabled), Archive 1 Other Page…,
    // Open Pages Folder.
    {"ArchiveOtherPages", false, {"Up", "Up"}, "archived: true", ""},
};

TEST_P(VeltoDesktopTrayMenu, AConfirmationInBrowsePagesIsCarriedOutAndVeltoKeepsRunning) {
    const TrayMenuConfirmation &test = GetParam();
    auto velto = launch();
    std::optional<std::pair<int, int>> icon;
    ASSERT_NO_FATAL_FAILURE(waitForDockedIcon(*velto, icon));
    std::string panel = showPanel();
    ASSERT_EQ(session->tool({"xdotool", "type", "--delay", "5", "first page"}).exitStatus, 0);
    ASSERT_TRUE(pagesContain("first page"));
    ASSERT_EQ(session->tool({"xdotool", "key", "ctrl+n"}).exitStatus, 0);
    ASSERT_EQ(session->tool({"xdotool", "type", "--delay", "5", "second page"}).exitStatus, 0);
    ASSERT_TRUE(pagesContain("second page"));
    if (test.archiveSecondPage) {
        ASSERT_EQ(session->tool({"xdotool", "key", "shift+ctrl+a"}).exitStatus, 0);
        ASSERT_TRUE(pagesContain("archived: true"));
    }

    ASSERT_TRUE(openTrayMenu(*icon, panel)) << "no menu";
    // Up from the bottom (Quit Velto, Settings…) to Browse Pages, into it, then to the item that asks.
    std::vector<std::string> keys{"xdotool", "key", "Up", "Up", "Up", "Right"};
    keys.insert(keys.end(), test.keysToTheItem.begin(), test.keysToTheItem.end());
    keys.push_back("Return");
    ASSERT_EQ(session->tool(keys).exitStatus, 0);
    std::optional<std::string> question;
    ASSERT_TRUE(waitUntil(
        [&] {
            question = session->focusedWindow();
            std::vector<std::string> windows = session->visibleWindows();
            return question && *question != panel &&
                   std::find(windows.begin(), windows.end(), *question) != windows.end();
        },
        generous))
        << "no question took the keyboard";
    ASSERT_EQ(session->tool({"xdotool", "key", "Return"}).exitStatus, 0);

    EXPECT_TRUE(waitUntil(
        [&] {
            const std::string files = pageFilesText(session->pagesFolder());
            return files.find(test.afterwards) != std::string::npos &&
                   (*test.gone == '\0' || files.find(test.gone) == std::string::npos);
        },
        generous))
        << pageFilesText(session->pagesFolder());
    EXPECT_TRUE(velto->process().isRunning()) << velto->output();
    velto->process().signal(SIGTERM);
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
}

INSTANTIATE_TEST_SUITE_P(TrayMenu, VeltoDesktopTrayMenu, ::testing::ValuesIn(trayMenuConfirmations),
                         [](const ::testing::TestParamInfo<TrayMenuConfirmation> &info) { return info.param.name; });

/// A page of about `bytes` bytes of the sections people write: a heading, prose with links, a task list with
/// inline code and a fenced block of code.
std::string bigPage(std::size_t bytes) {
    std::string page;
    for (int section = 0; page.size() < bytes; ++section) {
        const std::string n = std::to_string(section);
        page += "## Section " + n + "\n\nSome prose about item " + n + " with a [link](https://example.com/" + n +
                ") and *emphasis*.\n\n- [ ] call `handler_" + n + "()` before `close(" + n +
                ")`\n- [x] checked\n\n```python\ndef compute_" + n +
                "(values):\n    return sum(value * 2 for value in values)\n```\n\n";
    }
    return page;
}

TEST_F(VeltoDesktop, KeysTypedRightAfterTheShortcutReachABigPageInOrderThoughItsFirstPaintTakesLong) {
    std::filesystem::create_directories(session->pagesFolder());
    std::ofstream(session->pagesFolder() / "big-page.md", std::ios::binary) << bigPage(4u << 20);
    auto velto = launch();
    std::optional<std::pair<int, int>> icon;
    ASSERT_NO_FATAL_FAILURE(waitForDockedIcon(*velto, icon));

    // Typed as soon as Velto has taken the shortcut, while it still lays the page out for its first paint
    // (about a second here), before its panel could have the focus.
    ASSERT_EQ(session->tool({"xdotool", "key", "alt+space"}).exitStatus, 0);
    ASSERT_TRUE(waitUntil([&] { return velto->milestoneTime("keyboard held").has_value(); }, generous, 1ms));
    ASSERT_EQ(session->tool({"xdotool", "type", "--delay", "0", "typed before the first paint"}).exitStatus, 0);
    EXPECT_TRUE(pagesContain("typed before the first paint")) << pageFilesText(session->pagesFolder()).substr(0, 300);
    velto->process().signal(SIGTERM);
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
}

// The page is loaded and styled after the tray icon is in place and the shortcut taken: a shortcut pressed as soon
// as the icon shows opens the panel once the page is ready.
TEST_F(VeltoDesktop, TheTrayIconDocksBeforeASlowPageHasLoadedAndAShortcutPressedMeanwhileOpensThePanel) {
    std::filesystem::create_directories(session->pagesFolder());
    std::ofstream(session->pagesFolder() / "big-page.md", std::ios::binary) << bigPage(4u << 20);
    VeltoProcess *velto = running.emplace_back(std::make_unique<VeltoProcess>(*session)).get();
    launched.push_back(velto);
    ASSERT_TRUE(waitUntil([&] { return session->hasDockedIcon(); }, generous, 5ms));
    ASSERT_EQ(session->tool({"xdotool", "key", "alt+space"}).exitStatus, 0);
    EXPECT_TRUE(waitUntil([&] { return session->visiblePanelWindow().has_value(); }, generous))
        << "the panel did not appear";

    // Velto's own record of the order: the page is loaded in the making of the panel.
    const std::optional<double> docked = velto->milestoneTime("status item docked");
    const std::optional<double> grabbed = velto->milestoneTime("hot keys registered");
    const std::optional<double> pageReady = velto->milestoneTime("panel ready");
    ASSERT_TRUE(docked && grabbed && pageReady) << velto->output();
    EXPECT_LT(*docked, *pageReady);
    EXPECT_LT(*grabbed, *pageReady);
    velto->process().signal(SIGTERM);
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
}

} // namespace
} // namespace velto::testing
