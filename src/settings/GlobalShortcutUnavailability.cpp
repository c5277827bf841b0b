#include "settings/GlobalShortcutUnavailability.h"

#include "ui/KeyNames.h"

namespace velto {

std::optional<QString> globalShortcutUnavailability(bool isToggle, const std::optional<GlobalShortcut> &shortcut,
                                                    const ShortcutRegistrationAvailability &availability) {
    bool available = isToggle ? availability.toggle : availability.appendClipboard;
    if (available || !shortcut) {
        return std::nullopt;
    }
    if (!isToggle && !availability.toggle) {
        return QStringLiteral("Unavailable until the show/hide shortcut works.");
    }
    return QStringLiteral("Unavailable: %1 is in use by another app. Choose another shortcut.")
        .arg(KeyNames::text(*shortcut));
}

} // namespace velto
