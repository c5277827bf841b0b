#include "app/lifecycle/ShellLaunch.h"

#include "app/hotkeys/GlobalHotKeys.h"
#include "app/hotkeys/HotKeyRegistrationWarning.h"
#include "app/lifecycle/LaunchTrace.h"
#include "app/lifecycle/PagesFolderRestoration.h"
#include "app/lifecycle/StoreLaunchPreparation.h"
#include "app/menus/TrayIcon.h"
#include "app/shell/UnsavedTextNotice.h"
#include "platform/ApplicationBundle.h"
#include "platform/FreedMemory.h"
#include "preferences/Preferences.h"
#include "store/Store.h"
#include "ui/KeyNames.h"

#include <QtCore/QTimer>
#include <QtWidgets/QMessageBox>

#include <cstdio>

namespace velto {

ShellLaunch::ShellLaunch(LaunchingShell &shell, ApplicationTestLaunchConfiguration &testLaunchConfiguration,
                         PagesFolderAccessController &pagesFolderAccess, TrayIcon &trayIcon, GlobalHotKeys &hotKeys,
                         Options options)
    : shell_(shell)
    , testLaunchConfiguration_(testLaunchConfiguration)
    , pagesFolderAccess_(pagesFolderAccess)
    , trayIcon_(trayIcon)
    , hotKeys_(hotKeys)
    , options_(std::move(options)) {}

void ShellLaunch::applicationWillFinishLaunching() {
    launchTrace::milestone("will-finish-launching");
    try {
        testLaunchConfiguration_.prepare(applicationBundle::current().value("CFBundleIdentifier"));
    } catch (const std::exception &error) {
        shell_.applyPreferredAppearance();
        runAlertModally(QMessageBox::Warning, QStringLiteral("Velto couldn’t prepare the smoke test."),
                        QString::fromUtf8(error.what()), {}, nullptr, AlertActivation::waitsForTheUser);
        shell_.quit();
        return;
    }
    VeltoPreferences::registerDefaults();
    // Before any alert of the launch, which is drawn in the stored appearance as every later window is.
    shell_.applyPreferredAppearance();
    if (!testLaunchConfiguration_.isEnabled &&
        !restoreSavedPagesFolder(pagesFolderAccess_,
                                 [this](const ShellAlert &alert) { return shell_.presentNotice(alert); })) {
        canFinishLaunching_ = false;
        shell_.quit();
    }
}

void ShellLaunch::applicationDidFinishLaunching() {
    if (!canFinishLaunching_ || shell_.isQuitting()) {
        return;
    }
    runLaunchTask();
}

QCoro::Task<std::unique_ptr<VeltoStore>> ShellLaunch::loadStore(QPointer<ShellLaunch> launch) {
    if (launch->options_.loadStore) {
        QCoro::Task<std::unique_ptr<VeltoStore>> loading = launch->options_.loadStore();
        co_return co_await loading;
    }
    QCoro::Task<std::unique_ptr<VeltoStore>> loading = loadLibraryForLaunch(
        launch->testLaunchConfiguration_.documentURL.value_or(launch->pagesFolderAccess_.folderURL()), maximumPageCount,
        maximumPageBytes);
    co_return co_await loading;
}

QCoro::Task<void> ShellLaunch::runLaunchTask() {
    QPointer<ShellLaunch> self(this);
    // The tray icon and the shortcuts come first: reading the library and loading and styling a big current page
    // take seconds, and until the panel is made a shortcut or a click is kept and answered once it is.
    configureStatusItem();
    hotKeyAvailability_ = hotKeys_.registerDefaults();
    std::unique_ptr<VeltoStore> store;
    LaunchPreparation preparation = LaunchPreparation::loadAgain;
    // Loaded again from the start when the user has changed the folder that kept the library from opening.
    while (preparation == LaunchPreparation::loadAgain) {
        store.reset();
        QCoro::Task<std::unique_ptr<VeltoStore>> loading = loadStore(self);
        store = co_await loading;
        launchTrace::milestone("store loaded");
        if (!self || self->shell_.isQuitting()) {
            co_return;
        }
        QCoro::Task<LaunchPreparation> preparing =
            prepareLoadedStore(*store, self->options_.presentRecoveryAlert, QPointer<QObject>(self.data()));
        preparation = co_await preparing;
        if (!self) {
            co_return;
        }
    }
    if (preparation == LaunchPreparation::goOn) {
        self->store_ = store.get();
        self->shell_.takeLoadedStore(std::move(store));
        // The panel, whose current page holds the event loop while it loads, waits until the tray host has placed
        // the icon, or at the latest `longestWaitForDocking`.
        self->trayIcon_.whenDocked(longestWaitForDocking, [self] {
            if (self && !self->shell_.isQuitting()) {
                self->finishLaunchingWithPanel();
            }
        });
    } else {
        self->shell_.quit();
    }
}

void ShellLaunch::finishLaunchingWithPanel() {
    std::unique_ptr<VeltoPanelControlling> panel = options_.makePanel(*store_);
    if (launchTrace::isEnabled()) {
        connect(panel.get(), &VeltoPanelControlling::panelPainted, this,
                [] { launchTrace::milestone("panel painted"); });
    }
    launchTrace::milestone("panel ready");
    shell_.takePanel(std::move(panel));
    // Once everything the warning's buttons may reach is in place, and once for both shortcuts.
    if (!hotKeyAvailability_.allAvailable()) {
        bool showOrHide = !hotKeyAvailability_.toggle;
        showHotKeyRegistrationWarning(
            hotKeyAvailability_.toggle, hotKeyAvailability_.appendClipboard,
            [this](const ShellAlert &alert) { return shell_.presentNotice(alert); },
            // Once the launch has finished, when Settings may open.
            [this, showOrHide] {
                choosingAnotherShortcut_ = true;
                QTimer::singleShot(0, this, [this, showOrHide] { shell_.chooseGlobalShortcut(showOrHide); });
            });
    }
    shell_.startRunning();
    launchTrace::milestone("launch finished");
    // Loading and styling the current page copied it several times over; a big page's copies are gone now.
    giveFreedMemoryBack();
    // Traced for measurements and tests from outside, which otherwise meet the notice only inside the tray menu.
    connect(store_, &VeltoStoreSignals::conflictNoticeRaised, this,
            [] { launchTrace::milestone("conflict notice raised"); });
    connect(store_, &VeltoStoreSignals::unreadableFilesFound, this,
            [] { launchTrace::milestone("unreadable files found"); });
    // From the event loop itself, not from inside the launch task, as both run modal loops; the Welcome only once
    // the notice is answered, so that it never opens over the notice, hides it and leaves it the keyboard.
    QTimer::singleShot(0, this, [this] {
        announceUnsavedTextFiles(options_.unsavedTextFolder,
                                 [this](const ShellAlert &alert) { return shell_.presentNotice(alert); });
        // Only the files the launch met get an alert, before anyone types: a file that turns unreadable later
        // is named by a banner of the panel and in the tray menu, which take no keys from the page.
        if (!store_->unreadableFiles().empty()) {
            announceNewlyUnreadableFiles();
        }
        if (!choosingAnotherShortcut_) {
            shell_.presentWelcomeIfNeeded(hotKeyAvailability_.toggle);
        }
    });
}

void ShellLaunch::configureStatusItem() {
    if (!TrayIcon::isTrayAvailable()) {
        auto shortcut = VeltoPreferences::globalShortcut();
        QString ways = shortcut ? KeyNames::text(shortcut) + QStringLiteral(" or launch Velto again")
                                : QStringLiteral("launch Velto again");
        std::fprintf(stderr, "Velto: no system tray is available; use %s to open it.\n", ways.toUtf8().constData());
    }
    trayIcon_.show();
}

void ShellLaunch::announceNewlyUnreadableFiles() {
    if (store_ == nullptr) {
        return;
    }
    if (std::optional<ShellAlert> alert = unreadableFilesNotice_.alertForNewlyUnreadable(*store_)) {
        launchTrace::milestone("unreadable files announced");
        shell_.presentNotice(*alert);
    }
}

} // namespace velto
