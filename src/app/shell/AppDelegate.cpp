#include "app/shell/AppDelegate.h"

#include "app/hotkeys/GlobalHotKeys.h"
#include "app/lifecycle/CommercialConfiguration.h"
#include "app/lifecycle/LaunchAtLogin.h"
#include "app/lifecycle/LaunchTrace.h"
#include "app/lifecycle/LibraryRecoveryPrompt.h"
#include "app/menus/ShellMenus.h"
#include "app/menus/TrayIcon.h"
#include "app/menus/VeltoApplicationIcon.h"
#include "app/shell/ClipboardAppend.h"
#include "app/shell/PagesFinderWorkflow.h"
#include "app/shell/ShellSettings.h"
#include "app/shell/UnreadableFilesNotice.h"
#include "app/welcome/WelcomePresenter.h"
#include "editor_view/clipboard/ClipboardTextReader.h"
#include "library/FolderConnectionAssessment.h"
#include "panel/window/PanelPageControlling.h"
#include "platform/ApplicationBundle.h"
#include "platform/FreedMemory.h"
#include "platform/desktop/X11Requests.h"
#include "preferences/KeyboardInputSourceMonitor.h"
#include "preferences/KeyboardLayoutTranslator.h"
#include "preferences/NotificationCenter.h"
#include "preferences/Preferences.h"
#include "store/LibraryPool.h"
#include "store/Store.h"
#include "ui/Appearance.h"
#include "ui/KeyNames.h"
#include "ui/WindowAppearance.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTimer>
#include <QtGui/QClipboard>
#include <QtGui/QCursor>
#include <QtGui/QGuiApplication>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include <cstdio>
#include <vector>

namespace velto {

namespace {

/// The launch trace's name for the recovery alert shown, so that a test of the running application tells which.
const char *recoveryPromptMilestone(VeltoStoreRecoveryIssue::Remedy remedy) {
    switch (remedy) {
    case VeltoStoreRecoveryIssue::Remedy::updateVelto:
        return "newer library announced";
    case VeltoStoreRecoveryIssue::Remedy::changeFolder:
        return "unusable folder announced";
    case VeltoStoreRecoveryIssue::Remedy::rewriteLibrary:
        break;
    }
    return "damaged library announced";
}

} // namespace

VeltoAutoArchivePeriod autoArchivePeriod(AutoArchiveDuration duration) {
    switch (duration) {
    case AutoArchiveDuration::oneDay:
        return VeltoAutoArchivePeriod::oneDay();
    case AutoArchiveDuration::oneWeek:
        return VeltoAutoArchivePeriod::oneWeek();
    case AutoArchiveDuration::oneMonth:
        return VeltoAutoArchivePeriod::oneMonth();
    case AutoArchiveDuration::never:
        return VeltoAutoArchivePeriod::never();
    }
    return VeltoAutoArchivePeriod::oneWeek();
}

AppDelegate::AppDelegate(ApplicationTestLaunchConfiguration testLaunchConfiguration, Options options, Parts parts)
    : testLaunchConfiguration_(std::move(testLaunchConfiguration))
    , options_(std::move(options))
    , pagesFolderAccess_(VeltoPageLibrary::defaultFolderURL())
    , trayIcon_(std::move(parts.trayIcon))
    , hotKeys_(std::move(parts.hotKeys)) {
    connect(trayIcon_.get(), &TrayIcon::clicked, this, &AppDelegate::answerTrayIconClick);
    connect(trayIcon_.get(), &TrayIcon::menuRequested, this, &AppDelegate::showMenu);
    connect(hotKeys_.get(), &GlobalHotKeys::togglePressed, this, &AppDelegate::answerToggleShortcut);
    connect(hotKeys_.get(), &GlobalHotKeys::appendClipboardPressed, this, &AppDelegate::appendClipboard);
    if (!options_.exitApplication) {
        options_.exitApplication = [](int status) { QCoreApplication::exit(status); };
    }
    LaunchAtLoginService launchAtLoginService = options_.launchAtLoginService.value_or(launchAtLogin::live());
    welcome_ = std::make_unique<WelcomePresenter>(*this, testLaunchConfiguration_, launchAtLoginService);
    menus_ = std::make_unique<ShellMenus>(*this, ShellMenus::Options{options_.presentAlert, options_.openURL});
    settings_ = std::make_unique<ShellSettings>(
        *this, *menus_, pagesFolderAccess_,
        options_.settingsPresentation.value_or(SettingsPresentationCoordinator::live()), launchAtLoginService);
    QPointer<AppDelegate> self(this);
    terminationCoordinator_ = std::make_unique<ApplicationTerminationCoordinator>(
        options_.terminationTimeout,
        [self](bool allowing) {
            if (self) {
                self->replyToTermination(allowing);
            }
        },
        [self](const TerminationSaveFailure &failure) {
            return self ? self->presentTerminationFailure(failure) : TerminationSaveDecision::cancel;
        },
        [self] {
            if (self) {
                self->quit();
            }
        });
    if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
        keyboardInputSourceMonitor_ = std::make_unique<KeyboardInputSourceMonitor>();
    }
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
    if (!testLaunchConfiguration_.isEnabled) {
        try {
            pagesFolderAccess_.replaceActiveFolder(VeltoPreferences::resolvePagesFolderURL(), false);
        } catch (const std::exception &error) {
            // Quitting keeps the saved folder (the user may reconnect the drive); going on with the default
            // forgets it, or the alert would return at every launch and Settings would offer no way back.
            int response = presentAlert(
                {QStringLiteral("Velto Couldn’t Access Your Pages Folder"),
                 QString::fromUtf8(error.what()) +
                     QStringLiteral("\n\nThe saved folder is invalid or unavailable. Quit to keep it chosen and "
                                    "reconnect it, or continue with the default Pages folder instead."),
                 ShellAlert::Style::warning,
                 {QStringLiteral("Quit"), QStringLiteral("Use Default Folder")}});
            if (response != firstAlertButton + 1) {
                canFinishLaunching_ = false;
                quit();
                return;
            }
            VeltoPreferences::forgetPagesFolder();
            pagesFolderAccess_.replaceActiveFolder(VeltoPageLibrary::defaultFolderURL(), false);
        }
    }
    applyPreferredAppearance();
}

void AppDelegate::applicationDidFinishLaunching() {
    if (!canFinishLaunching_ || quitting_) {
        return;
    }
    runLaunchTask();
}

QCoro::Task<std::unique_ptr<VeltoStore>> AppDelegate::loadActiveFolder(QPointer<AppDelegate> delegate) {
    std::filesystem::path folder =
        delegate->testLaunchConfiguration_.documentURL.value_or(delegate->pagesFolderAccess_.folderURL());
    VeltoAutoArchivePeriod period = autoArchivePeriod(VeltoPreferences::autoArchiveDuration());
    // Named, not a temporary inside co_await: GCC 12 destroys such temporaries twice.
    QCoro::Task<std::unique_ptr<VeltoStore>> loading =
        VeltoStore::loadForApplication(folder, maximumPageCount, maximumPageBytes, period);
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
        if (options_.loadStore) {
            QCoro::Task<std::unique_ptr<VeltoStore>> loading = options_.loadStore();
            store = co_await loading;
        } else {
            QCoro::Task<std::unique_ptr<VeltoStore>> loading = loadActiveFolder(self);
            store = co_await loading;
        }
        launchTrace::milestone("store loaded");
        if (!self || self->quitting_) {
            co_return;
        }
        QCoro::Task<LaunchPreparation> preparing = self->prepareVeltoStore(*store);
        preparation = co_await preparing;
        if (!self) {
            co_return;
        }
    }
    if (preparation == LaunchPreparation::goOn) {
        self->finishLaunching(std::move(store));
    } else {
        self->quit();
    }
}

QCoro::Task<AppDelegate::LaunchPreparation> AppDelegate::prepareVeltoStore(VeltoStore &store) {
    QPointer<AppDelegate> self(this);
    while (true) {
        const VeltoStoreRecoveryIssue *issue = store.loadState().recoveryIssue();
        if (issue == nullptr) {
            co_return LaunchPreparation::goOn;
        }
        if (issue->kind == VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable) {
            // A page file another program is replacing, a full device, a library another program holds: each
            // passes without repair, and the message says which it is.
            launchTrace::milestone("pages unavailable announced");
            int response = presentAlertUntilLibraryOpens(
                store, {QStringLiteral("Velto Can’t Open Your Pages Yet"),
                        QString::fromStdString(issue->message) +
                            QStringLiteral(" Once it can open them, Velto goes on without waiting for you. It will "
                                           "not overwrite your files."),
                        ShellAlert::Style::informational,
                        {QStringLiteral("Try Again"), QStringLiteral("Quit")}});
            if (response != firstAlertButton) {
                co_return LaunchPreparation::quit;
            }
            try {
                QCoro::Task<void> reloading = store.reloadFromDisk(true, std::nullopt);
                co_await reloading;
                co_return LaunchPreparation::goOn;
            } catch (const std::exception &) {
                if (!self) {
                    co_return LaunchPreparation::quit;
                }
                continue; // ask again
            }
        }
        LibraryRecoveryPrompt prompt = LibraryRecoveryPrompt::forIssue(*issue);
        launchTrace::milestone(recoveryPromptMilestone(issue->remedy));
        LibraryRecoveryPrompt::Answer answer = prompt.answer(presentAlert(prompt.alert));
        if (answer == LibraryRecoveryPrompt::Answer::tryAgain) {
            co_return LaunchPreparation::loadAgain;
        }
        if (answer == LibraryRecoveryPrompt::Answer::quit) {
            co_return LaunchPreparation::quit;
        }
        std::optional<std::string> failure;
        std::optional<std::filesystem::path> preserved;
        try {
            QCoro::Task<std::optional<std::filesystem::path>> recovering = store.recoverPreservingOriginal();
            preserved = co_await recovering;
        } catch (const std::exception &error) {
            failure = error.what();
        }
        if (failure) {
            presentAlert({QStringLiteral("Velto Couldn’t Preserve the Page"), QString::fromStdString(*failure)});
            co_return LaunchPreparation::quit;
        }
        if (preserved) {
            presentAlert(originalPreservedAlert(*preserved));
        }
        co_return LaunchPreparation::goOn;
    }
}

// The store keeps loading the library in the background while the alert is up (every few seconds): once a load
// succeeds, the alert is answered with its first button, "Try Again", so that Velto starts without waiting for
// the user to come back to it.
int AppDelegate::presentAlertUntilLibraryOpens(VeltoStore &store, const ShellAlert &alert) {
    if (options_.presentAlert) {
        return options_.presentAlert(alert);
    }
    QPointer<QMessageBox> openAlert;
    QMetaObject::Connection answering = connect(&store, &VeltoStoreSignals::libraryOpened, this, [&openAlert] {
        if (openAlert && openAlert->defaultButton() != nullptr) {
            openAlert->defaultButton()->click();
        }
    });
    std::vector<QString> buttons(alert.buttons.begin(), alert.buttons.end());
    int response = runAlertModally(QMessageBox::Information, alert.title, alert.message, buttons, &openAlert);
    disconnect(answering);
    return response;
}

void AppDelegate::finishLaunching(std::unique_ptr<VeltoStore> store) {
    store_ = std::move(store);
    makePanelOnceStatusItemDocks(hotKeyAvailability_);
}

// A tray host embeds the icon through messages both ways, which only the event loop answers: the panel, whose
// page holds the loop, is made once the icon is in place, or at the latest after `longestWaitForDocking`.
void AppDelegate::makePanelOnceStatusItemDocks(ShortcutRegistrationAvailability availability) {
    const auto started = std::chrono::steady_clock::now();
    const bool embedsIcon = TrayIcon::hostEmbedsIcon();
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, poll, started, embedsIcon, availability] {
        const bool waitsForTray =
            embedsIcon && !statusItemGeometry() && std::chrono::steady_clock::now() - started < longestWaitForDocking;
        if (waitsForTray) {
            return;
        }
        if (statusItemGeometry()) {
            trayIcon_->traceDocked(); // before the page holds the loop, where the trace's own poll could not run
        }
        poll->deleteLater();
        poll->stop();
        if (!quitting_) {
            finishLaunchingWithPanel(availability);
        }
    });
    poll->start(statusItemPollInterval);
}

void AppDelegate::finishLaunchingWithPanel(ShortcutRegistrationAvailability availability) {
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
    connect(panel_.get(), &VeltoPanelControlling::revealCurrentPageRequested, this,
            &AppDelegate::showCurrentPageInFileManager);
    connect(panel_.get(), &VeltoPanelControlling::pagesFolderOpenRequested, this, &AppDelegate::openPagesFolder);
    // Pages archived from the panel, by another writer or by the auto-archive show in a visible Settings window.
    connect(store_.get(), &VeltoStoreSignals::archiveStateChanged, this, [this] { settings_->refreshVisibleWindow(); });
    connect(panel_.get(), &VeltoPanelControlling::settingsRequested, this, &AppDelegate::showSettings);
    // From the event loop: the request may come while the panel is still closing.
    connect(panel_.get(), &VeltoPanelControlling::editorOpenRequested, this, &AppDelegate::showPage,
            Qt::QueuedConnection);
    // Once everything the warning's buttons may reach is in place, and once for both shortcuts.
    if (!availability.allAvailable()) {
        showHotKeyRegistrationWarning(availability.toggle, availability.appendClipboard);
    }
    menus_->installPanelKeyEquivalents();
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
    QTimer::singleShot(0, welcome_.get(), &WelcomePresenter::presentIfNeeded);
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

// The tray icon

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
    if (!welcome_->startWritingIfShown()) {
        togglePanel(keyEventTime);
    }
}

void AppDelegate::showSettings() {
    if (!panel_ || !hotKeys_->controller()) {
        return; // launching has not finished
    }
    settings_->show();
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
    QMenu *menu = panel_ ? panel_->makeStatusMenu() : new QMenu();
    QAction *first = menu->actions().isEmpty() ? nullptr : menu->actions().front();
    // Shortcuts are shown after a tab, not registered: a popup menu that owned them would take the keys.
    QString openTitle = QStringLiteral("Open Velto");
    if (auto shortcut = VeltoPreferences::globalShortcut()) {
        openTitle += QLatin1Char('\t') + KeyNames::text(shortcut);
    }
    auto *open = new QAction(openTitle, menu);
    connect(open, &QAction::triggered, this, &AppDelegate::showPage);
    QAction *separator = menu->insertSeparator(first);
    menu->insertAction(separator, open);
    menu->addSeparator();
    QAction *feedback = menu->addAction(QStringLiteral("Send Feedback…"));
    feedback->setEnabled(CommercialConfiguration::feedbackRecipient().has_value());
    connect(feedback, &QAction::triggered, menus_.get(), &ShellMenus::sendFeedback);
    menu->addSeparator();
    QAction *quitAction = menu->addAction(QStringLiteral("Quit Velto\tCtrl+Q"));
    connect(quitAction, &QAction::triggered, this, &AppDelegate::quit);
    return menu;
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

// Global shortcuts

void AppDelegate::showHotKeyRegistrationWarning(bool toggleShortcutAvailable, bool clipboardShortcutAvailable) {
    QString informative;
    if (!toggleShortcutAvailable) {
        informative = QStringLiteral("The saved show/hide shortcut is already in use. Choose another shortcut from "
                                     "Settings.");
    } else if (!clipboardShortcutAvailable) {
        QString title = QStringLiteral("The clipboard shortcut");
        if (auto shortcut = VeltoPreferences::appendClipboardShortcut()) {
            GlobalShortcut relabelled = *shortcut;
            if (!GlobalShortcut::isNamedSpecialKey(relabelled.keyLabel)) {
                auto label =
                    KeyboardLayoutTranslator::activeInputSource().translate(relabelled.keyCode, relabelled.modifiers);
                if (label && GlobalShortcut::isValidLocalKeyLabel(*label)) {
                    relabelled.keyLabel = GlobalShortcut::normalizedKeyLabel(*label);
                }
            }
            title = KeyNames::text(relabelled);
        }
        informative = title + QStringLiteral(" is already in use by another app, so clipboard append is unavailable. "
                                             "Your show/hide shortcut still works.");
    }
    std::fprintf(stderr, "Velto: A Velto Shortcut Is Unavailable. %s\n", informative.toUtf8().constData());
    runAlertModally(QMessageBox::Warning, QStringLiteral("A Velto Shortcut Is Unavailable"), informative, {});
}

// Clipboard append

void AppDelegate::appendClipboard() {
    if (!panel_ && trayIcon_->wasShown()) {
        requestsWhileLaunching_.appendClipboard = true;
        return;
    }
    appendClipboardText(editor::ClipboardSnapshot::take(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard)));
}

QCoro::Task<void> AppDelegate::appendClipboardText(editor::ClipboardSnapshot snapshot) {
    QPointer<AppDelegate> self(this);
    QCoro::Task<std::optional<std::u16string>> reading = editor::ClipboardTextReader::read(std::move(snapshot));
    std::optional<std::u16string> read = co_await reading;
    if (!self) {
        co_return;
    }
    std::optional<QString> text;
    if (read) {
        text = QString::fromStdU16String(*read);
    }
    std::optional<QString> pageText;
    if (panel_ && panel_->canAppendToCurrentPage()) {
        pageText = panel_->currentPageText();
    }
    ClipboardAppendPlan plan =
        planClipboardAppend(text, panel_ ? pageText : std::optional<QString>(QString()), maximumPageBytes);
    if (plan.outcome != ClipboardAppendPlan::Outcome::append) {
        if (panel_) {
            panel_->showFeedback({plan.refusalMessage(), PanelFeedback::Emphasis::informational, 2.2});
        }
        co_return;
    }
    // The panel refuses (with a beep) while it cannot keep the text: then nothing is confirmed.
    if (!panel_ || !panel_->append(plan.text)) {
        co_return;
    }
    trayIcon_->pulse();
}

// Quitting

void AppDelegate::quit() {
    applicationShouldTerminate(true);
}

void AppDelegate::quitWithoutAsking() {
    deliverPendingInput();
    applicationShouldTerminate(false);
}

void AppDelegate::deliverPendingInput() {
    // A round trip to the X server: every key event it sent before its reply is then with us. Two turns of
    // event handling take them from the connection and then hand them to the editor.
    if (!roundTripToXServer()) {
        return;
    }
    for (int turn = 0; turn < 2; ++turn) {
        QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
    }
}

QCoro::Task<void> AppDelegate::flushStore(QPointer<AppDelegate> delegate) {
    if (!delegate || !delegate->store_) {
        co_return;
    }
    QCoro::Task<void> flushing = delegate->store_->flush();
    co_await flushing;
}

void AppDelegate::applicationShouldTerminate(bool mayAsk) {
    if (panel_) {
        panel_->flushPendingChanges();
    }
    QPointer<AppDelegate> self(this);
    terminationCoordinator_->begin([self] { return flushStore(self); }, mayAsk);
}

void AppDelegate::replyToTermination(bool allowingTermination) {
    if (!allowingTermination) {
        return;
    }
    if (terminationAlert_) {
        terminationAlert_->reject(); // the save completed while the alert was open
    }
    quitting_ = true;
    auto failure = terminationCoordinator_->lastUnconfirmedFailure();
    // A quit that could not save reports it in the exit status: nobody may have seen an alert.
    options_.exitApplication(failure && failure->kind == TerminationSaveFailure::Kind::failed ? 1 : 0);
}

TerminationSaveDecision AppDelegate::presentTerminationFailure(const TerminationSaveFailure &failure) {
    QString informative =
        failure.kind == TerminationSaveFailure::Kind::failed
            ? QStringLiteral("Your latest changes are not safely stored yet. Try saving again, keep Velto open, or "
                             "quit without saving.")
            : QStringLiteral("Saving is taking longer than expected. Try again, keep Velto open, or quit without "
                             "saving.");
    int response =
        runAlertModally(QMessageBox::Warning, QStringLiteral("Velto Couldn’t Save Before Quitting"), informative,
                        {QStringLiteral("Try Again"), QStringLiteral("Cancel"), QStringLiteral("Quit Without Saving")},
                        &terminationAlert_);
    if (response == firstAlertButton) {
        return TerminationSaveDecision::retry;
    }
    if (response == firstAlertButton + 2) {
        return TerminationSaveDecision::quitWithoutSaving;
    }
    return TerminationSaveDecision::cancel;
}

void AppDelegate::shutDown(std::chrono::milliseconds waitForLibraryWork) {
    hotKeys_->release();
    trayIcon_->hide();
    if (waitForLibraryWork.count() > 0) {
        libraryThreadPool().waitForDone(static_cast<int>(waitForLibraryWork.count()));
    }
}

} // namespace velto
