#pragma once

#include "preferences/KeyboardLayoutTranslator.h"
#include "preferences/KeyboardSettings.h"

#include <QtCore/QString>

#include <vector>

namespace velto {

/// One reason keyboard settings cannot be used. Shortcuts are named for the user: "Show or hide Velto",
/// "Append clipboard text", or the command's title ("Start New Page").
struct KeyboardSettingsConflict {
    enum class Kind {
        unsafeShortcut,  // first: the shortcut lacks a safe modifier combination
        nativeCommand,   // first: the command's shortcut is reserved for a native command
        shortcuts,       // first and second collide
        globalShortcuts, // the two hot keys are the same key combination
    };
    Kind kind = Kind::globalShortcuts;
    QString first;
    QString second;

    static KeyboardSettingsConflict unsafeShortcut(const QString &name) { return {Kind::unsafeShortcut, name, {}}; }
    static KeyboardSettingsConflict nativeCommand(const QString &name) { return {Kind::nativeCommand, name, {}}; }
    static KeyboardSettingsConflict shortcuts(const QString &first, const QString &second) {
        return {Kind::shortcuts, first, second};
    }
    static KeyboardSettingsConflict globalShortcuts() { return {Kind::globalShortcuts, {}, {}}; }
    friend bool operator==(const KeyboardSettingsConflict &, const KeyboardSettingsConflict &) = default;
};

namespace KeyboardSettingsValidator {

inline const QString showOrHideName = QStringLiteral("Show or hide Velto");
inline const QString appendClipboardName = QStringLiteral("Append clipboard text");

/// Every conflict in the settings, in the order of the rules: unsafe hot keys, equal hot keys, then each
/// command (unsafe, native, colliding with a hot key), then every colliding pair of commands. Empty means
/// valid. A hot key is compared by the character its key types under `layout`, not by its stored label.
std::vector<KeyboardSettingsConflict>
conflicts(const KeyboardSettings &settings,
          const KeyboardLayoutTranslator &layout = KeyboardLayoutTranslator::activeInputSource());

} // namespace KeyboardSettingsValidator

} // namespace velto
