#include "app/shell/AppDelegate.h"

#include "app/hotkeys/GlobalHotKeys.h"
#include "app/hotkeys/HotKeyRegistrationWarning.h"
#include "app/lifecycle/LaunchTrace.h"
#include "app/lifecycle/PagesFolderRestoration.h"
#include "app/lifecycle/ShellTermination.h"
#include "app/lifecycle/StoreLaunchPreparation.h"
#include "app/menus/ShellMenus.h"
#include "app/menus/TrayIcon.h"
#include "app/menus/VeltoApplicationIcon.h"
#include "app/shell/ClipboardAppend.h"
#include "app/shell/ShellSettings.h"
#include "app/welcome/WelcomePresenter.h"
#include "editor_view/clipboard/ClipboardTextReader.h"
#include "library/FolderConnectionAssessment.h"
#include "panel/window/PanelPageControlling.h"
#include "platform/ApplicationBundle.h"
#include "platform/FreedMemory.h"
#include "preferences/KeyboardInputSourceMonitor.h"
#include "preferences/Preferences.h"
#include "store/LibraryPool.h"
#include "store/Store.h"
#include "ui/Appearance.h"
#include "ui/KeyNames.h"
#include "ui/WindowAppearance.h"

#include <QtCore/QTimer>
#include <QtGui/QClipboard>
#include <QtGui/QCursor>
#include <QtGui/QGuiApplication>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMessageBox>

#include <cstdio>

namespace velto {

AppDelegate::AppDelegate(ApplicationTestLaunchConfiguration testLaunchConfiguration, Options options, Parts parts)
    : testLaunchConfiguration_(std::move(testLaunchConfiguration))
    , options_(std::move(options))
    , pagesFolderAccess_(VeltoPageLibrary::defaultFolderURL())
    , termination_(std::move(parts.termination))
    , keyboardInputSourceMonitor_(std::move(parts.keyboardInputSourceMonitor))
    , trayIcon_(std::move(parts.trayIcon))
    , hotKeys_(std::move(parts.hotKeys))
    , windows_(parts.makeWindows(*this, pagesFolderAccess_, testLaunchConfiguration_)) {
    connect(trayIcon_.get(), &TrayIcon::clicked, this, &AppDelegate::answerTrayIconClick);
    connect(trayIcon_.get(), &TrayIcon::menuRequested, this, &AppDelegate::showMenu);
    connect(hotKeys_.get(), &GlobalHotKeys::togglePressed, this, &AppDelegate::answerToggleShortcut);
    connect(hotKeys_.get(), &GlobalHotKeys::appendClipboardPressed, this, &AppDelegate::appendClipboard);
    connect(termination_.get(), &ShellTermination::retryRequested, this, &AppDelegate::quit);
}

AppDelegate::~AppDelegate() {
    shutDown(std::chrono::milliseconds(0));
}

// Launch

void AppDelegate::applicationWillFinishLaunching() {
    launchTrace::milestone("will-finish-launching");
    try {
        testLaunchConfiguration_.prepare(applicationBundle::current().value("CFBundleIdentifier"));
    } catch (const std::exception &error) {
        runAlertModally(QMessageBox::Warning, QStringLiteral("Velto couldn’t prepare the smoke test."),
                        QString::fromUtf8(error.what()), {});
        quit();
        return;
    }
    VeltoPreferences::registerDefaults();
    if (!testLaunchConfiguration_.isEnabled &&
        !restoreSavedPagesFolder(pagesFolderAccess_, [this](const ShellAlert &alert) { return presentAlert(alert); })) {
        canFinishLaunching_ = false;
        quit();
        return;
    }
    applyPreferredAppearance();
}

void AppDelegate::applicationDidFinishLaunching() {
    if (!canFinishLaunching_ || isQuitting()) {
        return;
    }
    runLaunchTask();
}

QCoro::Task<std::unique_ptr<VeltoStore>> AppDelegate::loadStore(QPointer<AppDelegate> delegate) {
    if (delegate->options_.loadStore) {
        QCoro::Task<std::unique_ptr<VeltoStore>> loading = delegate->options_.loadStore();
        co_return co_await loading;
    }
    QCoro::Task<std::unique_ptr<VeltoStore>> loading = loadLibraryForLaunch(
        delegate->testLaunchConfiguration_.documentURL.value_or(delegate->pagesFolderAccess_.folderURL()),
        maximumPageCount, maximumPageBytes);
    co_return co_await loading;
}

QCoro::Task<void> AppDelegate::runLaunchTask() {
    QPointer<AppDelegate> self(this);
    // The tray icon and the shortcuts come first: reading the library and loading and styling a big current page
    // take seconds, and until the panel is made a shortcut or a click is kept and answered once it is.
    configureStatusItem();
    hotKeyAvailability_ = hotKeys_->registerDefaults();
    std::unique_ptr<VeltoStore> store;
    LaunchPreparation preparation = LaunchPreparation::loadAgain;
    // Loaded again from the start when the user has changed the folder that kept the library from opening.
    while (preparation == LaunchPreparation::loadAgain) {
        store.reset();
        QCoro::Task<std::unique_ptr<VeltoStore>> loading = loadStore(self);
        store = co_await loading;
        launchTrace::milestone("store loaded");
        if (!self || self->isQuitting()) {
            co_return;
        }
        QCoro::Task<LaunchPreparation> preparing =
            prepareLoadedStore(*store, self->options_.presentAlert, QPointer<QObject>(self.data()));
        preparation = co_await preparing;
        if (!self) {
            co_return;
        }
    }
    if (preparation == LaunchPreparation::goOn) {
        self->store_ = std::move(store);
        // The panel, whose current page holds the event loop while it loads, waits until the tray host has placed
        // the icon, or at the latest `longestWaitForDocking`.
        self->trayIcon_->whenDocked(longestWaitForDocking, [self] {
            if (self && !self->isQuitting()) {
                self->finishLaunchingWithPanel();
            }
        });
    } else {
        self->quit();
    }
}

void AppDelegate::finishLaunchingWithPanel() {
    panel_ = options_.makePanel(*store_);
    if (launchTrace::isEnabled()) {
        connect(panel_.get(), &VeltoPanelControlling::panelPainted, this,
                [] { launchTrace::milestone("panel painted"); });
    }
    launchTrace::milestone("panel ready");
    QPointer<AppDelegate> self(this);
    pagesFinderWorkflow_ = std::make_unique<PagesFinderWorkflow>(
        *store_,
        [self] {
            if (self && self->panel_) {
                self->panel_->flushPendingChanges();
            }
        },
        options_.fileManagerOperations.value_or(PagesFinderWorkflow::Operations::live(
            [self](const ShellAlert &alert) { return self ? self->presentAlert(alert) : 0; })));
    connectPanel();
    // Once everything the warning's buttons may reach is in place, and once for both shortcuts.
    if (!hotKeyAvailability_.allAvailable()) {
        showHotKeyRegistrationWarning(hotKeyAvailability_.toggle, hotKeyAvailability_.appendClipboard);
    }
    menus().installPanelKeyEquivalents();
    running_ = true;
    if (testLaunchConfiguration_.opensEditor) {
        QTimer::singleShot(0, this, &AppDelegate::showPage);
    }
    answerRequestsMadeWhileLaunching();
    launchTrace::milestone("launch finished");
    // Loading and styling the current page copied it several times over; a big page's copies are gone now.
    giveFreedMemoryBack();
    // After the tray icon is up, and again whenever a reload meets a file that was readable before.
    connect(store_.get(), &VeltoStoreSignals::unreadableFilesFound, this, &AppDelegate::announceNewlyUnreadableFiles,
            Qt::QueuedConnection);
    // Traced for measurements and tests from outside, which otherwise meet the notice only inside the tray menu.
    connect(store_.get(), &VeltoStoreSignals::conflictNoticeRaised, this,
            [] { launchTrace::milestone("conflict notice raised"); });
    if (!store_->unreadableFiles().empty()) {
        QTimer::singleShot(0, this, &AppDelegate::announceNewlyUnreadableFiles);
    }
    // From the event loop itself, not from inside the launch task: the Welcome runs a modal loop.
    QTimer::singleShot(0, windows_.welcome.get(), &WelcomePresenter::presentIfNeeded);
}

void AppDelegate::connectPanel() {
    connect(panel_.get(), &VeltoPanelControlling::revealCurrentPageRequested, this,
            &AppDelegate::showCurrentPageInFileManager);
    connect(panel_.get(), &VeltoPanelControlling::pagesFolderOpenRequested, this, &AppDelegate::openPagesFolder);
    connect(panel_.get(), &VeltoPanelControlling::settingsRequested, this, &AppDelegate::showSettings);
    // From the event loop: the request may come while the panel is still closing.
    connect(panel_.get(), &VeltoPanelControlling::editorOpenRequested, this, &AppDelegate::showPage,
            Qt::QueuedConnection);
    // Pages archived from the panel, by another writer or by the auto-archive show in a visible Settings window.
    connect(store_.get(), &VeltoStoreSignals::archiveStateChanged, this, [this] { settings().refreshVisibleWindow(); });
}

void AppDelegate::announceNewlyUnreadableFiles() {
    if (!store_) {
        return;
    }
    if (std::optional<ShellAlert> alert = unreadableFilesNotice_.alertForNewlyUnreadable(*store_)) {
        launchTrace::milestone("unreadable files announced");
        presentAlert(*alert);
    }
}

// The file manager and reloading

void AppDelegate::showCurrentPageInFileManager() {
    if (pagesFinderWorkflow_) {
        pagesFinderWorkflow_->revealCurrentPage();
    }
}

void AppDelegate::openPagesFolder() {
    if (pagesFinderWorkflow_) {
        pagesFinderWorkflow_->openPagesFolder();
    }
}

void AppDelegate::reloadFromDisk() {
    if (panel_) {
        reloadLibraryFromDisk();
    }
}

QCoro::Task<void> AppDelegate::reloadLibraryFromDisk() {
    VeltoPanelPageControlling *page = panel_ ? panel_->pageControlling() : nullptr;
    if (page == nullptr) {
        co_return;
    }
    std::optional<std::string> failure;
    try {
        QCoro::Task<void> reloading = page->reloadLibraryFromDisk();
        co_await reloading;
    } catch (const std::exception &error) {
        failure = error.what();
    }
    if (failure) {
        // The library and the editor stay as the failed reload left them.
        presentAlert({QStringLiteral("Couldn’t Reload from Disk"), QString::fromStdString(*failure)});
    }
}

// The tray icon and the panel

void AppDelegate::configureStatusItem() {
    if (!TrayIcon::isTrayAvailable()) {
        auto shortcut = VeltoPreferences::globalShortcut();
        QString ways = shortcut ? KeyNames::text(shortcut) + QStringLiteral(" or launch Velto again")
                                : QStringLiteral("launch Velto again");
        std::fprintf(stderr, "Velto: no system tray is available; use %s to open it.\n", ways.toUtf8().constData());
    }
    trayIcon_->show();
}

void AppDelegate::answerTrayIconClick() {
    // A click on the icon while the panel is open first closes the panel (a click elsewhere); the same click must
    // not open it again.
    auto closed = panel_ ? panel_->lastSelfCloseTime() : std::nullopt;
    if (panel_ && !panel_->isShown() && closed && std::chrono::steady_clock::now() - *closed < reopenGuard) {
        return;
    }
    togglePanel();
}

int AppDelegate::presentAlert(const ShellAlert &alert) {
    return options_.presentAlert ? options_.presentAlert(alert) : presentShellAlertModally(alert);
}

std::optional<QRect> AppDelegate::statusItemGeometry() const {
    return trayIcon_->geometry();
}

HotKeyController *AppDelegate::hotKeyController() const {
    return hotKeys_->controller();
}

void AppDelegate::togglePanel(std::optional<std::uint32_t> keyEventTime) {
    if (!panel_) {
        if (trayIcon_->wasShown()) {
            // A second press before the panel is made takes the first back, as it would close a shown panel.
            requestsWhileLaunching_.show = !requestsWhileLaunching_.show;
            requestsWhileLaunching_.keyEventTime = keyEventTime;
        }
        return;
    }
    if (panel_->isShown()) {
        panel_->dropNavigationSession();
        panel_->stopShortcutHintMonitoring();
        panel_->flushPendingChanges();
        panel_->close();
    } else if (keyEventTime && *keyEventTime != 0) {
        // Keys typed from now on, while a big page is laid out and before the panel has the focus, go to the
        // panel instead of the window that had the focus.
        hotKeys_->holdKeyboardUntilFocused(panel_->panelWindow(), *keyEventTime);
        panel_->showForShortcut(statusItemGeometry(), *keyEventTime);
    } else {
        panel_->show(statusItemGeometry());
    }
    if (!trayIcon_->isPulsing()) {
        trayIcon_->configure();
    }
}

void AppDelegate::answerToggleShortcut(std::optional<std::uint32_t> keyEventTime) {
    // While the Welcome is up, the shortcut it teaches answers it.
    if (!welcome().startWritingIfShown()) {
        togglePanel(keyEventTime);
    }
}

void AppDelegate::showSettings() {
    if (!panel_ || !hotKeys_->controller()) {
        return; // launching has not finished
    }
    settings().show();
}

void AppDelegate::showPage() {
    if (panel_) {
        panel_->show(statusItemGeometry());
    } else if (trayIcon_->wasShown()) {
        requestsWhileLaunching_.show = true;
        requestsWhileLaunching_.keyEventTime.reset();
    }
}

void AppDelegate::answerRequestsMadeWhileLaunching() {
    const RequestsWhileLaunching requests = std::exchange(requestsWhileLaunching_, {});
    if (requests.show) {
        togglePanel(requests.keyEventTime);
    }
    if (requests.appendClipboard) {
        appendClipboard();
    }
}

void AppDelegate::showMenu() {
    // Not deleted as it hides: a confirmation's event loop would delete it under the code that triggered the
    // item, which then writes into the freed menu once the question is answered.
    statusMenu_.reset(makeStatusItemMenu());
    statusMenu_->popup(QCursor::pos());
}

QMenu *AppDelegate::makeStatusItemMenu() {
    return menus().makeStatusItemMenu();
}

void AppDelegate::applyPreferredAppearance() {
    // Every window, menu, alert and dialog follows, not only the panel and Velto's own windows.
    VeltoAppearance::shared().setPreference(VeltoPreferences::appearance());
    followAppearanceInEveryWindow();
    // Velto's windows and alerts show the icon variant that suits the appearance.
    QApplication::setWindowIcon(VeltoApplicationIcon::adaptiveImage());
    trayIcon_->configure();
    if (panel_) {
        panel_->applyPreferredAppearance();
    }
}

// Clipboard append

void AppDelegate::appendClipboard() {
    if (!panel_ && trayIcon_->wasShown()) {
        requestsWhileLaunching_.appendClipboard = true;
        return;
    }
    appendClipboardText();
}

QCoro::Task<void> AppDelegate::appendClipboardText() {
    QPointer<AppDelegate> self(this);
    QCoro::Task<bool> appending = appendClipboardToPanel(
        editor::ClipboardSnapshot::take(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard)), panel_.get(),
        maximumPageBytes);
    bool appended = co_await appending;
    if (appended && self) {
        self->trayIcon_->pulse();
    }
}

// Quitting

void AppDelegate::quit() {
    applicationShouldTerminate(true);
}

void AppDelegate::quitWithoutAsking() {
    ShellTermination::deliverPendingInput();
    applicationShouldTerminate(false);
}

void AppDelegate::applicationShouldTerminate(bool mayAsk) {
    if (panel_) {
        panel_->flushPendingChanges();
    }
    QPointer<AppDelegate> self(this);
    termination_->begin([self] { return flushStore(self); }, mayAsk);
}

QCoro::Task<void> AppDelegate::flushStore(QPointer<AppDelegate> delegate) {
    if (!delegate || !delegate->store_) {
        co_return;
    }
    QCoro::Task<void> flushing = delegate->store_->flush();
    co_await flushing;
}

bool AppDelegate::isQuitting() const {
    return termination_->isQuitting();
}

void AppDelegate::shutDown(std::chrono::milliseconds waitForLibraryWork) {
    hotKeys_->release();
    trayIcon_->hide();
    if (waitForLibraryWork.count() > 0) {
        libraryThreadPool().waitForDone(static_cast<int>(waitForLibraryWork.count()));
    }
}

} // namespace velto
