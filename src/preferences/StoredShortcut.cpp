#include "preferences/StoredShortcut.h"

#include <cmath>

namespace velto {

bool hasStoredKeyCode(const DefaultsDomain &defaults, const StoredShortcutKeys &keys) {
    return defaults.number(keys.keyCode).has_value();
}

std::optional<GlobalShortcut> storedShortcut(const DefaultsDomain &defaults, const StoredShortcutKeys &keys) {
    std::optional<double> keyCode = defaults.number(keys.keyCode);
    std::optional<QString> keyLabel = defaults.string(keys.keyLabel);
    if (!keyCode || !keyLabel) {
        return std::nullopt;
    }
    if (*keyCode < 0 || *keyCode > 4294967295.0 || std::floor(*keyCode) != *keyCode) {
        return std::nullopt;
    }
    std::int64_t modifiers = defaults.integer(keys.modifiers);
    if (modifiers < 0) {
        return std::nullopt;
    }
    return GlobalShortcut{static_cast<std::uint32_t>(*keyCode), static_cast<std::uint64_t>(modifiers), *keyLabel};
}

void storeShortcut(DefaultsDomain &defaults, const StoredShortcutKeys &keys,
                   const std::optional<GlobalShortcut> &shortcut) {
    defaults.set(keys.configured, true);
    if (shortcut) {
        defaults.set(keys.keyCode, static_cast<qint64>(shortcut->keyCode));
        defaults.set(keys.modifiers, static_cast<qulonglong>(shortcut->modifiers));
        defaults.set(keys.keyLabel, shortcut->keyLabel);
    } else {
        defaults.remove(keys.keyCode);
        defaults.remove(keys.modifiers);
        defaults.remove(keys.keyLabel);
    }
}

} // namespace velto
