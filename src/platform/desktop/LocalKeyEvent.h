#pragma once

#include <QtCore/QString>

#include <cstdint>
#include <optional>

namespace velto {

/// A key press inside the application, as the shortcut rules see it: modifier flags with the portable raw
/// values (Command = Ctrl, Control = Super, Option = Alt; Caps Lock and other bits are ignored where it
/// matters), the portable key code, the characters typed, and the characters typed ignoring modifiers.
struct LocalKeyEvent {
    std::uint64_t modifierFlags = 0;
    std::uint32_t keyCode = 0;
    std::optional<QString> characters;
    /// What the key types ignoring every modifier but Shift: "~" for Shift and the US layout's "`" key.
    std::optional<QString> charactersIgnoringModifiers;
    /// What the key types ignoring Shift too ("`" for that key), for keys held with Command, which only
    /// shortcuts read; empty for other keys.
    std::optional<QString> charactersIgnoringShift = std::nullopt; // initialised: brace lists may leave it out
};

} // namespace velto
