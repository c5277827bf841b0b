#pragma once

#include "platform/desktop/LocalKeyEvent.h"

#include <QtCore/QString>

#include <cstdint>
#include <functional>
#include <optional>

class QKeyEvent;

// Turns Qt's key events into the key events the shortcut and editing rules read: the portable key code
// of the physical key, the portable modifier flags (Command = Ctrl, Control = Super, Option = Alt) with
// Caps Lock, the characters typed and the characters typed ignoring every modifier but Shift (and, for keys
// held with Command, ignoring Shift too).
namespace velto::editor {

/// Flags an event carries besides the four modifiers (raw values of the portable flag set).
inline constexpr std::uint64_t capsLockFlag = 1u << 16;
inline constexpr std::uint64_t numericPadFlag = 1u << 21;
/// The flags that do not depend on the device: every flag but the low device-specific bits.
inline constexpr std::uint64_t deviceIndependentFlagsMask = 0xFFFF0000;

/// X11's Lock modifier in an event's state (what Qt reports as the event's native modifiers).
inline constexpr std::uint32_t x11LockMask = 0x2;

/// What the key with the X11 key code types in the current layout, with Shift or without.
using TypedTextLookup = std::function<std::optional<QString>(std::uint32_t x11KeyCode, bool shift)>;

/// The lookup through the X server's keyboard; answers nothing without an X display.
TypedTextLookup currentKeyboardTypedText();

/// The event's flags: its modifiers as held after the event (a pressed modifier key counts, a released one
/// does not), Caps Lock from the X11 lock mask, and the numeric-pad flag for keypad keys.
std::uint64_t modifierFlags(const QKeyEvent &event);

/// Whether Qt's key is a modifier or a lock key (Shift, Ctrl, Alt, AltGr, Super, Hyper, Caps Lock, Num Lock, the
/// mode switch): pressed on its own it never types, commands or becomes a shortcut's key.
bool isModifierKey(int qtKey);

/// The portable key code of the event's physical key: from the native scan code through the key-code
/// table, else from Qt's key for keys that type no character (Tab, Return, arrows...); 0xFFFF when unknown.
std::uint32_t portableKeyCode(const QKeyEvent &event);
inline constexpr std::uint32_t unknownKeyCode = 0xFFFF;

LocalKeyEvent localKeyEvent(const QKeyEvent &event, const TypedTextLookup &typedText = currentKeyboardTypedText());

} // namespace velto::editor
