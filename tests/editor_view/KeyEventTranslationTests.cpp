#include "editor_view/KeyEventTranslation.h"
#include "editor_view/TextViewKeyEvents.h"

#include "ViewTestApplication.h"
#include "preferences/GlobalShortcut.h"

#include <QtGui/QInputDevice>
#include <QtGui/QKeyEvent>

#include <gtest/gtest.h>

using namespace velto;
using namespace velto::editor;

namespace {

constexpr std::uint32_t x11(std::uint32_t evdev) {
    return evdev + 8;
}

// A US keyboard's answers for the few keys these tests press.
std::optional<QString> usKeyboard(std::uint32_t x11KeyCode, bool shift) {
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

QKeyEvent event(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, std::uint32_t scanCode,
                std::uint32_t nativeModifiers, const QString &text) {
    velto::testing::viewTestApplication();
    // A keyboard of the tests' own: Qt's primary keyboard would be made a child of the application, which
    // other tests of this program keep until the process exits, when Qt's device list is already gone.
    static QInputDevice *keyboard =
        new QInputDevice(QStringLiteral("test keyboard"), 1, QInputDevice::DeviceType::Keyboard);
    return QKeyEvent(type, key, modifiers, scanCode, 0, nativeModifiers, text, false, 1, keyboard);
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

namespace {

// Routing with no text: only events and commands are recorded.
class NoTextHost final : public TextViewKeyHost {
public:
    bool isEditable() const override { return true; }
    TextRange selectedRange() const override { return {}; }
    std::u16string substring(TextRange) const override { return {}; }
    bool replaceText(TextRange, std::u16string_view, TextRange) override { return false; }
    void selectAll() override { ++selectAllCalls; }
    void copy() override {}
    void cut() override {}
    void paste() override {}
    void pasteAsPlainText() override {}
    void changeIndentation(bool) override {}
    bool isInsideFencedCode(std::size_t) const override { return false; }
    void withCodeTypingAttributes(const std::function<void()> &body) override { body(); }
    UndoManager *undoManager() override { return nullptr; }
    UndoManager *pageTransitionRedoManager() override { return nullptr; }
    int selectAllCalls = 0;
};

} // namespace

TEST(TextViewKeyEventsTests, AConsumedOverrideSwallowsItsKeyPressAndModifierKeysAreNoKeyDowns) {
    NoTextHost host;
    TextViewKeyRouter router(host);
    router.callbacks.commandShortcuts = [] { return CommandShortcuts{}; };
    std::vector<std::string> seen;
    router.callbacks.editorEventHandler = [&](const EditorEvent &) { seen.push_back("end"); };
    router.callbacks.commandHandler = [&](VeltoCommandID id) {
        seen.push_back(rawValue(id).toStdString());
        return true;
    };
    TextViewKeyEvents events(router, usKeyboard);
    int defaults = 0;
    auto countDefault = [&] { ++defaults; };

    QKeyEvent selectAll = event(QEvent::ShortcutOverride, Qt::Key_A, Qt::ControlModifier, 0, 0, "\x01");
    EXPECT_TRUE(events.shortcutOverride(selectAll));
    QKeyEvent selectAllPress = event(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, 0, 0, "\x01");
    events.keyPress(selectAllPress, countDefault);
    EXPECT_EQ(host.selectAllCalls, 1);
    EXPECT_EQ(defaults, 0);

    QKeyEvent control = event(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier, 0, 0, QString());
    EXPECT_FALSE(events.shortcutOverride(control));
    events.keyPress(control, countDefault);
    QKeyEvent letter = event(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, 0, 0, "x");
    EXPECT_FALSE(events.shortcutOverride(letter));
    events.keyPress(letter, countDefault);
    QKeyEvent escape = event(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, 0, 0, "\x1b");
    events.keyPress(escape, countDefault);
    EXPECT_EQ(defaults, 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"end", "end", "panel.close"}));
}
