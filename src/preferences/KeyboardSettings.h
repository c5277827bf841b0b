#pragma once

#include "preferences/GlobalShortcut.h"

#include <QtCore/QString>

#include <map>
#include <optional>

namespace velto {

/// Every keyboard setting, as exported to and imported from a keyboard-settings file.
struct KeyboardSettings {
    int version = 1;
    /// The show-or-hide hot key; nothing = no hot key.
    std::optional<GlobalShortcut> globalShortcut;
    /// The append-clipboard hot key; nothing = no hot key.
    std::optional<GlobalShortcut> appendClipboardShortcut;
    /// Command shortcuts by command identifier ("page.new"); an entry without a value = no shortcut.
    std::map<QString, std::optional<GlobalShortcut>> appShortcuts;

    friend bool operator==(const KeyboardSettings &, const KeyboardSettings &) = default;

    /// A copy in which every shortcut command has an entry: missing ones are taken from `previous` (or
    /// left without a value); entries already present, even without a value, are kept.
    KeyboardSettings fillingMissingAppShortcuts(const KeyboardSettings &previous) const;
};

namespace VeltoPreferences {

/// The two hot keys and every shortcut command's current shortcut.
KeyboardSettings keyboardSettings();
/// Writes the document's hot keys and the command entries it has, as one batch (one change notification).
void setKeyboardSettings(const KeyboardSettings &settings);

} // namespace VeltoPreferences

} // namespace velto
