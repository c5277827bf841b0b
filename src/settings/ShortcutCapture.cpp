#include "settings/ShortcutCapture.h"

#include "platform/desktop/KeyEventTranslation.h"

#include <QtGui/QKeyEvent>

#include <array>

namespace velto {

namespace {

constexpr std::uint32_t tabKeyCode = 48;
constexpr std::uint32_t deleteKeyCode = 51;
constexpr std::uint32_t forwardDeleteKeyCode = 117;
constexpr std::uint32_t escapeKeyCode = 53;
constexpr std::uint32_t spaceKeyCode = 49;
constexpr std::uint32_t returnKeyCode = 36;
constexpr std::uint32_t enterKeyCode = 76;

// F1 to F12.
constexpr std::array<std::uint32_t, 12> functionKeyCodes{122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111};

bool modifiersAreUsable(std::uint64_t masked, bool allowsCommandOnly) {
    using namespace ModifierFlags;
    if ((masked & (control | option)) != 0) {
        return true;
    }
    if ((masked & shift) != 0 && (masked & command) != 0) {
        return true;
    }
    return allowsCommandOnly && (masked & command) != 0;
}

} // namespace

RecorderKeyRole recorderKeyRole(const RecorderKeyPress &press) {
    std::uint64_t independent = press.flags & deviceIndependentFlags;
    if (press.keyCode == tabKeyCode && (independent & ~ModifierFlags::shift) == 0) {
        return (independent & ModifierFlags::shift) != 0 ? RecorderKeyRole::focusPrevious : RecorderKeyRole::focusNext;
    }
    if ((press.keyCode == deleteKeyCode || press.keyCode == forwardDeleteKeyCode) && independent == 0) {
        return RecorderKeyRole::clear;
    }
    if (press.keyCode == escapeKeyCode && independent == 0) {
        return RecorderKeyRole::cancel;
    }
    return RecorderKeyRole::capture;
}

bool startsRecording(const RecorderKeyPress &press) {
    bool pressesButton =
        press.keyCode == spaceKeyCode || press.keyCode == returnKeyCode || press.keyCode == enterKeyCode;
    return pressesButton && (press.flags & deviceIndependentFlags & ~capsLockFlag) == 0;
}

bool isKeptBySystem(std::uint32_t keyCode, std::uint64_t maskedModifiers) {
    using namespace ModifierFlags;
    // Qt's Ctrl is the portable Command flag, Alt the Option flag.
    if ((maskedModifiers & (command | option)) != (command | option)) {
        return false;
    }
    if (keyCode == deleteKeyCode) {
        return true;
    }
    for (std::uint32_t functionKey : functionKeyCodes) {
        if (keyCode == functionKey) {
            return true;
        }
    }
    return false;
}

std::optional<QString> recorderKeyLabel(const RecorderKeyPress &press) {
    if (!press.keyCode) {
        return std::nullopt;
    }
    if (std::optional<QString> special = GlobalShortcut::canonicalSpecialKeyLabel(*press.keyCode)) {
        return special;
    }
    if (!press.charactersIgnoringModifiers) {
        return std::nullopt;
    }
    const QString &text = *press.charactersIgnoringModifiers;
    QList<uint> scalars = text.toUcs4();
    if (scalars.size() != 1 || QChar::category(static_cast<char32_t>(scalars.front())) == QChar::Other_Control) {
        return std::nullopt;
    }
    QString upper = text.toUpper();
    return upper.toUcs4().size() == 1 ? upper : text;
}

CaptureOutcome captureShortcut(const RecorderKeyPress &press, bool allowsCommandOnly) {
    std::uint64_t masked = press.flags & ModifierFlags::supportedMask;
    if (press.keyCode == escapeKeyCode && masked == 0) {
        return EndedRecording{};
    }
    if (!modifiersAreUsable(masked, allowsCommandOnly)) {
        return RefusedKeyPress{RecorderMessages::modifiersMissing};
    }
    std::optional<QString> label = recorderKeyLabel(press);
    if (!label || isKeptBySystem(*press.keyCode, masked)) {
        return RefusedKeyPress{RecorderMessages::unusableKey};
    }
    return CapturedShortcut{GlobalShortcut{*press.keyCode, masked, *label}};
}

std::optional<RecorderKeyPress> recorderKeyPress(const QKeyEvent &event) {
    if (event.isAutoRepeat() || editor::isModifierKey(event.key())) {
        return std::nullopt;
    }
    LocalKeyEvent local = editor::localKeyEvent(event);
    RecorderKeyPress press;
    if (local.keyCode != editor::unknownKeyCode) {
        press.keyCode = local.keyCode;
    }
    press.flags = local.modifierFlags;
    press.charactersIgnoringModifiers = local.charactersIgnoringModifiers;
    return press;
}

} // namespace velto
