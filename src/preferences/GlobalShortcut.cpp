#include "preferences/GlobalShortcut.h"

#include <QtCore/QStringList>

#include <limits>

namespace velto {

namespace {

bool has(std::uint64_t modifiers, std::uint64_t flag) {
    return (modifiers & flag) != 0;
}

const nlohmann::json &member(const nlohmann::json &object, const char *key) {
    if (!object.is_object() || !object.contains(key)) {
        throw ShortcutFormatError(std::string("The shortcut has no “") + key + "”.");
    }
    return object.at(key);
}

std::uint64_t unsignedMember(const nlohmann::json &object, const char *key, std::uint64_t maximum) {
    const nlohmann::json &value = member(object, key);
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > maximum) {
        throw ShortcutFormatError(std::string("The shortcut’s “") + key + "” is not a suitable number.");
    }
    return value.get<std::uint64_t>();
}

QString textMember(const nlohmann::json &object, const char *key) {
    const nlohmann::json &value = member(object, key);
    if (!value.is_string()) {
        throw ShortcutFormatError(std::string("The shortcut’s “") + key + "” is not text.");
    }
    return QString::fromStdString(value.get<std::string>());
}

} // namespace

QString GlobalShortcut::title() const {
    QString text;
    if (has(modifiers, ModifierFlags::control)) {
        text += QStringLiteral("⌃");
    }
    if (has(modifiers, ModifierFlags::option)) {
        text += QStringLiteral("⌥");
    }
    if (has(modifiers, ModifierFlags::shift)) {
        text += QStringLiteral("⇧");
    }
    if (has(modifiers, ModifierFlags::command)) {
        text += QStringLiteral("⌘");
    }
    return text + keyLabel;
}

QString GlobalShortcut::accessibilityTitle() const {
    QStringList words;
    if (has(modifiers, ModifierFlags::control)) {
        words << QStringLiteral("Control");
    }
    if (has(modifiers, ModifierFlags::option)) {
        words << QStringLiteral("Option");
    }
    if (has(modifiers, ModifierFlags::shift)) {
        words << QStringLiteral("Shift");
    }
    if (has(modifiers, ModifierFlags::command)) {
        words << QStringLiteral("Command");
    }
    words << accessibilityKeyLabels().value(keyLabel, keyLabel);
    return words.join(QLatin1Char(' '));
}

std::uint32_t GlobalShortcut::carbonModifiers() const {
    std::uint32_t mask = 0;
    if (has(modifiers, ModifierFlags::shift)) {
        mask |= 0x200;
    }
    if (has(modifiers, ModifierFlags::control)) {
        mask |= 0x1000;
    }
    if (has(modifiers, ModifierFlags::option)) {
        mask |= 0x800;
    }
    if (has(modifiers, ModifierFlags::command)) {
        mask |= 0x100;
    }
    return mask;
}

bool GlobalShortcut::conflictsLocally(const GlobalShortcut &other) const {
    if (!isNamedSpecialKey(keyLabel) && !isValidLocalKeyLabel(keyLabel)) {
        return false;
    }
    if (!isValidLocalKeyLabel(other.keyLabel)) {
        return false;
    }
    std::uint64_t mine = modifiers & ModifierFlags::supportedMask;
    std::uint64_t theirs = other.modifiers & ModifierFlags::supportedMask;
    QString myLabel = normalizedKeyLabel(keyLabel);
    QString theirLabel = normalizedKeyLabel(other.keyLabel);
    if (mine == theirs) {
        return localKeyLabelsEqual(myLabel, theirLabel);
    }
    // "+" is a shifted key on many layouts, so Command-"+" is typed as Shift-Command-"=".
    const QString plus = QStringLiteral("+");
    const QString equals = QStringLiteral("=");
    if (myLabel == plus && (theirLabel == plus || theirLabel == equals) && theirs == (mine | ModifierFlags::shift)) {
        return true;
    }
    return theirLabel == plus && (myLabel == plus || myLabel == equals) && mine == (theirs | ModifierFlags::shift);
}

nlohmann::ordered_json GlobalShortcut::encoded() const {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    object["keyCode"] = keyCode;
    object["modifiers"] = modifiers;
    object["keyLabel"] = keyLabel.toStdString();
    return object;
}

GlobalShortcut GlobalShortcut::decoded(const nlohmann::json &object) {
    GlobalShortcut shortcut;
    shortcut.keyCode =
        static_cast<std::uint32_t>(unsignedMember(object, "keyCode", std::numeric_limits<std::uint32_t>::max()));
    shortcut.modifiers = unsignedMember(object, "modifiers", std::numeric_limits<std::uint64_t>::max());
    shortcut.keyLabel = textMember(object, "keyLabel");

    if ((shortcut.modifiers & ~ModifierFlags::supportedMask) != 0) {
        throw ShortcutDecodingError("Shortcut contains unsupported modifiers.");
    }
    if (!isValidLocalKeyLabel(shortcut.keyLabel)) {
        throw ShortcutDecodingError("Shortcut key label is invalid.");
    }
    std::optional<QString> canonical = canonicalSpecialKeyLabel(shortcut.keyCode);
    bool labelFitsKeyCode = canonical ? normalizedKeyLabel(*canonical) == normalizedKeyLabel(shortcut.keyLabel)
                                      : !isNamedSpecialKey(shortcut.keyLabel);
    if (!labelFitsKeyCode) {
        throw ShortcutDecodingError("Shortcut special-key label does not match its key code.");
    }
    return shortcut;
}

} // namespace velto
