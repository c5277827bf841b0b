// The Shortcuts page: the recorders' wiring, the rules that refuse a shortcut already taken, applying a
// global shortcut with registration and rollback, and restoring the default shortcuts.
#include "preferences/KeyboardSettings.h"
#include "preferences/LocalShortcutRouter.h"
#include "preferences/Preferences.h"
#include "settings/InlineShortcutRecorder.h"
#include "settings/SettingsTasks.h"
#include "settings/SettingsWindowController.h"
#include "ui/HoverButton.h"

namespace velto {

namespace {

std::uint64_t masked(std::uint64_t modifiers) {
    return modifiers & ModifierFlags::supportedMask;
}

bool sameKeyCombination(const GlobalShortcut &a, const GlobalShortcut &b) {
    return a.keyCode == b.keyCode && masked(a.modifiers) == masked(b.modifiers);
}

/// A set global shortcut against a new local one: by key code for named keys, else by what the global
/// shortcut's key types in the current layout.
bool globalShortcutClashes(const GlobalShortcut &global, const GlobalShortcut &candidate) {
    if (GlobalShortcut::isNamedSpecialKey(candidate.keyLabel)) {
        return sameKeyCombination(global, candidate);
    }
    std::optional<QString> label =
        KeyboardLayoutTranslator::activeInputSource().translate(global.keyCode, masked(global.modifiers));
    if (!label) {
        return false;
    }
    return GlobalShortcut{global.keyCode, masked(global.modifiers), *label}.conflictsLocally(candidate);
}

/// A new global shortcut against a command's shortcut.
bool clashesWithCommand(const GlobalShortcut &candidate, const GlobalShortcut &command) {
    if (GlobalShortcut::isNamedSpecialKey(command.keyLabel)) {
        return sameKeyCombination(candidate, command);
    }
    std::optional<QString> label =
        KeyboardLayoutTranslator::activeInputSource().translate(candidate.keyCode, masked(candidate.modifiers));
    if (!label) {
        return false;
    }
    return GlobalShortcut{candidate.keyCode, masked(candidate.modifiers), *label}.conflictsLocally(command);
}

} // namespace

const ShortcutSettingsWorkflow &SettingsWindowController::shortcutWorkflow() {
    if (!shortcutWorkflow_) {
        shortcutWorkflow_ = ShortcutSettingsWorkflow{
            [] { return VeltoPreferences::globalShortcut(); },
            [](const std::optional<GlobalShortcut> &value) { VeltoPreferences::setGlobalShortcut(value); },
            [] { return VeltoPreferences::appendClipboardShortcut(); },
            [](const std::optional<GlobalShortcut> &value) { VeltoPreferences::setAppendClipboardShortcut(value); },
            [this] { return callbacks_.onShortcutChange(); },
        };
    }
    return *shortcutWorkflow_;
}

InlineShortcutRecorder *SettingsWindowController::makeRecorder(const QString &name,
                                                               std::optional<GlobalShortcut> defaultShortcut,
                                                               bool allowsCommandOnly) {
    auto *recorder = new InlineShortcutRecorder(name, std::move(defaultShortcut), allowsCommandOnly);
    recorder->beep = [this] { presenters_.beep(); };
    QPointer<InlineShortcutRecorder> guarded = recorder;
    recorder->onRecordingChange = [this, guarded](bool isRecording) { recordingChanged(guarded, isRecording); };
    return recorder;
}

void SettingsWindowController::wireGlobalRecorder(InlineShortcutRecorder *recorder, bool isToggle) {
    QPointer<SettingsWindowController> self = this;
    recorder->onChange = [self, isToggle](const std::optional<GlobalShortcut> &value) {
        return self && (isToggle ? self->applyShortcut(value) : self->applyAppendShortcut(value));
    };
    recorder->conflictMessage = [self](const GlobalShortcut &value) -> std::optional<QString> {
        return self ? self->shortcutConflictDescription(value, std::nullopt) : std::nullopt;
    };
}

void SettingsWindowController::wireCommandRecorder(InlineShortcutRecorder *recorder, VeltoCommandID id) {
    QPointer<SettingsWindowController> self = this;
    recorder->onChange = [self, id](const std::optional<GlobalShortcut> &value) {
        return self && self->apply(value, id);
    };
    recorder->conflictMessage = [self, id](const GlobalShortcut &value) -> std::optional<QString> {
        return self ? self->shortcutConflictDescription(value, id) : std::nullopt;
    };
}

void SettingsWindowController::recordingChanged(InlineShortcutRecorder *recorder, bool isRecording) {
    if (isRecording) {
        // One recorder at a time: a new one ends the old one's recording first.
        if (recordingRecorder_ && recordingRecorder_ != recorder) {
            recordingRecorder_->stopRecording();
        }
        recordingRecorder_ = recorder;
    } else if (recordingRecorder_ == recorder) {
        recordingRecorder_ = nullptr;
    }
    callbacks_.onShortcutRecordingChange(isRecording);
}

InlineShortcutRecorder *SettingsWindowController::recordingRecorder() const {
    return recordingRecorder_ && recordingRecorder_->isRecording() ? recordingRecorder_.data() : nullptr;
}

void SettingsWindowController::endRecording() {
    if (InlineShortcutRecorder *recorder = recordingRecorder()) {
        recorder->stopRecording();
    }
}

bool SettingsWindowController::applyShortcut(const std::optional<GlobalShortcut> &shortcut) {
    return applyGlobalShortcut(shortcut, true);
}

bool SettingsWindowController::applyAppendShortcut(const std::optional<GlobalShortcut> &shortcut) {
    return applyGlobalShortcut(shortcut, false);
}

bool SettingsWindowController::applyGlobalShortcut(const std::optional<GlobalShortcut> &shortcut, bool isToggle) {
    const ShortcutSettingsWorkflow &workflow = shortcutWorkflow();
    if (shortcut) {
        for (VeltoCommandID id : VeltoCommandCatalog::shortcutCommandIDs()) {
            std::optional<GlobalShortcut> command = velto::shortcut(id);
            if (command && clashesWithCommand(*shortcut, *command)) {
                return false;
            }
        }
        std::optional<GlobalShortcut> other =
            isToggle ? VeltoPreferences::appendClipboardShortcut() : VeltoPreferences::globalShortcut();
        if (other && sameKeyCombination(*other, *shortcut)) {
            return false;
        }
    }
    auto read = isToggle ? workflow.toggleShortcut : workflow.appendShortcut;
    auto store = isToggle ? workflow.setToggleShortcut : workflow.setAppendShortcut;
    auto isAvailable = [isToggle](const ShortcutRegistrationAvailability &availability) {
        return isToggle ? availability.toggle : availability.appendClipboard;
    };
    std::optional<GlobalShortcut> previous = read();
    store(shortcut);
    if (isAvailable(workflow.registerShortcuts())) {
        updateShortcutControls();
        return true;
    }
    store(previous);
    if (!isAvailable(workflow.registerShortcuts())) {
        runDetached(presentWarning(QStringLiteral("Previous Shortcut Is Unavailable"),
                                   QStringLiteral("Velto restored the previous shortcut setting, but the system could "
                                                  "not register it. Choose another shortcut.")));
    }
    updateShortcutControls();
    return false;
}

bool SettingsWindowController::apply(const std::optional<GlobalShortcut> &shortcut, VeltoCommandID id) {
    if (!shortcut) {
        setShortcut(id, std::nullopt);
        return true;
    }
    if (LocalShortcutRouter::isReservedForNativeCommand(*shortcut)) {
        return false;
    }
    for (VeltoCommandID other : VeltoCommandCatalog::shortcutCommandIDs()) {
        std::optional<GlobalShortcut> existing = velto::shortcut(other);
        if (other != id && existing && existing->conflictsLocally(*shortcut)) {
            return false;
        }
    }
    for (const std::optional<GlobalShortcut> &global :
         {VeltoPreferences::globalShortcut(), VeltoPreferences::appendClipboardShortcut()}) {
        if (global && globalShortcutClashes(*global, *shortcut)) {
            return false;
        }
    }
    setShortcut(id, shortcut);
    return true;
}

std::optional<QString>
SettingsWindowController::shortcutConflictDescription(const GlobalShortcut &shortcut,
                                                      std::optional<VeltoCommandID> excluding) const {
    for (VeltoCommandID id : VeltoCommandCatalog::shortcutCommandIDs()) {
        std::optional<GlobalShortcut> existing = velto::shortcut(id);
        if (id != excluding && existing && existing->conflictsLocally(shortcut)) {
            return QStringLiteral("Already used by ") + VeltoCommandCatalog::descriptor(id).title;
        }
    }
    if (std::optional<GlobalShortcut> toggle = VeltoPreferences::globalShortcut();
        toggle && globalShortcutClashes(*toggle, shortcut)) {
        return QStringLiteral("Already used by Show or Hide Velto");
    }
    if (std::optional<GlobalShortcut> append = VeltoPreferences::appendClipboardShortcut();
        append && globalShortcutClashes(*append, shortcut)) {
        return QStringLiteral("Already used by Append Clipboard");
    }
    return std::nullopt;
}

void SettingsWindowController::refreshGlobalShortcutLabels() {
    auto relabelled = [this](std::optional<GlobalShortcut> value) {
        if (value && !GlobalShortcut::isNamedSpecialKey(value->keyLabel) &&
            callbacks_.keyboardLayoutTranslator.translate) {
            std::optional<QString> label =
                callbacks_.keyboardLayoutTranslator.translate(value->keyCode, value->modifiers);
            if (label && GlobalShortcut::isValidLocalKeyLabel(*label)) {
                value->keyLabel = GlobalShortcut::normalizedKeyLabel(*label);
            }
        }
        return value;
    };
    shortcutRecorder->setShortcut(relabelled(VeltoPreferences::globalShortcut()));
    appendShortcutRecorder->setShortcut(relabelled(VeltoPreferences::appendClipboardShortcut()));
}

void SettingsWindowController::updateShortcutControls() {
    refreshGlobalShortcutLabels();
    bool commandsAtDefaults = true;
    for (auto &[id, recorder] : commandShortcutRecorders) {
        std::optional<GlobalShortcut> current = velto::shortcut(id);
        recorder->setShortcut(current);
        const auto &descriptor = VeltoCommandCatalog::descriptorsByID().at(id);
        if (!current || !descriptor.shortcut || *current != descriptor.shortcut->defaultShortcut) {
            commandsAtDefaults = false;
        }
    }
    bool globalsAtDefaults =
        VeltoPreferences::globalShortcut() == VeltoPreferences::defaultGlobalShortcut() &&
        VeltoPreferences::appendClipboardShortcut() == VeltoPreferences::defaultAppendClipboardShortcut();
    restoreShortcutsFooter->setVisible(!(globalsAtDefaults && commandsAtDefaults));

    bool canRestoreAll = !VeltoPreferences::isUsingDefaults() || !commandsAtDefaults;
    if (!canRestoreAll) {
        LaunchAtLoginStatus status = callbacks_.launchAtLoginService.currentStatus();
        canRestoreAll = status != LaunchAtLoginStatus::enabled && status != LaunchAtLoginStatus::requiresApproval;
    }
    restoreAllDefaultsButton->setEnabled(canRestoreAll && !callbacks_.isPreview);
}

SettingsWindowController::ShortcutSnapshot SettingsWindowController::takeShortcutSnapshot() {
    ShortcutSnapshot snapshot;
    for (VeltoCommandID id : VeltoCommandCatalog::shortcutCommandIDs()) {
        snapshot[id] = velto::shortcut(id);
    }
    return snapshot;
}

SettingsWindowController::ShortcutRestoreOutcome
SettingsWindowController::restoreShortcutsFrom(const ShortcutSnapshot &snapshot) {
    const ShortcutSettingsWorkflow &workflow = shortcutWorkflow();
    std::optional<GlobalShortcut> previousToggle = workflow.toggleShortcut();
    std::optional<GlobalShortcut> previousAppend = workflow.appendShortcut();
    // One batch around all sixteen writes, closed before the hot keys are registered: one change
    // notification, one refresh and one menu rebuild instead of sixteen intermediate states.
    VeltoPreferences::storage().performBatch([&] {
        workflow.setToggleShortcut(VeltoPreferences::defaultGlobalShortcut());
        workflow.setAppendShortcut(VeltoPreferences::defaultAppendClipboardShortcut());
        VeltoCommandCatalog::restoreDefaultShortcuts();
    });
    if (workflow.registerShortcuts().allAvailable()) {
        return ShortcutRestoreOutcome::success;
    }
    VeltoPreferences::storage().performBatch([&] {
        workflow.setToggleShortcut(previousToggle);
        workflow.setAppendShortcut(previousAppend);
        for (const auto &[id, value] : snapshot) {
            setShortcut(id, value);
        }
    });
    return workflow.registerShortcuts().allAvailable() ? ShortcutRestoreOutcome::defaultUnavailable
                                                       : ShortcutRestoreOutcome::bothUnavailable;
}

void SettingsWindowController::restoreDefaultShortcuts() {
    endRecording();
    restoreShortcutsFrom(takeShortcutSnapshot());
    updateShortcutControls();
}

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
    ShortcutSnapshot snapshot = takeShortcutSnapshot();
    const QString failureTitle = QStringLiteral("Couldn’t Restore All Settings");
    LaunchAtLoginService &service = callbacks_.launchAtLoginService;
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
            refresh();
            runDetached(presentWarning(failureTitle, QStringLiteral("Velto could not enable Launch at login. No other "
                                                                    "settings were changed. ") +
                                                         QString::fromUtf8(error.what())));
            return;
        }
    }

    ShortcutRestoreOutcome outcome = restoreShortcutsFrom(snapshot);
    if (outcome != ShortcutRestoreOutcome::success) {
        if (turnedLaunchAtLoginOn) {
            try {
                if (isOn(service.currentStatus())) {
                    service.unregisterService();
                }
            } catch (const std::exception &error) {
                refresh();
                runDetached(presentWarning(failureTitle, QStringLiteral("Shortcut restoration failed, and Velto could "
                                                                        "not restore Launch at login. ") +
                                                             QString::fromUtf8(error.what())));
                return;
            }
        }
        refresh();
        runDetached(presentWarning(
            failureTitle, outcome == ShortcutRestoreOutcome::defaultUnavailable
                              ? QStringLiteral("A default shortcut is currently unavailable. No settings were changed.")
                              : QStringLiteral("A default shortcut and the previous shortcut are both unavailable. "
                                               "Choose new shortcuts before restoring all settings.")));
        return;
    }

    VeltoPreferences::storage().performBatch([] { VeltoPreferences::restoreEditorAndAppearanceDefaults(); });
    AutoArchiveDuration duration = VeltoPreferences::autoArchiveDuration();
    callbacks_.onAppearanceChange();
    callbacks_.onPanelSizeChange();
    callbacks_.onEditorChange();
    callbacks_.onAutoArchiveChange(duration);
    applyWindowAppearance();
    refresh();
}

} // namespace velto
