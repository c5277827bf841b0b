#pragma once

#include <QtCore/QString>
#include <QtGui/QInputDevice>
#include <QtGui/QKeyEvent>

#include <cstdint>
#include <optional>

// Key events as the X server delivers them, for tests that translate or dispatch keys without a display. The
// test program must have made its application first.
namespace velto::testing {

constexpr std::uint32_t x11(std::uint32_t evdev) {
    return evdev + 8;
}

/// A US keyboard's answers for the few keys these tests press.
inline std::optional<QString> usKeyboard(std::uint32_t x11KeyCode, bool shift) {
    switch (x11KeyCode) {
    case x11(48):
        return shift ? QStringLiteral("B") : QStringLiteral("b");
    case x11(41):
        return shift ? QStringLiteral("~") : QStringLiteral("`");
    case x11(15):
        return QStringLiteral("\t");
    default:
        return std::nullopt;
    }
}

inline QKeyEvent keyEvent(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, std::uint32_t scanCode,
                          std::uint32_t nativeModifiers, const QString &text) {
    // A keyboard of the tests' own: Qt's primary keyboard would be made a child of the application, which
    // other tests of the program keep until the process exits, when Qt's device list is already gone.
    static QInputDevice *keyboard =
        new QInputDevice(QStringLiteral("test keyboard"), 1, QInputDevice::DeviceType::Keyboard);
    return QKeyEvent(type, key, modifiers, scanCode, 0, nativeModifiers, text, false, 1, keyboard);
}

} // namespace velto::testing
