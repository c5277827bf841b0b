// Restoring all settings at once, which spans the pages: launching at login first, then the shortcuts, then the
// preferences, with each step undone when a later one fails.
#include "preferences/Preferences.h"
#include "settings/SettingsTasks.h"
#include "settings/SettingsTexts.h"
#include "settings/SettingsWindowController.h"
#include "ui/HoverButton.h"

#include <QtCore/QPointer>

namespace velto {

QCoro::Task<void> SettingsWindowController::confirmRestoreAllDefaults() {
    endRecording();
    SettingsAlert alert;
    alert.title = QStringLiteral("Restore all settings to their defaults?");
    alert.message = QStringLiteral("Appearance, panel size, launch-at-login, editor preferences, and keyboard "
                                   "shortcuts will be restored. Your pages will not be changed.");
    alert.buttons = {QStringLiteral("Restore defaults"), QStringLiteral("Cancel")};
    QPointer<SettingsWindowController> self = this;
    // Named, not a temporary inside co_await: GCC destroys such temporaries twice.
    QCoro::Task<int> asking = presentAlert(alert);
    int response = co_await asking;
    if (self && response == firstButtonResponse) {
        self->restoreAllDefaults();
    }
}

void SettingsWindowController::restoreAllDefaults() {
    endRecording();
    // While the defaults are tried, "Restore all defaults…" is disabled for a moment (every setting is at its
    // default then) and the focus moves on; after a failure it goes back, for the alert to return it there.
    QPointer<QWidget> restoreButton = generalPage_->restoreAllDefaultsButton;
    bool buttonHadFocus = window_->focusWidget() == restoreButton;
    auto refreshAfterFailure = [this, restoreButton, buttonHadFocus] {
        refresh();
        if (buttonHadFocus && restoreButton && restoreButton->isEnabled()) {
            restoreButton->setFocus(Qt::OtherFocusReason);
        }
    };
    ShortcutsSettingsPage::Snapshot snapshot = ShortcutsSettingsPage::takeSnapshot();
    const QString failureTitle = QStringLiteral("Couldn’t Restore All Settings");
    LaunchAtLoginService &service = callbacks_.general.launchAtLoginService;
    auto isOn = [](LaunchAtLoginStatus status) {
        return status == LaunchAtLoginStatus::enabled || status == LaunchAtLoginStatus::requiresApproval;
    };
    bool turnedLaunchAtLoginOn = !isOn(service.currentStatus());
    if (turnedLaunchAtLoginOn) {
        try {
            if (!isOn(service.currentStatus())) {
                service.registerService();
            }
        } catch (const std::exception &error) {
            refreshAfterFailure();
            runDetached(presentWarning(failureTitle, QStringLiteral("Velto could not enable Launch at login. No other "
                                                                    "settings were changed. ") +
                                                         QString::fromUtf8(error.what())));
            return;
        }
    }

    ShortcutsSettingsPage::RestoreResult restore = shortcutsPage_->restoreShortcutsFrom(snapshot);
    if (restore.outcome != ShortcutsSettingsPage::RestoreOutcome::success) {
        if (turnedLaunchAtLoginOn) {
            try {
                if (isOn(service.currentStatus())) {
                    service.unregisterService();
                }
            } catch (const std::exception &error) {
                refreshAfterFailure();
                runDetached(presentWarning(failureTitle, QStringLiteral("Shortcut restoration failed, and Velto could "
                                                                        "not restore Launch at login. ") +
                                                             QString::fromUtf8(error.what())));
                return;
            }
        }
        refreshAfterFailure();
        // Named, with what stays and the way out: while another application holds the default, restoring all
        // settings cannot succeed, however often it is tried.
        GlobalShortcut takenDefault = restore.showOrHideDefaultRefused
                                          ? VeltoPreferences::defaultGlobalShortcut()
                                          : VeltoPreferences::defaultAppendClipboardShortcut();
        bool keptWorks = restore.outcome == ShortcutsSettingsPage::RestoreOutcome::defaultUnavailable;
        runDetached(presentWarning(
            failureTitle, SettingsTexts::defaultShortcutTakenMessage(restore.showOrHideDefaultRefused, takenDefault,
                                                                     restore.keptShortcut, keptWorks)));
        return;
    }

    VeltoPreferences::storage().performBatch([] { VeltoPreferences::restoreEditorAndAppearanceDefaults(); });
    AutoArchiveDuration duration = VeltoPreferences::autoArchiveDuration();
    callbacks_.general.onAppearanceChange();
    callbacks_.general.onPanelSizeChange();
    callbacks_.onEditorChange();
    callbacks_.general.onAutoArchiveChange(duration);
    applyWindowAppearance();
    refresh();
}

} // namespace velto
