#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct xkb_context;
struct xkb_keymap;

namespace velto {

/// A compiled keyboard map (xkbcommon): the layouts a keyboard can be switched between and what each key
/// types in them. Built from layout names without a display, or taken from the X server (X11Keyboard).
class XkbKeymap {
public:
    /// The keymap of the named layouts ("us", "de", "fr", or "us,de" for two), with an optional variant;
    /// nothing when xkbcommon cannot compile it (unknown name, no keyboard data installed).
    static std::shared_ptr<const XkbKeymap> fromLayoutNames(const std::string &layouts,
                                                            const std::string &variants = {});

    /// Takes ownership of both references.
    XkbKeymap(xkb_context *context, xkb_keymap *keymap);
    ~XkbKeymap();
    XkbKeymap(const XkbKeymap &) = delete;
    XkbKeymap &operator=(const XkbKeymap &) = delete;

    /// What the key with this X11 key code types in the given layout, with Shift held or not and no other
    /// modifier (Caps Lock ignored): UTF-8 text, or nothing for a key that types nothing, such as a dead key.
    std::optional<std::string> typedText(std::uint32_t x11KeyCode, bool shift, std::uint32_t layoutIndex) const;

    std::uint32_t layoutCount() const;

private:
    xkb_context *context_;
    xkb_keymap *keymap_;
};

} // namespace velto
