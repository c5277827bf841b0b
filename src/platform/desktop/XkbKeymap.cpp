#include "platform/desktop/XkbKeymap.h"

#include <xkbcommon/xkbcommon.h>

#include <array>

namespace velto {

std::shared_ptr<const XkbKeymap> XkbKeymap::fromLayoutNames(const std::string &layouts, const std::string &variants) {
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    if (context == nullptr) {
        return nullptr;
    }
    xkb_rule_names names{};
    names.rules = "evdev";
    names.model = "pc105";
    names.layout = layouts.c_str();
    names.variant = variants.empty() ? nullptr : variants.c_str();
    xkb_keymap *keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) {
        xkb_context_unref(context);
        return nullptr;
    }
    return std::make_shared<const XkbKeymap>(context, keymap);
}

XkbKeymap::XkbKeymap(xkb_context *context, xkb_keymap *keymap)
    : context_(context)
    , keymap_(keymap) {}

XkbKeymap::~XkbKeymap() {
    xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
}

std::uint32_t XkbKeymap::layoutCount() const {
    return xkb_keymap_num_layouts(keymap_);
}

std::optional<std::string> XkbKeymap::typedText(std::uint32_t x11KeyCode, bool shift, std::uint32_t layoutIndex) const {
    if (xkb_keymap_key_get_name(keymap_, x11KeyCode) == nullptr) {
        return std::nullopt;
    }
    xkb_state *state = xkb_state_new(keymap_);
    if (state == nullptr) {
        return std::nullopt;
    }
    // A fresh state per call: nothing latched, locked or pending from an earlier key, like a keyboard
    // on which only this key (and perhaps Shift) is pressed.
    xkb_mod_mask_t depressed = 0;
    xkb_mod_index_t shiftIndex = xkb_keymap_mod_get_index(keymap_, XKB_MOD_NAME_SHIFT);
    if (shift && shiftIndex != XKB_MOD_INVALID) {
        depressed = xkb_mod_mask_t{1} << shiftIndex;
    }
    xkb_state_update_mask(state, depressed, 0, 0, 0, 0, layoutIndex);

    std::array<char, 64> buffer{};
    int length = xkb_state_key_get_utf8(state, x11KeyCode, buffer.data(), buffer.size());
    xkb_state_unref(state);
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
        return std::nullopt;
    }
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

} // namespace velto
