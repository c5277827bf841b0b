// The launch's hand-overs to the shell, seen through a recording shell: what reaches it and in which order, on a
// store over a temporary Pages folder. Without a display there is neither a tray nor global shortcuts.
#include "AppTestSupport.h"
#include "app/hotkeys/GlobalHotKeys.h"
#include "app/lifecycle/ShellLaunch.h"
#include "app/menus/TrayIcon.h"
#include "preferences/PagesFolderBookmark.h"
#include "store/Store.h"
#include "support/StoreHarness.h"
#include "support/async/EventLoopWaits.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

using testing::processEventsUntil;
using testing::StoreHarness;

/// Notes what the launch hands over and asks for; it begins quitting when the test says so.
class RecordingShell : public LaunchingShell {
public:
    bool isQuitting() const override { return quitting; }
    void quit() override { calls.push_back("quit"); }
    int presentNotice(const ShellAlert &alert) override {
        calls.push_back("alert: " + alert.title.toStdString());
        return alertAnswer;
    }
    void applyPreferredAppearance() override { calls.push_back("appearance"); }
    void takeLoadedStore(std::unique_ptr<VeltoStore> loaded) override {
        store = std::move(loaded);
        calls.push_back("store");
    }
    void takePanel(std::unique_ptr<VeltoPanelControlling>) override { calls.push_back("panel"); }
    void startRunning() override { calls.push_back("running"); }
    void presentWelcomeIfNeeded(bool showOrHideShortcutAvailable) override {
        calls.push_back(showOrHideShortcutAvailable ? "welcome" : "welcome, the shortcut taken");
    }
    void chooseGlobalShortcut(bool showOrHide) override {
        calls.push_back(showOrHide ? "choose show/hide" : "choose clipboard");
    }

    bool quitting = false;
    int alertAnswer = 0;
    std::unique_ptr<VeltoStore> store;
    std::vector<std::string> calls;
};

// The notice of unreadable files is answered before the Welcome opens: opened over it, the Welcome would hide it
// while it kept the keyboard from the panel that the Welcome's answer opens.
TEST(ShellLaunch, HandsTheStoreThenThePanelAndStartsTheShellUnlessAQuitCameWhileLoading) {
    struct Case {
        const char *name;
        bool quitWhileLoading;
        bool besideAFileItCannotRead;
        std::vector<std::string> calls;
        int panelsMade;
    };
    const std::vector<Case> cases = {
        {"goes on", false, false, {"store", "panel", "running", "welcome"}, 1},
        {"quit while loading", true, false, {}, 0},
        {"beside a file it cannot read",
         false,
         true,
         {"store", "panel", "running", "alert: Some Files Can’t Be Read", "welcome"},
         1},
    };
    testing::widgetApplication();
    for (const Case &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        testing::TemporaryFolder folder;
        std::unique_ptr<PreferencesStore> preferences = testing::usePreferencesFile(folder / "Velto.json");
        if (testCase.besideAFileItCannotRead) {
            folder.writeFile("Pages/latin.md", "caf\xe9\n");
        }
        RecordingShell shell;
        ApplicationTestLaunchConfiguration configuration;
        PagesFolderAccessController pagesFolderAccess(folder / "Pages");
        TrayIcon trayIcon;
        GlobalHotKeys hotKeys;
        bool loaded = false;
        int panelsMade = 0;
        ShellLaunch::Options options;
        std::filesystem::path pages = folder / "Pages";
        options.loadStore = [&, pages]() -> QCoro::Task<std::unique_ptr<VeltoStore>> {
            QCoro::Task<std::unique_ptr<VeltoStore>> loading =
                VeltoStore::loadForApplication(pages, StoreHarness::maximumPageCount, StoreHarness::maximumPageBytes);
            std::unique_ptr<VeltoStore> store = co_await loading;
            shell.quitting = testCase.quitWhileLoading;
            loaded = true;
            co_return store;
        };
        options.makePanel = [&](VeltoStore &) -> std::unique_ptr<VeltoPanelControlling> {
            ++panelsMade;
            return nullptr;
        };
        ShellLaunch launch(shell, configuration, pagesFolderAccess, trayIcon, hotKeys, std::move(options));

        launch.applicationDidFinishLaunching();
        ASSERT_TRUE(processEventsUntil([&] { return loaded; }));
        if (!testCase.quitWhileLoading) {
            ASSERT_TRUE(processEventsUntil([&] { return shell.calls.size() >= testCase.calls.size(); }));
        }
        EXPECT_EQ(shell.calls, testCase.calls);
        EXPECT_EQ(panelsMade, testCase.panelsMade);
        EXPECT_EQ(shell.store != nullptr, !testCase.quitWhileLoading);
        hotKeys.release();
        trayIcon.hide();
        VeltoPreferences::useStorage(nullptr);
    }
}

TEST(ShellLaunch, TheStoredAppearanceIsInPlaceBeforeTheAlertForAMissingSavedFolder) {
    struct Case {
        const char *name;
        int answer;
        std::vector<std::string> calls;
    };
    const std::string alert = "alert: Velto Couldn’t Access Your Pages Folder";
    const std::vector<Case> cases = {
        {"quit", firstAlertButton, {"appearance", alert, "quit"}},
        {"use the default folder", firstAlertButton + 1, {"appearance", alert}},
    };
    testing::widgetApplication();
    for (const Case &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        testing::TemporaryFolder folder;
        std::unique_ptr<PreferencesStore> preferences = testing::usePreferencesFile(folder / "Velto.json");
        VeltoPreferences::setAppearance(AppearanceChoice::dark);
        VeltoPreferences::setPagesFolder(pagesFolderBookmarkData(folder / "Unmounted" / "Pages"),
                                         VeltoFolderOwnershipMode::managedFolder);
        RecordingShell shell;
        shell.alertAnswer = testCase.answer;
        ApplicationTestLaunchConfiguration configuration;
        PagesFolderAccessController pagesFolderAccess(folder / "Pages");
        TrayIcon trayIcon;
        GlobalHotKeys hotKeys;
        ShellLaunch launch(shell, configuration, pagesFolderAccess, trayIcon, hotKeys, {});

        launch.applicationWillFinishLaunching();
        EXPECT_EQ(shell.calls, testCase.calls);
        VeltoPreferences::useStorage(nullptr);
    }
}

} // namespace
} // namespace velto
