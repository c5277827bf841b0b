#include "preferences/KeyboardSettingsImportWorkflow.h"

namespace velto {

std::optional<KeyboardSettingsImportFailure>
KeyboardSettingsImportWorkflow::apply(const KeyboardSettings &imported) const {
    KeyboardSettings previous = currentSettings();
    KeyboardSettings candidate = imported.fillingMissingAppShortcuts(previous);

    std::vector<KeyboardSettingsConflict> found = KeyboardSettingsValidator::conflicts(candidate, keyboardLayout);
    if (!found.empty()) {
        return KeyboardSettingsImportFailure{KeyboardSettingsImportFailure::Kind::conflicts, found, {}};
    }

    setSettings(candidate);
    ShortcutRegistrationAvailability attempt = registerShortcuts();
    if (attempt.allAvailable()) {
        return std::nullopt;
    }

    setSettings(previous);
    ShortcutRegistrationAvailability rollback = registerShortcuts();
    if (rollback.allAvailable()) {
        return KeyboardSettingsImportFailure{KeyboardSettingsImportFailure::Kind::registrationFailed, {}, attempt};
    }
    return KeyboardSettingsImportFailure{KeyboardSettingsImportFailure::Kind::rollbackRegistrationFailed, {}, rollback};
}

} // namespace velto
