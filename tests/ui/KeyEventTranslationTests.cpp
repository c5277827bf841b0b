#include "platform/desktop/KeyEventTranslation.h"

#include "preferences/GlobalShortcut.h"
#include "support/ui/TestKeyEvents.h"

#include <gtest/gtest.h>

using namespace velto;
using namespace velto::editor;
using velto::testing::usKeyboard;
using velto::testing::x11;

namespace {

QKeyEvent event(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, std::uint32_t scanCode,
                std::uint32_t nativeModifiers, const QString &text) {
    return velto::testing::keyEvent(type, key, modifiers, scanCode, nativeModifiers, text);
}

} // namespace

TEST(KeyEventTranslationTests, CommandLettersKeepTheirCharactersAndCapsLockComesFromTheLockMask) {
    QKeyEvent press =
        event(QEvent::KeyPress, Qt::Key_B, Qt::ControlModifier, x11(48), x11LockMask | 0x4, QStringLiteral("\x02"));
    LocalKeyEvent local = localKeyEvent(press, usKeyboard);
    EXPECT_EQ(local.keyCode, 0x0Bu);
    EXPECT_EQ(local.modifierFlags, ModifierFlags::command | capsLockFlag);
    EXPECT_EQ(local.characters, QStringLiteral("b"));
    EXPECT_EQ(local.charactersIgnoringModifiers, QStringLiteral("b"));
}

TEST(KeyEventTranslationTests, ShiftCountsForCharactersIgnoringModifiers) {
    QKeyEvent press = event(QEvent::KeyPress, Qt::Key_AsciiTilde, Qt::ControlModifier | Qt::ShiftModifier, x11(41), 0x5,
                            QStringLiteral("~"));
    LocalKeyEvent local = localKeyEvent(press, usKeyboard);
    EXPECT_EQ(local.modifierFlags, ModifierFlags::command | ModifierFlags::shift);
    EXPECT_EQ(local.charactersIgnoringModifiers, QStringLiteral("~"));
    EXPECT_EQ(local.charactersIgnoringShift, QStringLiteral("`")) << "the key, for shortcuts that name its character";
}

TEST(KeyEventTranslationTests, ModifierKeysCountAsHeldAfterTheirOwnEvent) {
    struct Row {
        QEvent::Type type;
        int key;
        Qt::KeyboardModifiers reported; // X11 reports the state before the event
        std::uint64_t expected;
    };
    const Row rows[] = {
        {QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier | Qt::AltModifier, ModifierFlags::option},
        {QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier, ModifierFlags::command},
        {QEvent::KeyRelease, Qt::Key_Super_L, Qt::MetaModifier, 0},
        {QEvent::KeyPress, Qt::Key_Alt, Qt::ShiftModifier, ModifierFlags::option | ModifierFlags::shift},
        {QEvent::KeyRelease, Qt::Key_Shift, Qt::NoModifier, 0},
    };
    for (const Row &row : rows) {
        QKeyEvent modifierEvent = event(row.type, row.key, row.reported, 0, 0, QString());
        EXPECT_EQ(modifierFlags(modifierEvent), row.expected) << row.key;
    }
}

TEST(KeyEventTranslationTests, KeysWithoutScanCodeFallBackToQtKeys) {
    QKeyEvent tab = event(QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier, 0, 0, QString());
    EXPECT_EQ(localKeyEvent(tab, usKeyboard).keyCode, 48u);
    QKeyEvent letter = event(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier, 0, 0, QStringLiteral("\x1a"));
    LocalKeyEvent local = localKeyEvent(letter, usKeyboard);
    EXPECT_EQ(local.keyCode, unknownKeyCode);
    EXPECT_EQ(local.charactersIgnoringModifiers, QStringLiteral("z"));
    EXPECT_EQ(local.characters, QStringLiteral("z"));
}

// One answer for the text view, the panel's shortcut hints and the shortcut recorder: a key that only changes
// what other keys do never types, commands or becomes a recorded shortcut's key.
TEST(KeyEventTranslationTests, ModifierAndLockKeysAreToldFromKeysThatTypeOrCommand) {
    const int modifierKeys[] = {Qt::Key_Shift,   Qt::Key_Control,  Qt::Key_Alt,     Qt::Key_AltGr,
                                Qt::Key_Meta,    Qt::Key_Super_L,  Qt::Key_Super_R, Qt::Key_Hyper_L,
                                Qt::Key_Hyper_R, Qt::Key_CapsLock, Qt::Key_NumLock, Qt::Key_Mode_switch};
    for (int key : modifierKeys) {
        EXPECT_TRUE(isModifierKey(key)) << key;
    }
    const int otherKeys[] = {Qt::Key_A,       Qt::Key_Space,      Qt::Key_Tab,    Qt::Key_Escape,
                             Qt::Key_Return,  Qt::Key_F1,         Qt::Key_Menu,   Qt::Key_ScrollLock,
                             Qt::Key_unknown, Qt::Key_Dead_Acute, Qt::Key_Delete, Qt::Key_Plus};
    for (int key : otherKeys) {
        EXPECT_FALSE(isModifierKey(key)) << key;
    }
}
