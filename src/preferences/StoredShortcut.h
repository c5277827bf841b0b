#pragma once

#include "preferences/DefaultsDomain.h"
#include "preferences/GlobalShortcut.h"

#include <optional>

namespace velto {

/// The four preference keys under which one shortcut the user chose is kept.
struct StoredShortcutKeys {
    QString configured; // true once the user set or removed the shortcut
    QString keyCode;
    QString modifiers;
    QString keyLabel;
};

/// Whether a key-code number is stored (whether or not it is usable).
bool hasStoredKeyCode(const DefaultsDomain &defaults, const StoredShortcutKeys &keys);

/// The stored shortcut: a key-code number and a label are both needed. A key code that is not a whole
/// number from 0 to 4294967295, or a negative modifier value, makes no shortcut either.
std::optional<GlobalShortcut> storedShortcut(const DefaultsDomain &defaults, const StoredShortcutKeys &keys);

/// Marks the shortcut configured, then writes its three values, or removes them for no shortcut.
void storeShortcut(DefaultsDomain &defaults, const StoredShortcutKeys &keys,
                   const std::optional<GlobalShortcut> &shortcut);

} // namespace velto
