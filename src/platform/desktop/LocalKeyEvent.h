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
    std::optional<QString> charactersIgnoringModifiers;
};

} // namespace velto
