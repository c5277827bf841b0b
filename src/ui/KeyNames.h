#pragma once

#include "preferences/GlobalShortcut.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <optional>

/// Every key name Velto shows, in the words Linux users know: Command is "Ctrl", Option "Alt", Control
/// "Super", Shift "Shift"; keys drawn with another desktop's glyphs get their names ("⇥" is "Tab").
/// Stored shortcuts keep their key codes and flags; only what is shown is translated here.
namespace velto::KeyNames {

/// "Ctrl", "Alt", "Super", "Shift" for one modifier flag of `ModifierFlags`.
QString modifierName(std::uint64_t modifierFlag);

/// The key's name as shown: "Tab" for "⇥", "Enter" for "↩", "Backspace" for "⌫", "Esc" for "⎋" and so
/// on; every other label (letters, digits, "Space", "F5", arrows, "+", "−") as it is.
QString keyName(const QString &keyLabel);

/// One keycap per held modifier, in the order Ctrl, Alt, Shift, Super, then the key: Shift-Command-A gives
/// ["Ctrl", "Shift", "A"]. No shortcut gives no keycaps.
QStringList keycaps(const std::optional<GlobalShortcut> &shortcut);

/// The keycaps joined with "+": "Ctrl+Alt+V".
QString text(const std::optional<GlobalShortcut> &shortcut);

} // namespace velto::KeyNames
