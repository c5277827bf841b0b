// The recorders' wiring, the rules that refuse a shortcut already taken, applying a global shortcut with
// registration and rollback, and restoring the default shortcuts; sharing them is in ShortcutsSettingsSharing.cpp.
#include "settings/ShortcutsSettingsPage.h"

#include "preferences/KeyboardSettings.h"
#include "preferences/LocalShortcutRouter.h"
#include "preferences/Preferences.h"
#include "settings/GlobalShortcutUnavailability.h"
#include "settings/InlineShortcutRecorder.h"
#include "settings/SettingsPageHost.h"
#include "settings/SettingsTasks.h"
#include "settings/SettingsViewFactory.h"
#include "ui/HoverButton.h"
#include "ui/VeltoUI.h"
#include "ui/VeltoUIControls.h"

#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QScrollArea>

namespace velto {

namespace {

using SettingsViewFactory::horizontalStack;
using SettingsViewFactory::preferenceRow;
using SettingsViewFactory::section;
using Prominence = HoverButton::Prominence;
constexpr auto none = std::nullopt;

const QString showOrHideDescription = QStringLiteral("Show or hide Velto from anywhere.");
const QString appendDescription = QStringLiteral("Append plain text without switching apps.");

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

ShortcutsSettingsPage::ShortcutsSettingsPage(const ShortcutSettingsActions &actions,
                                             const SettingsPresenters &presenters, SettingsPageHost &host)
    : actions_(actions)
    , presenters_(presenters)
    , host_(host) {}

QScrollArea *ShortcutsSettingsPage::makePage() {
    shortcutRecorder = makeRecorder(QStringLiteral("Show or hide Velto"), VeltoPreferences::defaultGlobalShortcut(),
                                    false, globalShortcutOwner(true));
    appendShortcutRecorder =
        makeRecorder(QStringLiteral("Append clipboard text"), VeltoPreferences::defaultAppendClipboardShortcut(), false,
                     globalShortcutOwner(false));

    std::vector<QWidget *> commandRows;
    for (VeltoCommandID id : VeltoCommandCatalog::shortcutCommandIDs()) {
        const VeltoCommandDescriptor &descriptor = VeltoCommandCatalog::descriptor(id);
        QString name = descriptor.shortcut ? descriptor.shortcut->settingsTitle : descriptor.title;
        std::optional<GlobalShortcut> defaultShortcut;
        if (descriptor.shortcut) {
            defaultShortcut = descriptor.shortcut->defaultShortcut;
        }
        InlineShortcutRecorder *recorder = makeRecorder(name, defaultShortcut, true, commandShortcutOwner(id));
        commandShortcutRecorders.emplace_back(id, recorder);
        commandRows.push_back(preferenceRow(name, none, recorder));
    }

    restoreShortcutsButton = new HoverButton;
    VeltoUI::configure(
        *restoreShortcutsButton, QStringLiteral("Restore default shortcuts"), Prominence::plain,
        [this] { restoreDefaultShortcuts(); },
        QStringLiteral("Restore every Velto keyboard shortcut to its shipped default."));
    restoreShortcutsFooter = new QWidget;
    restoreShortcutsFooter->setFixedHeight(static_cast<int>(VeltoUI::Metrics::controlHeight));
    auto *footerLayout = new QHBoxLayout(restoreShortcutsFooter);
    footerLayout->setContentsMargins(0, 0, 0, 0);
    footerLayout->addStretch(1);
    footerLayout->addWidget(restoreShortcutsButton);

    importKeyboardSettingsButton = new HoverButton;
    VeltoUI::configure(
        *importKeyboardSettingsButton, QStringLiteral("Import…"), Prominence::plain,
        [this] { runDetached(importKeyboardSettings()); },
        QStringLiteral("Import every keyboard shortcut from a Velto JSON file."));
    exportKeyboardSettingsButton = new HoverButton;
    VeltoUI::configure(
        *exportKeyboardSettingsButton, QStringLiteral("Export…"), Prominence::plain,
        [this] { runDetached(exportKeyboardSettings()); },
        QStringLiteral("Export every keyboard shortcut to a Velto JSON file."));

    QWidget *showOrHideRow =
        preferenceRow(QStringLiteral("Show or hide Velto"), showOrHideDescription, shortcutRecorder);
    QWidget *appendRow =
        preferenceRow(QStringLiteral("Append clipboard text"), appendDescription, appendShortcutRecorder);
    showOrHideDetail = showOrHideRow->findChild<SettingsRowLabels *>()->detailLabel();
    appendDetail = appendRow->findChild<SettingsRowLabels *>()->detailLabel();

    return SettingsViewFactory::page(
        QStringLiteral("Keyboard shortcuts"),
        QStringLiteral("Press and hold Ctrl when the editor is open to view available shortcuts."),
        {section(QStringLiteral("Global"), none, {showOrHideRow, appendRow}),
         section(QStringLiteral("App"), none, commandRows, restoreShortcutsFooter),
         section(QStringLiteral("Sharing"), none,
                 {preferenceRow(QStringLiteral("Keyboard settings"),
                                QStringLiteral("Move your shortcuts to another computer or share them with someone "
                                               "else."),
                                horizontalStack({importKeyboardSettingsButton, exportKeyboardSettingsButton}, 8))})});
}

const ShortcutSettingsWorkflow &ShortcutsSettingsPage::shortcutWorkflow() {
    if (!shortcutWorkflow_) {
        shortcutWorkflow_ = ShortcutSettingsWorkflow{
            [] { return VeltoPreferences::globalShortcut(); },
            [](const std::optional<GlobalShortcut> &value) { VeltoPreferences::setGlobalShortcut(value); },
            [] { return VeltoPreferences::appendClipboardShortcut(); },
            [](const std::optional<GlobalShortcut> &value) { VeltoPreferences::setAppendClipboardShortcut(value); },
            [this] { return actions_.onShortcutChange(); },
        };
    }
    return *shortcutWorkflow_;
}

InlineShortcutRecorder *ShortcutsSettingsPage::makeRecorder(const QString &name,
                                                            std::optional<GlobalShortcut> defaultShortcut,
                                                            bool allowsCommandOnly,
                                                            InlineShortcutRecorder::Owner owner) {
    owner.beep = [this] { presenters_.beep(); };
    auto *recorder = new InlineShortcutRecorder(name, std::move(defaultShortcut), allowsCommandOnly, std::move(owner));
    QPointer<InlineShortcutRecorder> guarded = recorder;
    connect(recorder, &InlineShortcutRecorder::recordingChanged, this,
            [this, guarded](bool isRecording) { host_.recordingChanged(guarded, isRecording); });
    return recorder;
}

InlineShortcutRecorder::Owner ShortcutsSettingsPage::globalShortcutOwner(bool isToggle) {
    QPointer<ShortcutsSettingsPage> self = this;
    return {
        [self, isToggle](const std::optional<GlobalShortcut> &value) {
            return self && (isToggle ? self->applyShortcut(value) : self->applyAppendShortcut(value));
        },
        [self](const GlobalShortcut &value) -> std::optional<QString> {
            return self ? self->shortcutConflictDescription(value, std::nullopt) : std::nullopt;
        },
        {},
    };
}

InlineShortcutRecorder::Owner ShortcutsSettingsPage::commandShortcutOwner(VeltoCommandID id) {
    QPointer<ShortcutsSettingsPage> self = this;
    return {
        [self, id](const std::optional<GlobalShortcut> &value) { return self && self->apply(value, id); },
        [self, id](const GlobalShortcut &value) -> std::optional<QString> {
            return self ? self->shortcutConflictDescription(value, id) : std::nullopt;
        },
        {},
    };
}

bool ShortcutsSettingsPage::applyShortcut(const std::optional<GlobalShortcut> &shortcut) {
    return applyGlobalShortcut(shortcut, true);
}

bool ShortcutsSettingsPage::applyAppendShortcut(const std::optional<GlobalShortcut> &shortcut) {
    return applyGlobalShortcut(shortcut, false);
}

bool ShortcutsSettingsPage::applyGlobalShortcut(const std::optional<GlobalShortcut> &shortcut, bool isToggle) {
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
        host_.updateShortcutControls();
        return true;
    }
    store(previous);
    if (!isAvailable(workflow.registerShortcuts())) {
        runDetached(host_.presentWarning(QStringLiteral("Previous Shortcut Is Unavailable"),
                                         QStringLiteral("Velto restored the previous shortcut setting, but the system "
                                                        "could not register it. Choose another shortcut.")));
    }
    host_.updateShortcutControls();
    return false;
}

bool ShortcutsSettingsPage::apply(const std::optional<GlobalShortcut> &shortcut, VeltoCommandID id) {
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
ShortcutsSettingsPage::shortcutConflictDescription(const GlobalShortcut &shortcut,
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

void ShortcutsSettingsPage::refreshGlobalShortcutLabels() {
    auto relabelled = [this](std::optional<GlobalShortcut> value) {
        if (value && !GlobalShortcut::isNamedSpecialKey(value->keyLabel) &&
            actions_.keyboardLayoutTranslator.translate) {
            std::optional<QString> label =
                actions_.keyboardLayoutTranslator.translate(value->keyCode, value->modifiers);
            if (label && GlobalShortcut::isValidLocalKeyLabel(*label)) {
                value->keyLabel = GlobalShortcut::normalizedKeyLabel(*label);
            }
        }
        return value;
    };
    shortcutRecorder->setShortcut(relabelled(VeltoPreferences::globalShortcut()));
    appendShortcutRecorder->setShortcut(relabelled(VeltoPreferences::appendClipboardShortcut()));
}

void ShortcutsSettingsPage::showGlobalShortcutsAvailability() {
    ShortcutRegistrationAvailability availability = actions_.availability();
    std::optional<QString> showOrHide =
        globalShortcutUnavailability(true, VeltoPreferences::globalShortcut(), availability);
    std::optional<QString> append =
        globalShortcutUnavailability(false, VeltoPreferences::appendClipboardShortcut(), availability);
    showOrHideDetail->setText(showOrHide.value_or(showOrHideDescription));
    appendDetail->setText(append.value_or(appendDescription));
}

bool ShortcutsSettingsPage::updateControls() {
    refreshGlobalShortcutLabels();
    showGlobalShortcutsAvailability();
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
    return commandsAtDefaults;
}

ShortcutsSettingsPage::Snapshot ShortcutsSettingsPage::takeSnapshot() {
    Snapshot snapshot;
    for (VeltoCommandID id : VeltoCommandCatalog::shortcutCommandIDs()) {
        snapshot[id] = velto::shortcut(id);
    }
    return snapshot;
}

ShortcutsSettingsPage::RestoreResult ShortcutsSettingsPage::restoreShortcutsFrom(const Snapshot &snapshot) {
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
    ShortcutRegistrationAvailability defaults = workflow.registerShortcuts();
    if (defaults.allAvailable()) {
        return {};
    }
    VeltoPreferences::storage().performBatch([&] {
        workflow.setToggleShortcut(previousToggle);
        workflow.setAppendShortcut(previousAppend);
        for (const auto &[id, value] : snapshot) {
            setShortcut(id, value);
        }
    });
    // The clipboard shortcut is not registered while the show/hide one is not, so a refused show/hide default
    // is the one to name.
    bool showOrHideRefused = !defaults.toggle;
    return {workflow.registerShortcuts().allAvailable() ? RestoreOutcome::defaultUnavailable
                                                        : RestoreOutcome::bothUnavailable,
            showOrHideRefused, showOrHideRefused ? previousToggle : previousAppend};
}

void ShortcutsSettingsPage::restoreDefaultShortcuts() {
    host_.endRecording();
    restoreShortcutsFrom(takeSnapshot());
    host_.updateShortcutControls();
}

} // namespace velto
