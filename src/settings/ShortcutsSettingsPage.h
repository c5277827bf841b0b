#pragma once

#include "preferences/CommandCatalog.h"
#include "preferences/KeyboardSettingsImportWorkflow.h"
#include "settings/InlineShortcutRecorder.h"
#include "settings/SettingsCallbacks.h"
#include "settings/SettingsPresenters.h"

#include <QtCore/QObject>
#include <qcorotask.h>

#include <map>
#include <optional>
#include <utility>
#include <vector>

class QLabel;
class QScrollArea;

namespace velto {

class HoverButton;
class SettingsPageHost;

/// The shortcut values Settings reads and writes, with the registration of the two hot keys.
struct ShortcutSettingsWorkflow {
    std::function<std::optional<GlobalShortcut>()> toggleShortcut;
    std::function<void(const std::optional<GlobalShortcut> &)> setToggleShortcut;
    std::function<std::optional<GlobalShortcut>()> appendShortcut;
    std::function<void(const std::optional<GlobalShortcut> &)> setAppendShortcut;
    std::function<ShortcutRegistrationAvailability()> registerShortcuts;
};

/// The Keyboard shortcuts page of the Settings window: a recorder for each global shortcut and each command,
/// the rules that refuse a shortcut already taken, applying a global shortcut with registration and rollback,
/// restoring the default shortcuts, and keyboard settings shared through a file.
class ShortcutsSettingsPage : public QObject {
public:
    enum class RestoreOutcome { success, defaultUnavailable, bothUnavailable };
    /// How restoring the default shortcuts went; where it failed, which global shortcut's default could not be
    /// registered (the show/hide one, else the clipboard one) and which shortcut of it was put back.
    struct RestoreResult {
        RestoreOutcome outcome = RestoreOutcome::success;
        bool showOrHideDefaultRefused = false;
        std::optional<GlobalShortcut> keptShortcut;
    };
    using Snapshot = std::map<VeltoCommandID, std::optional<GlobalShortcut>>;

    /// `actions` and `presenters` are the window's, kept by it for as long as the page lives.
    ShortcutsSettingsPage(const ShortcutSettingsActions &actions, const SettingsPresenters &presenters,
                          SettingsPageHost &host);

    /// Builds the page's controls; called once, the window owns what it returns.
    QScrollArea *makePage();
    /// Shows the stored shortcuts; answers whether every command's shortcut is its default.
    bool updateControls();
    /// The global shortcuts' keys as the current keyboard layout labels them.
    void refreshGlobalShortcutLabels();
    /// Says under each global shortcut's row why it does nothing, while it was not registered.
    void showGlobalShortcutsAvailability();

    bool applyShortcut(const std::optional<GlobalShortcut> &shortcut);
    bool applyAppendShortcut(const std::optional<GlobalShortcut> &shortcut);
    bool apply(const std::optional<GlobalShortcut> &shortcut, VeltoCommandID id);
    std::optional<QString> shortcutConflictDescription(const GlobalShortcut &shortcut,
                                                       std::optional<VeltoCommandID> excluding) const;

    void restoreDefaultShortcuts();
    /// Every command's shortcut as stored now.
    static Snapshot takeSnapshot();
    /// Restores every shortcut to its default; when a default cannot be registered, puts back the previous
    /// ones, the commands' from `snapshot`.
    RestoreResult restoreShortcutsFrom(const Snapshot &snapshot);

    QCoro::Task<void> importKeyboardSettings();
    QCoro::Task<void> exportKeyboardSettings();

    const ShortcutSettingsWorkflow &shortcutWorkflow();
    const KeyboardSettingsImportWorkflow &keyboardSettingsImportWorkflow();

    InlineShortcutRecorder *shortcutRecorder = nullptr;
    InlineShortcutRecorder *appendShortcutRecorder = nullptr;
    std::vector<std::pair<VeltoCommandID, InlineShortcutRecorder *>> commandShortcutRecorders;
    /// What the global shortcuts' rows say under their titles: what the shortcut does, or why it does nothing.
    QLabel *showOrHideDetail = nullptr;
    QLabel *appendDetail = nullptr;
    QWidget *restoreShortcutsFooter = nullptr;
    HoverButton *restoreShortcutsButton = nullptr;
    HoverButton *importKeyboardSettingsButton = nullptr;
    HoverButton *exportKeyboardSettingsButton = nullptr;

private:
    InlineShortcutRecorder *makeRecorder(const QString &name, std::optional<GlobalShortcut> defaultShortcut,
                                         bool allowsCommandOnly, InlineShortcutRecorder::Owner owner);
    /// The show-or-hide shortcut's recorder (`isToggle`) or the append shortcut's stores through these.
    InlineShortcutRecorder::Owner globalShortcutOwner(bool isToggle);
    InlineShortcutRecorder::Owner commandShortcutOwner(VeltoCommandID id);
    bool applyGlobalShortcut(const std::optional<GlobalShortcut> &shortcut, bool isToggle);

    const ShortcutSettingsActions &actions_;
    const SettingsPresenters &presenters_;
    SettingsPageHost &host_;
    std::optional<ShortcutSettingsWorkflow> shortcutWorkflow_;
    std::optional<KeyboardSettingsImportWorkflow> keyboardSettingsImportWorkflow_;
    bool isImporting_ = false;
};

} // namespace velto
