#include "app/shell/AppDelegate.h"

#include "app/hotkeys/GlobalHotKeys.h"
#include "app/lifecycle/ShellTermination.h"
#include "app/menus/ShellMenus.h"
#include "app/menus/TrayIcon.h"
#include "app/menus/VeltoApplicationIcon.h"
#include "app/shell/ClipboardAppend.h"
#include "app/shell/ShellSettings.h"
#include "app/shell/UnsavedTextKeeper.h"
#include "app/welcome/WelcomePresenter.h"
#include "editor_view/clipboard/ClipboardTextReader.h"
#include "library/copy/FolderConnectionAssessment.h"
#include "panel/window/PanelPageControlling.h"
#include "platform/ApplicationStorage.h"
#include "preferences/KeyboardInputSourceMonitor.h"
#include "preferences/Preferences.h"
#include "store/LibraryPool.h"
#include "store/Store.h"
#include "ui/Appearance.h"
#include "ui/WindowAppearance.h"

#include <QtCore/QDir>
#include <QtCore/QTimer>
#include <QtGui/QClipboard>
#include <QtGui/QCursor>
#include <QtGui/QGuiApplication>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>

namespace velto {

AppDelegate::AppDelegate(ApplicationTestLaunchConfiguration testLaunchConfiguration, Options options, Parts parts)
    : testLaunchConfiguration_(std::move(testLaunchConfiguration))
    , options_(std::move(options))
    , pagesFolderAccess_(VeltoPageLibrary::defaultFolderURL())
    , termination_(std::move(parts.termination))
    , keyboardInputSourceMonitor_(std::move(parts.keyboardInputSourceMonitor))
    , trayIcon_(std::move(parts.trayIcon))
    , hotKeys_(std::move(parts.hotKeys))
    , windows_(parts.makeWindows(*this, pagesFolderAccess_, testLaunchConfiguration_))
    , launch_(
          *this, testLaunchConfiguration_, pagesFolderAccess_, *trayIcon_, *hotKeys_,
          {std::move(options_.loadStore), std::move(options_.makePanel), options_.presentAlert, unsavedTextFolder()}) {
    connect(trayIcon_.get(), &TrayIcon::clicked, this, &AppDelegate::answerTrayIconClick);
    connect(trayIcon_.get(), &TrayIcon::menuRequested, this, &AppDelegate::showMenu);
    connect(hotKeys_.get(), &GlobalHotKeys::togglePressed, this, &AppDelegate::answerToggleShortcut);
    connect(hotKeys_.get(), &GlobalHotKeys::appendClipboardPressed, this, &AppDelegate::appendClipboard);
    connect(termination_.get(), &ShellTermination::retryRequested, this, &AppDelegate::quit);
    termination_->setKeepUnsavedText([this] { return unsavedTextKeeper_ && unsavedTextKeeper_->keepBeforeExit(); });
    termination_->setKeepUnsavedTextNow([this] {
        return UnsavedTextKeeping{unsavedTextFolder(),
                                  unsavedTextKeeper_ ? unsavedTextKeeper_->keepNow() : std::nullopt};
    });
}

AppDelegate::~AppDelegate() {
    shutDown(std::chrono::milliseconds(0));
}

std::filesystem::path AppDelegate::unsavedTextFolder() const {
    return options_.unsavedTextFolder.empty() ? applicationStorage::unsavedTextFolder() : options_.unsavedTextFolder;
}

// What the launch hands over

void AppDelegate::takeLoadedStore(std::unique_ptr<VeltoStore> store) {
    unsavedTextKeeper_.reset();
    store_ = std::move(store);
    if (store_) {
        unsavedTextKeeper_ = std::make_unique<UnsavedTextKeeper>(*store_, unsavedTextFolder());
        unsavedTextKeeper_->setKeptTextsChanged([this] { tellPanelWhereTextIsKept(); });
    }
}

// The panel's notices of failing saves say where the text is only once a keep wrote it, and that it is only in
// Velto once a keep failed: a folder named before anything is in it would be false comfort.
void AppDelegate::tellPanelWhereTextIsKept() {
    if (!panel_ || !unsavedTextKeeper_) {
        return;
    }
    const VeltoKeptTexts &kept = unsavedTextKeeper_->keptTexts();
    SaveProblem::KeptText where;
    if (lastKeepFailed(kept)) {
        where.state = SaveProblem::KeptText::State::onlyInVelto;
    } else if (!kept.files.empty()) {
        where.state = SaveProblem::KeptText::State::kept;
        where.folder =
            SaveProblem::folderForDisplay(QString::fromStdString(unsavedTextFolder().string()), QDir::homePath());
    }
    panel_->setKeptText(where);
}

void AppDelegate::takePanel(std::unique_ptr<VeltoPanelControlling> panel) {
    panel_ = std::move(panel);
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
    tellPanelWhereTextIsKept();
}

void AppDelegate::startRunning() {
    menus().installPanelKeyEquivalents();
    running_ = true;
    if (testLaunchConfiguration_.opensEditor) {
        QTimer::singleShot(0, this, &AppDelegate::showPage);
    }
    answerRequestsMadeWhileLaunching();
}

void AppDelegate::presentWelcomeIfNeeded(bool showOrHideShortcutAvailable) {
    QTimer::singleShot(0, windows_.welcome.get(),
                       [this, showOrHideShortcutAvailable] { welcome().presentIfNeeded(showOrHideShortcutAvailable); });
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

int AppDelegate::presentNotice(const ShellAlert &alert) {
    return options_.presentAlert ? options_.presentAlert(alert) : presentShellNoticeModally(alert);
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

void AppDelegate::chooseShowOrHideShortcut() {
    if (!panel_ || !hotKeys_->controller()) {
        return; // launching has not finished
    }
    settings().showShowOrHideRecorder();
}

void AppDelegate::chooseGlobalShortcut(bool showOrHide) {
    if (showOrHide) {
        chooseShowOrHideShortcut();
    } else if (panel_ && hotKeys_->controller()) {
        settings().showAppendClipboardRecorder();
    }
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
        ShellLaunch::maximumPageBytes);
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
