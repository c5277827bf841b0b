#include "platform/desktop/KeyCodes.h"

#include <array>

namespace velto::keyCodes {

namespace {

struct KeyCodePair {
    std::uint32_t keyCode;
    std::uint32_t evdev;
};

// Virtual key code (the portable one stored in settings) and the evdev code of the same physical key.
// ISO and JIS keys follow their USB usages: the key beside the left Shift of an ISO keyboard is
// KEY_102ND, Yen and Ro are the JIS keys, Eisu and Kana are the language keys LANG2 and LANG1.
// Command is Ctrl and Control is Super, matching how modifier flags map to Qt's modifiers.
constexpr std::array<KeyCodePair, 116> table{{
    // letters
    {0x00, 30},
    {0x01, 31},
    {0x02, 32},
    {0x03, 33},
    {0x04, 35},
    {0x05, 34},
    {0x06, 44},
    {0x07, 45},
    {0x08, 46},
    {0x09, 47},
    {0x0B, 48},
    {0x0C, 16},
    {0x0D, 17},
    {0x0E, 18},
    {0x0F, 19},
    {0x10, 21},
    {0x11, 20},
    {0x1F, 24},
    {0x20, 22},
    {0x22, 23},
    {0x23, 25},
    {0x25, 38},
    {0x26, 36},
    {0x28, 37},
    {0x2D, 49},
    {0x2E, 50},
    // digits
    {0x12, 2},
    {0x13, 3},
    {0x14, 4},
    {0x15, 5},
    {0x17, 6},
    {0x16, 7},
    {0x1A, 8},
    {0x1C, 9},
    {0x19, 10},
    {0x1D, 11},
    // punctuation: = - ] [ ' ; \ , / . `
    {0x18, 13},
    {0x1B, 12},
    {0x1E, 27},
    {0x21, 26},
    {0x27, 40},
    {0x29, 39},
    {0x2A, 43},
    {0x2B, 51},
    {0x2C, 53},
    {0x2F, 52},
    {0x32, 41},
    // ISO and JIS keys: section (102nd key), Yen, Ro (underscore), keypad comma, Eisu, Kana
    {0x0A, 86},
    {0x5D, 124},
    {0x5E, 89},
    {0x5F, 95},
    {0x66, 123},
    {0x68, 122},
    // keypad: . * + clear (Num Lock) / enter - = 0-9
    {0x41, 83},
    {0x43, 55},
    {0x45, 78},
    {0x47, 69},
    {0x4B, 98},
    {0x4C, 96},
    {0x4E, 74},
    {0x51, 117},
    {0x52, 82},
    {0x53, 79},
    {0x54, 80},
    {0x55, 81},
    {0x56, 75},
    {0x57, 76},
    {0x58, 77},
    {0x59, 71},
    {0x5B, 72},
    {0x5C, 73},
    // Return, Tab, Space, Delete (backspace), Escape, context menu
    {0x24, 28},
    {0x30, 15},
    {0x31, 57},
    {0x33, 14},
    {0x35, 1},
    {0x6E, 127},
    // navigation: Help (Insert), Home, Page Up, Forward Delete, End, Page Down
    {0x72, 110},
    {0x73, 102},
    {0x74, 104},
    {0x75, 111},
    {0x77, 107},
    {0x79, 109},
    // arrows: left, right, down, up
    {0x7B, 105},
    {0x7C, 106},
    {0x7D, 108},
    {0x7E, 103},
    // F1 to F20
    {0x7A, 59},
    {0x78, 60},
    {0x63, 61},
    {0x76, 62},
    {0x60, 63},
    {0x61, 64},
    {0x62, 65},
    {0x64, 66},
    {0x65, 67},
    {0x6D, 68},
    {0x67, 87},
    {0x6F, 88},
    {0x69, 183},
    {0x6B, 184},
    {0x71, 185},
    {0x6A, 186},
    {0x40, 187},
    {0x4F, 188},
    {0x50, 189},
    {0x5A, 190},
    // modifier keys: Command = Ctrl, Shift, Caps Lock, Option = Alt, Control = Super, and the right-hand ones
    {0x37, 29},
    {0x38, 42},
    {0x39, 58},
    {0x3A, 56},
    {0x3B, 125},
    {0x36, 97},
    {0x3C, 54},
    {0x3D, 100},
    {0x3E, 126},
}};

} // namespace

std::optional<std::uint32_t> evdevCode(std::uint32_t keyCode) {
    for (const KeyCodePair &pair : table) {
        if (pair.keyCode == keyCode) {
            return pair.evdev;
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> keyCode(std::uint32_t evdevCode) {
    for (const KeyCodePair &pair : table) {
        if (pair.evdev == evdevCode) {
            return pair.keyCode;
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> x11KeyCode(std::uint32_t keyCode) {
    std::optional<std::uint32_t> evdev = evdevCode(keyCode);
    if (!evdev) {
        return std::nullopt;
    }
    return *evdev + 8;
}

Qt::KeyboardModifiers qtModifiers(std::uint64_t modifierFlags) {
    Qt::KeyboardModifiers modifiers;
    if (modifierFlags & commandFlag) {
        modifiers |= Qt::ControlModifier;
    }
    if (modifierFlags & controlFlag) {
        modifiers |= Qt::MetaModifier;
    }
    if (modifierFlags & optionFlag) {
        modifiers |= Qt::AltModifier;
    }
    if (modifierFlags & shiftFlag) {
        modifiers |= Qt::ShiftModifier;
    }
    return modifiers;
}

std::uint64_t modifierFlags(Qt::KeyboardModifiers modifiers) {
    std::uint64_t flags = 0;
    if (modifiers & Qt::ControlModifier) {
        flags |= commandFlag;
    }
    if (modifiers & Qt::MetaModifier) {
        flags |= controlFlag;
    }
    if (modifiers & Qt::AltModifier) {
        flags |= optionFlag;
    }
    if (modifiers & Qt::ShiftModifier) {
        flags |= shiftFlag;
    }
    return flags;
}

} // namespace velto::keyCodes
