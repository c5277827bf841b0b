#pragma once

#include "app/ApplicationTerminationCoordinator.h"
#include "app/ApplicationTestLaunchConfiguration.h"
#include "app/HotKeyController.h"
#include "app/PagesFolderAccessController.h"
#include "app/SettingsPresentationCoordinator.h"
#include "app/ShellAlert.h"
#include "app/WelcomeWorkflow.h"
#include "panel/PanelControlling.h"
#include "preferences/PreferenceChoices.h"
#include "store/AutoArchivePeriod.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QUrl>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

class QMenu;
class QMessageBox;
class QSystemTrayIcon;

namespace velto {

namespace editor {
struct ClipboardSnapshot;
}
class PortalHotKeyService;
class KeyboardInputSourceMonitor;
class AboutPanel;
class MenuBarIcon;
struct MainMenuActions;
enum class TextFinderAction;
class PagesFinderWorkflow;
class SettingsWindowController;
class WelcomeWindowController;
struct SettingsWindowCallbacks;
struct VeltoFolderConnectionDecision;
class VeltoStore;
class X11HotKeyService;

/// The store's archiving period for the preference's duration.
VeltoAutoArchivePeriod autoArchivePeriod(AutoArchiveDuration duration);

/// The application's spine: restores the Pages folder, loads the store, answers its recovery states, puts
/// the icon into the system tray, registers the two global shortcuts, appends the clipboard on request and
/// quits only after a final save (or the user's decision).
class AppDelegate : public QObject {
public:
    static constexpr std::int64_t maximumPageCount = 100;
    static constexpr std::int64_t maximumPageBytes = 5'242'880;
    /// A tray click this soon after the panel closed itself is the click that closed it.
    static constexpr std::chrono::milliseconds reopenGuard{400};

    using LoadStore = std::function<QCoro::Task<std::unique_ptr<VeltoStore>>()>;
    using PanelFactory = std::function<std::unique_ptr<VeltoPanelControlling>(VeltoStore &store)>;

    struct Options {
        std::chrono::milliseconds terminationTimeout{2000};
        LoadStore loadStore;           // empty: load the active Pages folder
        PanelFactory makePanel;        // empty: the production panel
        std::function<void(int exitStatus)> exitApplication; // empty: leaves the event loop with the status
        ShellAlertPresenter presentAlert;                     // empty: a modal alert
        /// Opens an address with the desktop (a web page, a "mailto:" link); whether anything took it.
        std::function<bool(const QUrl &)> openURL;            // empty: QDesktopServices
        std::optional<LaunchAtLoginService> launchAtLoginService; // none: the desktop's autostart entry
        std::optional<SettingsPresentationCoordinator> settingsPresentation; // none: the production one
    };

    AppDelegate(ApplicationTestLaunchConfiguration testLaunchConfiguration, Options options);
    ~AppDelegate() override;

    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();

    /// The menu's Quit: asks for termination, which runs the final save first.
    void quit();
    /// A quit nobody may be asked about (a signal, the end of the session): the same final save, no alerts;
    /// keystrokes already sent by the X server are taken first.
    void quitWithoutAsking();

    /// Closes an open panel, else shows it; `keyEventTime` is the global shortcut's X server time, when a
    /// shortcut asked.
    void togglePanel(std::optional<std::uint32_t> keyEventTime = std::nullopt);
    /// Shows the panel (never closes it): a second launch, "Open Velto".
    void showPage();

    /// The Welcome on the first launch (in a smoke test, when asked for): runs it modally, then carries out
    /// its answer. Nothing once it has been answered with "Start writing".
    void presentWelcomeIfNeeded();
    /// Carries out the Welcome's answer after the current event: records it, applies launching at login,
    /// shows the panel; a failed login change is shown before the panel opens.
    void handleWelcomeChoice(WelcomeChoice choice);
    WelcomeWindowController *welcomeWindowController() const { return welcomeWindowController_.get(); }
    void appendClipboard();
    /// The tray icon's menu, made afresh: "Open Velto", the panel's page items, "Send Feedback…" and "Quit Velto".
    QMenu *makeStatusItemMenu();

    /// Shows the current page's file in the file manager, after saving; nothing before launching has finished.
    void showCurrentPageInFileManager();
    /// Saves, then reads the whole library again from disk; a failure is shown in an alert.
    void reloadFromDisk();
    PagesFinderWorkflow *pagesFinderWorkflow() const { return pagesFinderWorkflow_.get(); }

    /// Shows the Settings window (raised and active), creating it on first use; nothing before launching has
    /// finished.
    void showSettings();
    SettingsWindowController *settingsWindowController() const { return settingsWindowController_.get(); }
    /// What the Settings window is given: each callable reaches the delegate's current collaborators and
    /// does nothing once the delegate is gone.
    SettingsWindowCallbacks makeSettingsCallbacks();
    /// Connects the chosen Pages folder: the store first, then the record of it; a failure changes nothing
    /// that is recorded.
    QCoro::Task<void> changePagesFolder(VeltoFolderConnectionDecision decision);

    /// The main menu, built afresh with the current shortcuts and put into the Settings window (a tray
    /// application has no menu bar of its own); nothing before the Settings window exists.
    void configureMainMenu();
    MainMenuActions mainMenuActions();
    /// The small About window with the icon, the name and the version.
    void showAbout();
    /// The feedback e-mail, or the alert that offers its details when no mail application can take it.
    void sendFeedback();
    /// Opens the changelog's entry of this version; nothing when the build names no changelog page.
    void viewChangelog();

    /// After the event loop has ended: releases the global shortcuts, removes the tray icon and lets running
    /// library work finish (bounded), so that a write is never cut off between two files.
    void shutDown(std::chrono::milliseconds waitForLibraryWork = std::chrono::milliseconds(10'000));

    VeltoStore *store() const { return store_.get(); }
    VeltoPanelControlling *panelController() const { return panel_.get(); }
    HotKeyController *hotKeyController() const { return hotKeyController_.get(); }
    const std::filesystem::path &activePagesFolder() const { return pagesFolderAccess_.folderURL(); }
    const ApplicationTestLaunchConfiguration &testLaunchConfiguration() const { return testLaunchConfiguration_; }
    bool isRunning() const { return running_; }

private:
    QCoro::Task<void> runLaunchTask();
    QCoro::Task<bool> prepareVeltoStore(VeltoStore &store);
    void finishLaunching(std::unique_ptr<VeltoStore> store);
    std::unique_ptr<VeltoPanelControlling> makeProductionPanel(VeltoStore &store);
    static QCoro::Task<std::unique_ptr<VeltoStore>> loadActiveFolder(QPointer<AppDelegate> delegate);
    static QCoro::Task<void> flushStore(QPointer<AppDelegate> delegate);

    QCoro::Task<void> reloadLibraryFromDisk();
    QCoro::Task<void> appendClipboardText(editor::ClipboardSnapshot snapshot);
    void configureStatusItem();
    void showMenu();
    std::optional<QRect> statusItemGeometry() const;
    /// Registers both global shortcuts; answers which are usable (a session without X11 reports both).
    ShortcutRegistrationAvailability registerHotKeys();
    /// The show-or-hide shortcut: answers the Welcome while it is up, else toggles the panel.
    void answerToggleShortcut(std::optional<std::uint32_t> keyEventTime);
    WelcomeWorkflow makeWelcomeWorkflow();
    void presentLaunchAtLoginError(const std::string &description);
    void presentLaunchAtLoginApproval();
    /// The portal's hot keys, when the session bus offers the desktop portal's global shortcuts.
    bool makePortalHotKeyService();
    void showHotKeyRegistrationWarning(bool toggleShortcutAvailable, bool clipboardShortcutAvailable);
    void applyPreferredAppearance();
    /// Ctrl+Q and Ctrl+R in the panel, where the main menu cannot take them.
    void installPanelKeyEquivalents();
    /// An item of the main menu's Find submenu, on the panel's page.
    void performFindAction(TextFinderAction action);
    int presentAlert(const ShellAlert &alert);
    /// presentAlert, answered with its first button by itself when the store opens its library meanwhile.
    int presentAlertUntilLibraryOpens(VeltoStore &store, const ShellAlert &alert);
    /// Names, in one notice, the store's unreadable files that this launch has not named yet.
    void announceNewlyUnreadableFiles();

    /// Hands the editor the keystrokes the X server sent before now (a signal may overtake them).
    void deliverPendingInput();
    void applicationShouldTerminate(bool mayAsk);
    void replyToTermination(bool allowingTermination);
    TerminationSaveDecision presentTerminationFailure(const TerminationSaveFailure &failure);

    ApplicationTestLaunchConfiguration testLaunchConfiguration_;
    Options options_;
    PagesFolderAccessController pagesFolderAccess_;
    SettingsPresentationCoordinator settingsPresentation_;
    bool canFinishLaunching_ = true;
    bool running_ = false;
    bool quitting_ = false;
    std::unique_ptr<ApplicationTerminationCoordinator> terminationCoordinator_;
    std::unique_ptr<KeyboardInputSourceMonitor> keyboardInputSourceMonitor_;

    std::unique_ptr<VeltoStore> store_;
    std::unique_ptr<VeltoPanelControlling> panel_;
    QSystemTrayIcon *statusItem_ = nullptr;
    std::unique_ptr<MenuBarIcon> menuBarIcon_;
    std::shared_ptr<X11HotKeyService> hotKeyService_;
    std::unique_ptr<HotKeyController> hotKeyController_;
    std::unique_ptr<PortalHotKeyService> portalHotKeyService_;
    QPointer<QMessageBox> terminationAlert_;
    std::unique_ptr<PagesFinderWorkflow> pagesFinderWorkflow_;
    std::unique_ptr<SettingsWindowController> settingsWindowController_;
    std::unique_ptr<AboutPanel> aboutPanel_;
    std::unique_ptr<WelcomeWindowController> welcomeWindowController_;
    LaunchAtLoginService launchAtLoginService_;
    std::set<std::string> announcedUnreadableFiles_; // full paths, so that another folder's file is its own
};

} // namespace velto
