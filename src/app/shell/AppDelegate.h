#pragma once

#include "app/hotkeys/HotKeyController.h"
#include "app/lifecycle/ApplicationTestLaunchConfiguration.h"
#include "app/lifecycle/PagesFolderAccessController.h"
#include "app/lifecycle/ShellLaunch.h"
#include "app/shell/ApplicationShell.h"
#include "app/shell/PagesFinderWorkflow.h"
#include "app/shell/ShellAlert.h"
#include "panel/window/PanelControlling.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QMenu;

namespace velto {

class GlobalHotKeys;
class KeyboardInputSourceMonitor;
class ShellMenus;
class ShellSettings;
class ShellTermination;
class VeltoStore;
class TrayIcon;
class UnsavedTextKeeper;
class WelcomePresenter;

/// The application's spine, routing between the tray icon, the global shortcuts, the menus and the panel: it
/// takes the store and the panel from the launch, shows or hides the panel, appends the clipboard on request and
/// quits after the final save. The launch, the Welcome, the menus and the Settings window are parts of their own
/// that reach it as their shell.
class AppDelegate : public QObject, public ApplicationShell, private LaunchingShell {
public:
    /// A tray click this soon after the panel closed itself is the click that closed it.
    static constexpr std::chrono::milliseconds reopenGuard{400};

    using LoadStore = ShellLaunch::LoadStore;
    using PanelFactory = ShellLaunch::PanelFactory;

    struct Options {
        LoadStore loadStore;              // empty: load the active Pages folder
        PanelFactory makePanel;           // the panel over the loaded store
        ShellAlertPresenter presentAlert; // empty: a modal alert
        /// How the Pages folder and a page's file are shown; none: the desktop's file manager.
        std::optional<PagesFinderWorkflow::Operations> fileManagerOperations;
        /// Where text that cannot be saved as a page is kept; empty: "Unsaved Text" in Velto's data folder.
        std::filesystem::path unsavedTextFolder;
    };

    /// The windows and menus that reach the shell: made over it once it exists.
    struct Windows {
        std::unique_ptr<WelcomePresenter> welcome;
        std::unique_ptr<ShellMenus> menus;
        std::unique_ptr<ShellSettings> settings;
    };
    using WindowsFactory =
        std::function<Windows(ApplicationShell &shell, PagesFolderAccessController &pagesFolderAccess,
                              const ApplicationTestLaunchConfiguration &testLaunchConfiguration)>;

    /// The parts of the shell the composition makes: the tray icon and the global shortcuts, both put in place
    /// at launch, the quitting, the keyboard layout's watch (none without an X server) and the shell's windows.
    struct Parts {
        std::unique_ptr<TrayIcon> trayIcon;
        std::unique_ptr<GlobalHotKeys> hotKeys;
        std::unique_ptr<ShellTermination> termination;
        std::unique_ptr<KeyboardInputSourceMonitor> keyboardInputSourceMonitor;
        WindowsFactory makeWindows;
    };

    AppDelegate(ApplicationTestLaunchConfiguration testLaunchConfiguration, Options options, Parts parts);
    ~AppDelegate() override;

    void applicationWillFinishLaunching() { launch_.applicationWillFinishLaunching(); }
    void applicationDidFinishLaunching() { launch_.applicationDidFinishLaunching(); }

    /// The menu's Quit: asks for termination, which runs the final save first.
    void quit() override;
    /// A quit nobody may be asked about (a signal, the end of the session): the same final save, no alerts;
    /// keystrokes already sent by the X server are taken first.
    void quitWithoutAsking();

    /// Closes an open panel, else shows it; `keyEventTime` is the global shortcut's X server time, when a
    /// shortcut asked.
    void togglePanel(std::optional<std::uint32_t> keyEventTime = std::nullopt);
    /// Shows the panel (never closes it): a second launch, "Open Velto".
    void showPage() override;

    void appendClipboard();
    /// The tray icon's menu, made afresh: "Open Velto", the panel's page items, "Send Feedback…" and "Quit Velto".
    QMenu *makeStatusItemMenu();
    /// Shows the tray icon's menu at the pointer. It is kept until the next one is shown: the menu hides before
    /// the chosen item runs, and an item that asks first runs the question's event loop while the menu's code
    /// is still under way, to return into the menu when the answer came.
    void showMenu();
    /// The menu shown last; nothing before the first.
    QMenu *shownMenu() const { return statusMenu_.get(); }

    /// Shows the current page's file in the file manager, after saving; nothing before launching has finished.
    void showCurrentPageInFileManager() override;
    /// Shows the Pages folder in the file manager, after saving; nothing before launching has finished.
    void openPagesFolder();
    /// Saves, then reads the whole library again from disk; a failure is shown in an alert.
    void reloadFromDisk() override;
    PagesFinderWorkflow *pagesFinderWorkflow() const override { return pagesFinderWorkflow_.get(); }

    /// Shows the Settings window (raised and active), creating it on first use; nothing before launching has
    /// finished.
    void showSettings();
    void chooseShowOrHideShortcut() override;
    void chooseGlobalShortcut(bool showOrHide) override;

    WelcomePresenter &welcome() const { return *windows_.welcome; }
    ShellMenus &menus() const { return *windows_.menus; }
    ShellSettings &settings() const { return *windows_.settings; }

    /// After the event loop has ended: releases the global shortcuts, removes the tray icon and lets running
    /// library work finish (bounded), so that a write is never cut off between two files.
    void shutDown(std::chrono::milliseconds waitForLibraryWork = std::chrono::milliseconds(10'000));

    VeltoStore *store() const override { return store_.get(); }
    VeltoPanelControlling *panelController() const override { return panel_.get(); }
    HotKeyController *hotKeyController() const override;
    std::optional<QRect> statusItemGeometry() const override;
    int presentAlert(const ShellAlert &alert) override;
    void applyPreferredAppearance() override;
    const std::filesystem::path &activePagesFolder() const { return pagesFolderAccess_.folderURL(); }
    const ApplicationTestLaunchConfiguration &testLaunchConfiguration() const { return testLaunchConfiguration_; }
    bool isRunning() const { return running_; }

private:
    int presentNotice(const ShellAlert &alert) override;
    void takeLoadedStore(std::unique_ptr<VeltoStore> store) override;
    void takePanel(std::unique_ptr<VeltoPanelControlling> panel) override;
    void startRunning() override;
    void presentWelcomeIfNeeded(bool showOrHideShortcutAvailable) override;
    static QCoro::Task<void> flushStore(QPointer<AppDelegate> delegate);
    void connectPanel();
    /// Hands the panel where the text that saves could not write is kept, as the last keep left it.
    void tellPanelWhereTextIsKept();
    /// Shows the panel or appends the clipboard as asked before the panel was made.
    void answerRequestsMadeWhileLaunching();
    QCoro::Task<void> reloadLibraryFromDisk();
    QCoro::Task<void> appendClipboardText();
    /// A click on the tray icon toggles the panel, unless it is the click that just closed it.
    void answerTrayIconClick();
    /// The show-or-hide shortcut: answers the Welcome while it is up, else toggles the panel.
    void answerToggleShortcut(std::optional<std::uint32_t> keyEventTime);
    void applicationShouldTerminate(bool mayAsk);
    std::filesystem::path unsavedTextFolder() const;
    bool isQuitting() const override;

    ApplicationTestLaunchConfiguration testLaunchConfiguration_;
    Options options_;
    PagesFolderAccessController pagesFolderAccess_;
    bool running_ = false;
    std::unique_ptr<ShellTermination> termination_;
    std::unique_ptr<KeyboardInputSourceMonitor> keyboardInputSourceMonitor_;

    std::unique_ptr<VeltoStore> store_;
    std::unique_ptr<UnsavedTextKeeper> unsavedTextKeeper_; // after the store: it goes first
    std::unique_ptr<VeltoPanelControlling> panel_;
    /// What the shortcuts, the tray icon and a second launch asked for while the current page was loading.
    struct RequestsWhileLaunching {
        bool show = false;
        std::optional<std::uint32_t> keyEventTime;
        bool appendClipboard = false;
    };
    RequestsWhileLaunching requestsWhileLaunching_;
    std::unique_ptr<TrayIcon> trayIcon_;
    std::unique_ptr<QMenu> statusMenu_;
    std::unique_ptr<GlobalHotKeys> hotKeys_;
    std::unique_ptr<PagesFinderWorkflow> pagesFinderWorkflow_;
    Windows windows_;
    /// Last: it is gone before the store and the panel it handed over.
    ShellLaunch launch_;
};

} // namespace velto
