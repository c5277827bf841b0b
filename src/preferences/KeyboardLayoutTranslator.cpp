#include "preferences/KeyboardLayoutTranslator.h"

#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/X11Keyboard.h"
#include "platform/desktop/XkbKeymap.h"

namespace velto {

namespace {

// What a translation may produce at most: 8 UTF-16 code units; longer output counts as a failure.
constexpr qsizetype maximumCodeUnits = 8;

std::optional<QString> translatedText(const std::optional<std::string> &typed) {
    if (!typed || typed->empty()) {
        return std::nullopt;
    }
    QString text = QString::fromStdString(*typed);
    if (text.size() > maximumCodeUnits) {
        return std::nullopt;
    }
    return text;
}

/// The X11 key code of a portable key code, for key codes that fit in 16 bits and have a physical key.
std::optional<std::uint32_t> translatableKey(std::uint32_t keyCode) {
    if (keyCode > 0xFFFF) {
        return std::nullopt;
    }
    return keyCodes::x11KeyCode(keyCode);
}

bool holdsShift(std::uint64_t modifiers) {
    return (modifiers & keyCodes::shiftFlag) != 0;
}

} // namespace

KeyboardLayoutTranslator KeyboardLayoutTranslator::activeInputSource() {
    return {[](std::uint32_t keyCode, std::uint64_t modifiers) -> std::optional<QString> {
        std::optional<std::uint32_t> x11Key = translatableKey(keyCode);
        X11Keyboard *keyboard = X11Keyboard::shared();
        if (!x11Key || keyboard == nullptr) {
            return std::nullopt;
        }
        return translatedText(keyboard->typedText(*x11Key, holdsShift(modifiers)));
    }};
}

KeyboardLayoutTranslator KeyboardLayoutTranslator::forKeymap(std::shared_ptr<const XkbKeymap> keymap) {
    return {[keymap](std::uint32_t keyCode, std::uint64_t modifiers) -> std::optional<QString> {
        std::optional<std::uint32_t> x11Key = translatableKey(keyCode);
        if (!x11Key || keymap == nullptr) {
            return std::nullopt;
        }
        return translatedText(keymap->typedText(*x11Key, holdsShift(modifiers), 0));
    }};
}

KeyboardLayoutTranslator KeyboardLayoutTranslator::unavailable() {
    return {[](std::uint32_t, std::uint64_t) -> std::optional<QString> { return std::nullopt; }};
}

} // namespace velto
