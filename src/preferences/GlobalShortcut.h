#pragma once

#include "platform/desktop/KeyCodes.h"

#include <QtCore/QHash>
#include <QtCore/QString>

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>

namespace velto {

struct LocalKeyEvent;

/// Raw values of the modifier flags a shortcut or a key event carries.
namespace ModifierFlags {
inline constexpr std::uint64_t shift = keyCodes::shiftFlag;
inline constexpr std::uint64_t control = keyCodes::controlFlag;
inline constexpr std::uint64_t option = keyCodes::optionFlag;
inline constexpr std::uint64_t command = keyCodes::commandFlag;
/// The only modifiers that take part in comparisons; Caps Lock, Fn and device bits never do.
inline constexpr std::uint64_t supportedMask = keyCodes::supportedModifierMask;
} // namespace ModifierFlags

/// A shortcut whose members are all there but whose values are unacceptable; the message says which rule.
class ShortcutDecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// A shortcut object with a member missing or of the wrong JSON type.
class ShortcutFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// One key combination: the physical key (portable virtual key code), the modifiers held with it and the
/// key's printable label ("N", "+", "−", "Space", "F5", "⇥"). Shortcuts inside the panel match by label,
/// global hot keys by key code.
struct GlobalShortcut {
    std::uint32_t keyCode = 0;
    std::uint64_t modifiers = 0;
    QString keyLabel;

    friend bool operator==(const GlobalShortcut &, const GlobalShortcut &) = default;

    /// "⌥Space" for Option-Space, "⇧⌘A" for Shift-Command-A: modifier glyphs in the order ⌃⌥⇧⌘, then the label.
    QString title() const;
    /// "Option Command V", "Control Tab", "Command Comma".
    QString accessibilityTitle() const;
    /// The modifier mask of the global hot-key service: Shift 0x200, Control 0x1000, Option 0x800, Command 0x100.
    std::uint32_t carbonModifiers() const;
    /// Whether a key event inside the panel could be taken for either shortcut (key codes are not compared).
    bool conflictsLocally(const GlobalShortcut &other) const;

    /// Whether the event triggers this shortcut inside the application (matching by the typed characters).
    bool matchesLocal(const LocalKeyEvent &event) const;
    /// The key equivalent a menu item shows for this shortcut; empty when it gets none.
    QString localMenuKeyEquivalent() const;

    /// "keyCode", "modifiers", "keyLabel", in this order.
    nlohmann::ordered_json encoded() const;
    /// Reads the three members; throws ShortcutFormatError for a missing or mistyped member (or a number out of
    /// range), ShortcutDecodingError for unsupported modifiers or a label that is invalid or does not fit its key
    /// code. The label and modifiers are kept exactly as read.
    static GlobalShortcut decoded(const nlohmann::json &object);

    /// "−" becomes "-"; the label upper-cased in the user's locale ("space" gives "SPACE"), except that a
    /// one-character label whose upper-case form is longer stays as it is.
    static QString normalizedKeyLabel(const QString &label);
    /// "Space", the thirteen key glyphs, and F1 to F35, in any letter case.
    static bool isNamedSpecialKey(const QString &label);
    /// A named special key, or exactly one character that is not a control character.
    static bool isValidLocalKeyLabel(const QString &label);
    /// The label of a special key with this key code ("Space" for 49, "F5" for 96), or nothing.
    static std::optional<QString> canonicalSpecialKeyLabel(std::uint32_t keyCode);
    /// Single characters compare case-insensitively; longer labels by their normalized forms.
    static bool localKeyLabelsEqual(const QString &a, const QString &b);

    static const std::map<std::uint32_t, QString> &specialKeyLabels();
    static const QHash<QString, QString> &accessibilityKeyLabels();
};

} // namespace velto
