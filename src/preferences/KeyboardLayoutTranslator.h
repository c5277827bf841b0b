#pragma once

#include <QtCore/QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace velto {

class XkbKeymap;

/// Which characters a key produces under a keyboard layout. Passed around as a value, so a fixed
/// translator can stand in where no keyboard layout is available.
struct KeyboardLayoutTranslator {
    /// The raw text the key types (neither upper-cased nor validated), or nothing. Only Shift among the
    /// modifiers counts; a dead key and a key that types nothing give nothing. Never throws.
    std::function<std::optional<QString>(std::uint32_t keyCode, std::uint64_t modifiers)> translate;

    /// The layout the user has selected now, read anew at every call (through the X server's keyboard);
    /// without a display every translation gives nothing.
    static KeyboardLayoutTranslator activeInputSource();

    /// The first layout of a keymap, for instance one built from a layout name such as "de".
    static KeyboardLayoutTranslator forKeymap(std::shared_ptr<const XkbKeymap> keymap);

    /// A translator that answers nothing for every key.
    static KeyboardLayoutTranslator unavailable();
};

} // namespace velto
