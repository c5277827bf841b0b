#include "app/shell/ShellSettings.h"

#include "app/hotkeys/HotKeyController.h"
#include "app/lifecycle/ApplicationVersion.h"
#include "app/lifecycle/CommercialConfiguration.h"
#include "app/menus/ShellMenus.h"
#include "app/shell/ApplicationShell.h"
#include "app/shell/AutoArchivePreference.h"
#include "panel/window/PanelControlling.h"
#include "panel/window/PanelPageControlling.h"
#include "preferences/NotificationCenter.h"
#include "preferences/PagesFolderBookmark.h"
#include "preferences/Preferences.h"
#include "settings/InlineShortcutRecorder.h"
#include "settings/SettingsWindowController.h"
#include "store/Store.h"

#include <QtCore/QPointer>

namespace velto {

namespace {

/// The panel's page while these settings last, when the shell's panel has one (a test's recording panel has none).
VeltoPanelPageControlling *panelPage(const QPointer<ShellSettings> &settings, const ApplicationShell &shell) {
    VeltoPanelControlling *panel = settings ? shell.panelController() : nullptr;
    return panel ? panel->pageControlling() : nullptr;
}

QCoro::Task<void> startAutoArchiving(VeltoStore &store) {
    // Only the archiving matters here; how many pages went is not shown.
    QCoro::Task<int> archiving = store.autoArchiveEligiblePages(systemClock().now());
    co_await archiving;
}

} // namespace

ShellSettings::ShellSettings(ApplicationShell &shell, ShellMenus &menus, PagesFolderAccessController &pagesFolderAccess,
                             SettingsPresentationCoordinator presentation, LaunchAtLoginService launchAtLoginService)
    : shell_(shell)
    , menus_(menus)
    , pagesFolderAccess_(pagesFolderAccess)
    , presentation_(std::move(presentation))
    , launchAtLoginService_(std::move(launchAtLoginService)) {}

ShellSettings::~ShellSettings() = default;

void ShellSettings::show() {
    if (!windowController_) {
        windowController_ = makeSettingsWindowController(makeCallbacks());
        SettingsWindow &window = *windowController_->window();
        menus_.configureMainMenu(window);
        // The menu's items show the current shortcuts.
        connect(&VeltoPreferences::storage().notificationCenter(), &VeltoNotificationCenter::veltoPreferencesDidChange,
                windowController_.get(), [this, &window] { menus_.configureMainMenu(window); });
    }
    presentation_.setPresentationMode(SettingsPresentationMode::settingsWindow);
    windowController_->showWindow();
}

void ShellSettings::showShowOrHideRecorder() {
    show();
    startRecorder(windowController_->shortcutsPage().shortcutRecorder);
}

void ShellSettings::showAppendClipboardRecorder() {
    show();
    startRecorder(windowController_->shortcutsPage().appendShortcutRecorder);
}

void ShellSettings::startRecorder(InlineShortcutRecorder *recorder) {
    windowController_->showCategory(SettingsCategory::shortcuts);
    recorder->setFocus(Qt::OtherFocusReason);
    recorder->startRecording();
}

void ShellSettings::refreshVisibleWindow() {
    if (windowController_ && windowController_->window()->isVisible()) {
        windowController_->refresh();
    }
}

SettingsWindowCallbacks ShellSettings::makeCallbacks() {
    QPointer<ShellSettings> self(this);
    ApplicationShell &shell = shell_;
    SettingsWindowCallbacks callbacks;
    callbacks.general.onAppearanceChange = [self, &shell] {
        if (self) {
            shell.applyPreferredAppearance();
        }
    };
    callbacks.general.onPanelSizeChange = [self, &shell] {
        if (VeltoPanelPageControlling *page = panelPage(self, shell)) {
            page->applyPanelSizePreference();
        }
    };
    callbacks.onEditorChange = [self, &shell] {
        if (VeltoPanelPageControlling *page = panelPage(self, shell)) {
            page->applyEditorPreferences();
        }
    };
    callbacks.general.onAutoArchiveChange = [self, &shell](AutoArchiveDuration duration) {
        if (!self || !shell.store()) {
            return;
        }
        if (shell.panelController()) {
            shell.panelController()->dropNavigationSession();
        }
        if (VeltoPanelPageControlling *page = panelPage(self, shell)) {
            page->prepareForAutoArchiveChange();
        }
        shell.store()->setAutoArchivePeriod(autoArchivePeriod(duration));
        startAutoArchiving(*shell.store());
    };
    callbacks.storage.pagesFolderURL = [self, &shell] {
        if (!self) {
            return VeltoPageLibrary::defaultFolderURL();
        }
        // The store's folder where a test launch opened another than the active one.
        return shell.store() ? shell.store()->folderURL() : self->pagesFolderAccess_.folderURL();
    };
    callbacks.storage.archiveSnapshot = [self, &shell] {
        return self && shell.store() ? shell.store()->archiveSnapshot() : VeltoArchiveSnapshot::empty();
    };
    callbacks.storage.canDeleteArchivedPages = [self] { return !self.isNull(); };
    callbacks.storage.onDeleteConfirmedArchivedPages = [self, &shell](std::set<Uuid> pageIDs) -> QCoro::Task<int> {
        VeltoPanelPageControlling *page = panelPage(self, shell);
        if (page == nullptr) {
            co_return 0;
        }
        QCoro::Task<int> deleting = page->deleteConfirmedArchivedPages(std::move(pageIDs));
        int deleted = co_await deleting;
        co_return deleted;
    };
    callbacks.storage.onPagesFolderChange = [self](VeltoFolderConnectionDecision decision) -> QCoro::Task<void> {
        if (!self) {
            co_return;
        }
        QCoro::Task<void> changing = self->changePagesFolder(std::move(decision));
        co_await changing;
    };
    // The hot-key controller of the moment the window is created stays the one these reach.
    HotKeyController *hotKeys = shell.hotKeyController();
    callbacks.shortcuts.onShortcutChange = [self, &shell, hotKeys] {
        if (!self || shell.hotKeyController() != hotKeys) {
            return ShortcutRegistrationAvailability{false, false};
        }
        return hotKeys->registerDefaults();
    };
    callbacks.shortcuts.availability = [self, &shell, hotKeys] {
        if (!self || shell.hotKeyController() != hotKeys) {
            return ShortcutRegistrationAvailability{};
        }
        return hotKeys->availability();
    };
    callbacks.onShortcutRecordingChange = [self, &shell, hotKeys](bool isRecording) {
        if (!self || shell.hotKeyController() != hotKeys) {
            return;
        }
        // While a recorder listens, a global shortcut must reach the recorder, not the shell.
        if (isRecording) {
            hotKeys->unregisterAll();
        } else {
            hotKeys->registerDefaults();
        }
    };
    if (CommercialConfiguration::feedbackRecipient()) {
        callbacks.about.onSendFeedback = [self] {
            if (self) {
                self->menus_.sendFeedback();
            }
        };
    }
    if (CommercialConfiguration::changelogURL()) {
        callbacks.about.onViewChangelog = [self] {
            if (self) {
                self->menus_.viewChangelog();
            }
        };
    }
    callbacks.general.launchAtLoginService = launchAtLoginService_;
    callbacks.onClose = [self] {
        if (self) {
            self->presentation_.setPresentationMode(SettingsPresentationMode::menuBarOnly);
        }
    };
    callbacks.shortcuts.keyboardLayoutTranslator = KeyboardLayoutTranslator::activeInputSource();
    callbacks.about.applicationVersion = QString::fromStdString(ApplicationVersion::current().displayDescription());
    callbacks.isPreview = false;
    return callbacks;
}

QCoro::Task<void> ShellSettings::changePagesFolder(VeltoFolderConnectionDecision decision) {
    QPointer<ShellSettings> self(this);
    ApplicationShell &shell = shell_;
    if (!shell.store() || decision.isCancel()) {
        co_return;
    }
    const VeltoFolderConnectionChoice choice = *decision.selection;
    if (VeltoPanelPageControlling *page = panelPage(self, shell)) {
        page->prepareForPagesFolderChange();
    }
    // An existing folder is accepted; a failure here leaves everything as it was.
    std::filesystem::create_directories(choice.destinationURL);
    QByteArray bookmark = pagesFolderBookmarkData(choice.destinationURL);
    QCoro::Task<void> connecting = shell.store()->applyFolderConnection(choice.storeSelection());
    co_await connecting;
    if (!self) {
        co_return;
    }
    // Recorded only once the store holds the new library, so that a failed connection changes no preference.
    // Nothing grants access to a folder chosen in a dialog on Linux: the controller opens its handle itself.
    self->pagesFolderAccess_.replaceActiveFolder(choice.destinationURL, false);
    VeltoPreferences::setPagesFolder(bookmark, choice.ownershipMode);
    if (VeltoPanelPageControlling *page = panelPage(self, shell)) {
        page->pagesFolderDidChange();
    }
}

} // namespace velto
