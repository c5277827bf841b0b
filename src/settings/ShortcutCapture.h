#pragma once

#include "preferences/GlobalShortcut.h"

#include <QtCore/QString>

#include <cstdint>
#include <optional>
#include <variant>

class QKeyEvent;

namespace velto {

/// One key press as a shortcut recorder reads it: the portable key code (nothing when the key-code table
/// does not know the key), the portable modifier flags with Caps Lock (bit 16), and what the key types in the
/// current layout ignoring every modifier but Shift.
struct RecorderKeyPress {
    std::optional<std::uint32_t> keyCode;
    std::uint64_t flags = 0;
    std::optional<QString> charactersIgnoringModifiers;
    friend bool operator==(const RecorderKeyPress &, const RecorderKeyPress &) = default;
};

inline constexpr std::uint64_t capsLockFlag = 1u << 16;
/// The flags that do not depend on the device: bits 16 to 31.
inline constexpr std::uint64_t deviceIndependentFlags = 0xFFFF0000;

/// What a recorder does with a key press, before any shortcut is made of it.
enum class RecorderKeyRole { focusNext, focusPrevious, clear, cancel, capture };
RecorderKeyRole recorderKeyRole(const RecorderKeyPress &press);
/// Whether a press starts an idle recorder, as it presses a button: Space, Return or Enter, with no modifier but
/// Caps Lock.
bool startsRecording(const RecorderKeyPress &press);

/// The outcome of capturing a press: a candidate shortcut, a refusal with its message, or the end of
/// recording (Escape with only Caps Lock or device bits held).
struct CapturedShortcut {
    GlobalShortcut candidate;
};
struct RefusedKeyPress {
    QString message;
};
struct EndedRecording {};
using CaptureOutcome = std::variant<CapturedShortcut, RefusedKeyPress, EndedRecording>;

namespace RecorderMessages {
inline const QString modifiersMissing = QStringLiteral("Use Alt, Super, or Shift+Ctrl with another key");
inline const QString unusableKey = QStringLiteral("That key can’t be used");
inline const QString alreadyUsed = QStringLiteral("Already used by another shortcut");
} // namespace RecorderMessages

/// The recorder's rules: Alt or Super, or Shift with Ctrl (or Ctrl alone where allowed), with a key that has a
/// label; keys the X server or the kernel keep for themselves are never taken.
CaptureOutcome captureShortcut(const RecorderKeyPress &press, bool allowsCommandOnly);

/// The label of the key: its special-key label, else the one character it types, upper-cased when that stays
/// one character; nothing for no character, several characters or a control character.
std::optional<QString> recorderKeyLabel(const RecorderKeyPress &press);

/// Ctrl+Alt+F1…F12 (switching virtual terminals) and Ctrl+Alt+Backspace (ending the X server).
bool isKeptBySystem(std::uint32_t keyCode, std::uint64_t maskedModifiers);

/// The press of a Qt key event: key code from the native scan code through the key-code table, modifiers
/// through the portable mapping with Caps Lock from the X11 lock bit, and the characters from the keyboard
/// layout (never the event's text). Nothing for presses of modifier keys alone and for auto-repeats.
std::optional<RecorderKeyPress> recorderKeyPress(const QKeyEvent &event);

} // namespace velto
