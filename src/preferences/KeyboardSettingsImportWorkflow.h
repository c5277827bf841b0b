#pragma once

#include "preferences/KeyboardLayoutTranslator.h"
#include "preferences/KeyboardSettings.h"
#include "preferences/KeyboardSettingsValidator.h"
#include "preferences/ShortcutRegistrationAvailability.h"

#include <functional>
#include <optional>
#include <vector>

namespace velto {

/// Why an import did not take effect.
struct KeyboardSettingsImportFailure {
    enum class Kind {
        conflicts,                  // validation found conflicts; nothing was changed
        registrationFailed,         // the imported hot keys failed; the previous ones are back and registered
        rollbackRegistrationFailed, // ... and registering the previous ones failed as well
    };
    Kind kind = Kind::conflicts;
    std::vector<KeyboardSettingsConflict> conflicts;
    /// The failed attempt: the import's for registrationFailed, the rollback's for rollbackRegistrationFailed.
    ShortcutRegistrationAvailability availability;

    friend bool operator==(const KeyboardSettingsImportFailure &, const KeyboardSettingsImportFailure &) = default;
};

/// Validates imported settings, applies them, re-registers the hot keys and rolls back when they fail.
struct KeyboardSettingsImportWorkflow {
    std::function<KeyboardSettings()> currentSettings;
    std::function<void(const KeyboardSettings &)> setSettings;
    std::function<ShortcutRegistrationAvailability()> registerShortcuts;
    /// The layout under which hot keys are compared with command shortcuts.
    KeyboardLayoutTranslator keyboardLayout = KeyboardLayoutTranslator::activeInputSource();

    /// Nothing on success, otherwise why the import did not take effect.
    std::optional<KeyboardSettingsImportFailure> apply(const KeyboardSettings &imported) const;
};

} // namespace velto
