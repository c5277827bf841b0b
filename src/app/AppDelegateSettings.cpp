// The shell's side of the Settings window: creating it once with the application's callables, presenting it,
// and changing the Pages folder when the window has decided how to connect one.
#include "app/AppDelegate.h"
#include "app/AboutPanel.h"
#include "app/ApplicationVersion.h"
#include "app/CommercialConfiguration.h"
#include "editor_view/EditorCoordinator.h"
#include "editor_view/VeltoTextView.h"
#include "panel/PageEditingSession.h"
#include "panel/PanelPopover.h"
#include "panel/VeltoPanelController.h"
#include "panel/VeltoPanelView.h"
#include "library/FolderConnectionAssessment.h"
#include "preferences/PagesFolderBookmark.h"
#include "preferences/NotificationCenter.h"
#include "preferences/Preferences.h"
#include "settings/SettingsWindowController.h"
#include "store/Store.h"

#include <QtCore/QPointer>

namespace velto {

namespace {

/// The production panel, when the delegate runs one (tests put a recording panel in its place).
VeltoPanelController *productionPanel(AppDelegate *delegate) {
    return delegate ? dynamic_cast<VeltoPanelController *>(delegate->panelController()) : nullptr;
}

QCoro::Task<void> startAutoArchiving(QPointer<AppDelegate> delegate) {
    if (!delegate || !delegate->store()) {
        co_return;
    }
    // Only the archiving matters here; how many pages went is not shown.
    QCoro::Task<int> archiving = delegate->store()->autoArchiveEligiblePages(systemClock().now());
    co_await archiving;
}

} // namespace

void AppDelegate::showSettings() {
    if (!panel_ || !hotKeyController_) {
        return; // launching has not finished
    }
    if (!settingsWindowController_) {
        settingsWindowController_ = makeSettingsWindowController(makeSettingsCallbacks());
        configureMainMenu();
        // The menu's items show the current shortcuts.
        connect(&VeltoPreferences::storage().notificationCenter(), &VeltoNotificationCenter::veltoPreferencesDidChange,
                settingsWindowController_.get(), [this] { configureMainMenu(); });
    }
    settingsPresentation_.setPresentationMode(SettingsPresentationMode::settingsWindow);
    settingsWindowController_->showWindow();
}

SettingsWindowCallbacks AppDelegate::makeSettingsCallbacks() {
    QPointer<AppDelegate> self(this);
    SettingsWindowCallbacks callbacks;
    callbacks.onAppearanceChange = [self] {
        if (self) {
            self->applyPreferredAppearance();
        }
    };
    callbacks.onPanelSizeChange = [self] {
        if (VeltoPanelController *panel = productionPanel(self)) {
            panel->popover().setContentSize(VeltoPreferences::panelContentSize());
            panel->panelView().normalizeEditorWidth();
        }
    };
    callbacks.onEditorChange = [self] {
        if (VeltoPanelController *panel = productionPanel(self)) {
            panel->editorCoordinator().applyEditorPreferences();
            panel->panelView().updateEmptyPageHint();
        }
    };
    callbacks.onAutoArchiveChange = [self](AutoArchiveDuration duration) {
        if (!self || !self->store_) {
            return;
        }
        if (self->panel_) {
            self->panel_->dropNavigationSession();
        }
        if (VeltoPanelController *panel = productionPanel(self)) {
            panel->pageEditingSession().prepareForTransition();
        }
        self->store_->setAutoArchivePeriod(autoArchivePeriod(duration));
        startAutoArchiving(self);
    };
    callbacks.pagesFolderURL = [self] {
        if (!self) {
            return VeltoPageLibrary::defaultFolderURL();
        }
        // The store's folder where a test launch opened another than the active one.
        return self->store_ ? self->store_->folderURL() : self->pagesFolderAccess_.folderURL();
    };
    callbacks.archiveSnapshot = [self] {
        return self && self->store_ ? self->store_->archiveSnapshot() : VeltoArchiveSnapshot::empty();
    };
    callbacks.canDeleteArchivedPages = [self] { return !self.isNull(); };
    callbacks.onDeleteConfirmedArchivedPages = [self](std::set<Uuid> pageIDs) -> QCoro::Task<int> {
        VeltoPanelController *panel = productionPanel(self);
        if (panel == nullptr) {
            co_return 0;
        }
        QCoro::Task<int> deleting = panel->pageOperations().deleteConfirmedArchivedPages(std::move(pageIDs));
        int deleted = co_await deleting;
        co_return deleted;
    };
    callbacks.onPagesFolderChange = [self](VeltoFolderConnectionDecision decision) -> QCoro::Task<void> {
        if (!self) {
            co_return;
        }
        QCoro::Task<void> changing = self->changePagesFolder(std::move(decision));
        co_await changing;
    };
    // The hot-key controller of the moment the window is created stays the one these reach.
    HotKeyController *hotKeys = hotKeyController_.get();
    callbacks.onShortcutChange = [self, hotKeys] {
        if (!self || self->hotKeyController_.get() != hotKeys) {
            return ShortcutRegistrationAvailability{false, false};
        }
        return hotKeys->registerDefaults();
    };
    callbacks.onShortcutRecordingChange = [self, hotKeys](bool isRecording) {
        if (!self || self->hotKeyController_.get() != hotKeys) {
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
        callbacks.onSendFeedback = [self] {
            if (self) {
                self->sendFeedback();
            }
        };
    }
    if (CommercialConfiguration::changelogURL()) {
        callbacks.onViewChangelog = [self] {
            if (self) {
                self->viewChangelog();
            }
        };
    }
    callbacks.launchAtLoginService = launchAtLoginService_;
    callbacks.onClose = [self] {
        if (self) {
            self->settingsPresentation_.setPresentationMode(SettingsPresentationMode::menuBarOnly);
        }
    };
    callbacks.keyboardLayoutTranslator = KeyboardLayoutTranslator::activeInputSource();
    callbacks.applicationVersion = QString::fromStdString(ApplicationVersion::current().displayDescription());
    callbacks.isPreview = false;
    return callbacks;
}

QCoro::Task<void> AppDelegate::changePagesFolder(VeltoFolderConnectionDecision decision) {
    QPointer<AppDelegate> self(this);
    if (!store_ || decision.isCancel()) {
        co_return;
    }
    const VeltoFolderConnectionChoice choice = *decision.selection;
    if (VeltoPanelController *panel = productionPanel(self)) {
        panel->prepareForPagesFolderChange();
    }
    // An existing folder is accepted; a failure here leaves everything as it was.
    std::filesystem::create_directories(choice.destinationURL);
    QByteArray bookmark = pagesFolderBookmarkData(choice.destinationURL);
    QCoro::Task<void> connecting = store_->applyFolderConnection(choice.storeSelection());
    co_await connecting;
    if (!self) {
        co_return;
    }
    // Recorded only once the store holds the new library, so that a failed connection changes no preference.
    // Nothing grants access to a folder chosen in a dialog on Linux: the controller opens its handle itself.
    self->pagesFolderAccess_.replaceActiveFolder(choice.destinationURL, false);
    VeltoPreferences::setPagesFolder(bookmark, choice.ownershipMode);
    if (VeltoPanelController *panel = productionPanel(self)) {
        panel->textView().undoHistories().discardAllPageUndoHistories();
        panel->pageEditingSession().forgetViewStates();
        panel->pageEditingSession().transitionToCurrentPage(std::nullopt, nullptr, std::nullopt);
    }
}

} // namespace velto
