#include "app/hotkeys/HotKeyRegistrationWarning.h"

#include "app/shell/ShellAlert.h"
#include "preferences/KeyboardLayoutTranslator.h"
#include "preferences/Preferences.h"
#include "ui/KeyNames.h"

#include <cstdio>

namespace velto {

namespace {

const QString chooseAnotherShortcut = QStringLiteral("Choose Another Shortcut…");

/// The clipboard shortcut as the active keyboard layout labels its key.
QString clipboardShortcutTitle() {
    std::optional<GlobalShortcut> shortcut = VeltoPreferences::appendClipboardShortcut();
    if (!shortcut) {
        return QStringLiteral("The clipboard shortcut");
    }
    GlobalShortcut relabelled = *shortcut;
    if (!GlobalShortcut::isNamedSpecialKey(relabelled.keyLabel)) {
        auto label = KeyboardLayoutTranslator::activeInputSource().translate(relabelled.keyCode, relabelled.modifiers);
        if (label && GlobalShortcut::isValidLocalKeyLabel(*label)) {
            relabelled.keyLabel = GlobalShortcut::normalizedKeyLabel(*label);
        }
    }
    return KeyNames::text(relabelled);
}

/// Whether the show/hide shortcut is the one Velto comes with: the same keys, whatever the label says.
bool isDefaultShowOrHideShortcut(const std::optional<GlobalShortcut> &shortcut) {
    GlobalShortcut standard = VeltoPreferences::defaultGlobalShortcut();
    return shortcut && shortcut->keyCode == standard.keyCode &&
           (shortcut->modifiers & ModifierFlags::supportedMask) == (standard.modifiers & ModifierFlags::supportedMask);
}

/// The show/hide shortcut's sentence; a clipboard shortcut that is set is not registered without it and is named
/// too.
QString showOrHideUnavailableText() {
    std::optional<GlobalShortcut> shortcut = VeltoPreferences::globalShortcut();
    QString text =
        isDefaultShowOrHideShortcut(shortcut)
            ? QStringLiteral("The default show/hide shortcut, %1, is already in use.").arg(KeyNames::text(shortcut))
            : QStringLiteral("The saved show/hide shortcut is already in use.");
    if (VeltoPreferences::appendClipboardShortcut()) {
        text += QStringLiteral(" Clipboard append (%1) is unavailable until it works.").arg(clipboardShortcutTitle());
    }
    return text + QStringLiteral(" Choose another shortcut from Settings.");
}

} // namespace

ShellAlert hotKeyRegistrationWarning(bool toggleShortcutAvailable, bool clipboardShortcutAvailable) {
    ShellAlert alert;
    alert.title = QStringLiteral("A Velto Shortcut Is Unavailable");
    if (!toggleShortcutAvailable) {
        alert.message = showOrHideUnavailableText();
    } else if (!clipboardShortcutAvailable) {
        alert.message = clipboardShortcutTitle() +
                        QStringLiteral(" is already in use by another app, so clipboard append is unavailable. Your "
                                       "show/hide shortcut still works.");
    }
    alert.style = ShellAlert::Style::warning;
    alert.buttons = {QStringLiteral("OK"), chooseAnotherShortcut};
    return alert;
}

void showHotKeyRegistrationWarning(bool toggleShortcutAvailable, bool clipboardShortcutAvailable,
                                   const ShellAlertPresenter &present, const std::function<void()> &chooseAnother) {
    ShellAlert alert = hotKeyRegistrationWarning(toggleShortcutAvailable, clipboardShortcutAvailable);
    std::fprintf(stderr, "Velto: %s. %s\n", alert.title.toUtf8().constData(), alert.message.toUtf8().constData());
    if (present(alert) == secondButtonResponse) {
        chooseAnother();
    }
}

} // namespace velto
