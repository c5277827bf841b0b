#include "app/hotkeys/HotKeyRegistrationWarning.h"

#include "app/shell/ShellAlert.h"
#include "preferences/KeyboardLayoutTranslator.h"
#include "preferences/Preferences.h"
#include "ui/KeyNames.h"

#include <QtWidgets/QMessageBox>

#include <cstdio>

namespace velto {

namespace {

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

} // namespace

void showHotKeyRegistrationWarning(bool toggleShortcutAvailable, bool clipboardShortcutAvailable) {
    QString informative;
    if (!toggleShortcutAvailable) {
        informative = QStringLiteral("The saved show/hide shortcut is already in use. Choose another shortcut from "
                                     "Settings.");
    } else if (!clipboardShortcutAvailable) {
        informative = clipboardShortcutTitle() +
                      QStringLiteral(" is already in use by another app, so clipboard append is unavailable. Your "
                                     "show/hide shortcut still works.");
    }
    std::fprintf(stderr, "Velto: A Velto Shortcut Is Unavailable. %s\n", informative.toUtf8().constData());
    runAlertModally(QMessageBox::Warning, QStringLiteral("A Velto Shortcut Is Unavailable"), informative, {});
}

} // namespace velto
