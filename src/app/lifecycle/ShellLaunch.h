#pragma once

#include "app/lifecycle/ApplicationTestLaunchConfiguration.h"
#include "app/lifecycle/PagesFolderAccessController.h"
#include "app/shell/ShellAlert.h"
#include "app/shell/UnreadableFilesNotice.h"
#include "panel/window/PanelControlling.h"
#include "preferences/ShortcutRegistrationAvailability.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

namespace velto {

class GlobalHotKeys;
class TrayIcon;
class VeltoStore;

/// What the launch hands to the shell and asks of it, in the launch's order.
class LaunchingShell {
public:
    virtual ~LaunchingShell() = default;

    virtual bool isQuitting() const = 0;
    /// Asks for termination: the launch cannot go on.
    virtual void quit() = 0;
    /// Shows a notice of the launch, which leaves the keyboard where it is until the user turns to it; answers the
    /// response code.
    virtual int presentNotice(const ShellAlert &alert) = 0;
    virtual void applyPreferredAppearance() = 0;
    /// The loaded store, whose recovery has been answered; the panel is made over it once the tray icon docked.
    virtual void takeLoadedStore(std::unique_ptr<VeltoStore> store) = 0;
    /// The panel over the store: the shell connects it to its routes.
    virtual void takePanel(std::unique_ptr<VeltoPanelControlling> panel) = 0;
    /// The shell runs from now on: it answers the panel's keys and what was asked while launching.
    virtual void startRunning() = 0;
    /// Shows the Welcome when it is due, from the event loop; it says so when the show/hide shortcut could not be
    /// taken.
    virtual void presentWelcomeIfNeeded(bool showOrHideShortcutAvailable) = 0;
    /// Shows Settings with the recorder of the show/hide shortcut (`showOrHide`) or of the clipboard one recording,
    /// to choose another than the one another program holds.
    virtual void chooseGlobalShortcut(bool showOrHide) = 0;
};

/// The launch's order: the test launch and the saved Pages folder before the event loop runs; then the tray icon
/// and the global shortcuts, the store and its recovery prompts, the panel once the icon is in place, what was
/// asked meanwhile, the announcement of unreadable files, then the Welcome. Each step is a milestone of the launch
/// trace.
class ShellLaunch : public QObject {
public:
    static constexpr std::int64_t maximumPageCount = 100;
    static constexpr std::int64_t maximumPageBytes = 5'242'880;
    /// How long the launch waits for the tray host to embed the icon before it loads the current page.
    static constexpr std::chrono::milliseconds longestWaitForDocking{2000};

    using LoadStore = std::function<QCoro::Task<std::unique_ptr<VeltoStore>>()>;
    using PanelFactory = std::function<std::unique_ptr<VeltoPanelControlling>(VeltoStore &store)>;

    struct Options {
        LoadStore loadStore;                      // empty: load the active Pages folder
        PanelFactory makePanel;                   // the panel over the loaded store
        ShellAlertPresenter presentRecoveryAlert; // empty: a modal alert
        std::filesystem::path unsavedTextFolder;  // where the last runs kept text they could not save as a page
    };

    ShellLaunch(LaunchingShell &shell, ApplicationTestLaunchConfiguration &testLaunchConfiguration,
                PagesFolderAccessController &pagesFolderAccess, TrayIcon &trayIcon, GlobalHotKeys &hotKeys,
                Options options);

    /// Prepares a test launch and takes up the saved Pages folder; a failure quits.
    void applicationWillFinishLaunching();
    /// Starts the launch task, unless preparing it failed or the application is quitting.
    void applicationDidFinishLaunching();

private:
    QCoro::Task<void> runLaunchTask();
    static QCoro::Task<std::unique_ptr<VeltoStore>> loadStore(QPointer<ShellLaunch> launch);
    void finishLaunchingWithPanel();
    /// Puts the icon into the tray; without a tray, the error output says how else to open Velto.
    void configureStatusItem();
    /// Names, in one alert, the store's unreadable files that this launch has not named yet.
    void announceNewlyUnreadableFiles();

    LaunchingShell &shell_;
    ApplicationTestLaunchConfiguration &testLaunchConfiguration_;
    PagesFolderAccessController &pagesFolderAccess_;
    TrayIcon &trayIcon_;
    GlobalHotKeys &hotKeys_;
    Options options_;
    bool canFinishLaunching_ = true;
    ShortcutRegistrationAvailability hotKeyAvailability_{true, true};
    /// The user took the launch warning's way to another shortcut: the first launch's Welcome waits for a later
    /// launch instead of opening, modal, over the recorder that now records.
    bool choosingAnotherShortcut_ = false;
    /// The store handed to the shell, which keeps it as long as this launch.
    VeltoStore *store_ = nullptr;
    UnreadableFilesNotice unreadableFilesNotice_;
};

} // namespace velto
