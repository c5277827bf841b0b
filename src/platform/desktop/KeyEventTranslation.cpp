#include "platform/desktop/KeyEventTranslation.h"

#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/X11Keyboard.h"

#include <QtGui/QKeyEvent>

#include <array>
#include <utility>

namespace velto::editor {

namespace {

/// Evdev codes are X11 key codes less this offset.
constexpr std::uint32_t x11KeyCodeOffset = 8;

/// The modifier a modifier key itself stands for; 0 for every other key.
std::uint64_t flagOfModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
        return keyCodes::shiftFlag;
    case Qt::Key_Control:
        return keyCodes::commandFlag;
    case Qt::Key_Alt:
        return keyCodes::optionFlag;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return keyCodes::controlFlag;
    default:
        return 0;
    }
}

/// Portable key codes of the keys that type no character, for events without a native scan code (events
/// made by Qt itself or by tests).
std::optional<std::uint32_t> keyCodeOfNamedKey(int key) {
    static constexpr std::array<std::pair<int, std::uint32_t>, 27> table{{
        {Qt::Key_Tab, 0x30},   {Qt::Key_Backtab, 0x30},   {Qt::Key_Return, 0x24}, {Qt::Key_Enter, 0x4C},
        {Qt::Key_Space, 0x31}, {Qt::Key_Backspace, 0x33}, {Qt::Key_Escape, 0x35}, {Qt::Key_Delete, 0x75},
        {Qt::Key_Home, 0x73},  {Qt::Key_End, 0x77},       {Qt::Key_PageUp, 0x74}, {Qt::Key_PageDown, 0x79},
        {Qt::Key_Left, 0x7B},  {Qt::Key_Right, 0x7C},     {Qt::Key_Down, 0x7D},   {Qt::Key_Up, 0x7E},
        {Qt::Key_F1, 0x7A},    {Qt::Key_F2, 0x78},        {Qt::Key_F3, 0x63},     {Qt::Key_F4, 0x76},
        {Qt::Key_F5, 0x60},    {Qt::Key_F6, 0x61},        {Qt::Key_F7, 0x62},     {Qt::Key_F8, 0x64},
        {Qt::Key_F9, 0x65},    {Qt::Key_F10, 0x6D},       {Qt::Key_F11, 0x67},
    }};
    for (const auto &[qtKey, keyCode] : table) {
        if (qtKey == key) {
            return keyCode;
        }
    }
    if (key == Qt::Key_F12) {
        return 0x6F;
    }
    return std::nullopt;
}

bool isControlCharacter(const QString &text) {
    return text.size() == 1 && (text.at(0).unicode() < 0x20 || text.at(0).unicode() == 0x7F);
}

/// Without a keyboard map: the character of Qt's key, which already carries Shift (letters in the case
/// Shift gives them), or the control character a named key types.
std::optional<QString> charactersOfQtKey(const QKeyEvent &event, bool shift) {
    int key = event.key();
    if (key >= Qt::Key_Space && key < 0x10000) {
        QChar character(static_cast<char16_t>(key));
        return QString(shift ? character : character.toLower());
    }
    if (isControlCharacter(event.text())) {
        return event.text();
    }
    return QString();
}

/// What the key types with Shift or without in the current layout, else what Qt's key gives.
std::optional<QString> typedCharacters(const QKeyEvent &event, const TypedTextLookup &typedText, bool shift) {
    if (event.nativeScanCode() >= x11KeyCodeOffset && typedText) {
        if (std::optional<QString> typed = typedText(event.nativeScanCode(), shift)) {
            return typed;
        }
    }
    return charactersOfQtKey(event, shift);
}

} // namespace

TypedTextLookup currentKeyboardTypedText() {
    return [](std::uint32_t x11KeyCode, bool shift) -> std::optional<QString> {
        X11Keyboard *keyboard = X11Keyboard::shared();
        if (keyboard == nullptr) {
            return std::nullopt;
        }
        std::optional<std::string> typed = keyboard->typedText(x11KeyCode, shift);
        if (!typed) {
            return std::nullopt;
        }
        return QString::fromStdString(*typed);
    };
}

std::uint64_t modifierFlags(const QKeyEvent &event) {
    std::uint64_t flags = keyCodes::modifierFlags(event.modifiers());
    // X11 reports the state before the event; a modifier key's own press or release is applied here.
    if (std::uint64_t own = flagOfModifierKey(event.key())) {
        flags = event.type() == QEvent::KeyRelease ? flags & ~own : flags | own;
    }
    if (event.nativeModifiers() & x11LockMask) {
        flags |= capsLockFlag;
    }
    if (event.modifiers() & Qt::KeypadModifier) {
        flags |= numericPadFlag;
    }
    return flags;
}

bool isModifierKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

std::uint32_t portableKeyCode(const QKeyEvent &event) {
    std::uint32_t scanCode = event.nativeScanCode();
    if (scanCode >= x11KeyCodeOffset) {
        if (std::optional<std::uint32_t> keyCode = keyCodes::keyCode(scanCode - x11KeyCodeOffset)) {
            return *keyCode;
        }
    }
    return keyCodeOfNamedKey(event.key()).value_or(unknownKeyCode);
}

LocalKeyEvent localKeyEvent(const QKeyEvent &event, const TypedTextLookup &typedText) {
    LocalKeyEvent local;
    local.modifierFlags = modifierFlags(event);
    local.keyCode = portableKeyCode(event);
    bool shift = (local.modifierFlags & keyCodes::shiftFlag) != 0;

    std::optional<QString> ignoringModifiers = typedCharacters(event, typedText, shift);
    local.charactersIgnoringModifiers = ignoringModifiers;
    // Looked up again only for a shortcut held with Shift: a typed key costs one look at the keyboard.
    if ((local.modifierFlags & keyCodes::commandFlag) != 0) {
        local.charactersIgnoringShift = shift ? typedCharacters(event, typedText, false) : ignoringModifiers;
    }

    // Ctrl (Command) turns letters into control characters on X11; Command leaves them as they are.
    QString characters = event.text();
    if ((local.modifierFlags & keyCodes::commandFlag) && isControlCharacter(characters) &&
        !(ignoringModifiers && isControlCharacter(*ignoringModifiers))) {
        characters = ignoringModifiers.value_or(QString());
    }
    local.characters = characters;
    return local;
}

} // namespace velto::editor
