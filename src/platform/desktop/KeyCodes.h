#pragma once

#include <QtCore/qnamespace.h>

#include <cstdint>
#include <optional>

// Stored shortcuts keep the portable virtual key codes and modifier flags (so a keyboard-settings file
// moves between machines unchanged); this is the one table that ties them to Linux input codes.
namespace velto::keyCodes {

/// The Linux evdev code (linux/input-event-codes.h) of the physical key with this virtual key code;
/// nothing for a key code the table does not know.
std::optional<std::uint32_t> evdevCode(std::uint32_t keyCode);

/// The virtual key code of the key with this evdev code; nothing for a key the table does not know.
std::optional<std::uint32_t> keyCode(std::uint32_t evdevCode);

/// X11 (and xkbcommon) number the same keys as evdev, offset by 8.
std::optional<std::uint32_t> x11KeyCode(std::uint32_t keyCode);

/// Modifier flags held with a key (raw values of the portable flag set).
inline constexpr std::uint64_t shiftFlag = 1u << 17;
inline constexpr std::uint64_t controlFlag = 1u << 18;
inline constexpr std::uint64_t optionFlag = 1u << 19;
inline constexpr std::uint64_t commandFlag = 1u << 20;
inline constexpr std::uint64_t supportedModifierMask = shiftFlag | controlFlag | optionFlag | commandFlag;

/// Qt's convention on Linux: Command is Ctrl, Control is Super (Meta), Option is Alt, Shift is Shift.
Qt::KeyboardModifiers qtModifiers(std::uint64_t modifierFlags);
std::uint64_t modifierFlags(Qt::KeyboardModifiers modifiers);

} // namespace velto::keyCodes
