#include "ui/KeyNames.h"

#include <QtCore/QHash>

#include <array>
#include <utility>

namespace velto::KeyNames {

namespace {

/// The modifiers in the order Linux desktops name them.
const std::array<std::uint64_t, 4> &modifierOrder() {
    static const std::array<std::uint64_t, 4> order{ModifierFlags::command, ModifierFlags::option, ModifierFlags::shift,
                                                    ModifierFlags::control};
    return order;
}

const QHash<QString, QString> &namedKeys() {
    static const QHash<QString, QString> names{
        {QStringLiteral("⇥"), QStringLiteral("Tab")},       {QStringLiteral("↩"), QStringLiteral("Enter")},
        {QStringLiteral("⌫"), QStringLiteral("Backspace")}, {QStringLiteral("⌦"), QStringLiteral("Delete")},
        {QStringLiteral("⎋"), QStringLiteral("Esc")},       {QStringLiteral("↖"), QStringLiteral("Home")},
        {QStringLiteral("↘"), QStringLiteral("End")},       {QStringLiteral("⇞"), QStringLiteral("Page Up")},
        {QStringLiteral("⇟"), QStringLiteral("Page Down")},
    };
    return names;
}

} // namespace

QString modifierName(std::uint64_t modifierFlag) {
    if (modifierFlag == ModifierFlags::command) {
        return QStringLiteral("Ctrl");
    }
    if (modifierFlag == ModifierFlags::option) {
        return QStringLiteral("Alt");
    }
    if (modifierFlag == ModifierFlags::control) {
        return QStringLiteral("Super");
    }
    if (modifierFlag == ModifierFlags::shift) {
        return QStringLiteral("Shift");
    }
    return {};
}

QString keyName(const QString &keyLabel) {
    return namedKeys().value(keyLabel, keyLabel);
}

QStringList keycaps(const std::optional<GlobalShortcut> &shortcut) {
    if (!shortcut) {
        return {};
    }
    QStringList caps;
    for (std::uint64_t flag : modifierOrder()) {
        if ((shortcut->modifiers & flag) != 0) {
            caps << modifierName(flag);
        }
    }
    caps << keyName(shortcut->keyLabel);
    return caps;
}

QString text(const std::optional<GlobalShortcut> &shortcut) {
    return keycaps(shortcut).join(QLatin1Char('+'));
}

} // namespace velto::KeyNames
