#include "editor_view/input/KeyDispatch.h"
#include "editor_view/input/TextViewKeyEvents.h"
#include "editor_view/input/TextViewKeyRouter.h"

#include "ViewTestApplication.h"
#include "editor/TestEditingTarget.h"
#include "support/ui/TestKeyEvents.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velto;
using namespace velto::editor;
using velto::testing::keyEvent;
using velto::testing::usKeyboard;

namespace {

CommandShortcuts testShortcuts() {
    return CommandShortcuts{
        {VeltoCommandID::newPage, GlobalShortcut{0x2D, ModifierFlags::command, QStringLiteral("N")}},
        {VeltoCommandID::nextPage, GlobalShortcut{0x1E, ModifierFlags::command, QStringLiteral("]")}},
    };
}

KeyDecision decision(KeyDecision::Kind kind) {
    KeyDecision made;
    made.kind = kind;
    return made;
}
KeyDecision ordinary(KeyDecision made) {
    made.ordinaryKeyDown = true;
    return made;
}
KeyDecision veltoDecision(VeltoKeyCommand::Kind kind, VeltoCommandID id, std::uint64_t flags = 0) {
    KeyDecision made = decision(KeyDecision::Kind::veltoCommand);
    made.velto = {kind, id, flags};
    return made;
}
KeyDecision view(ViewKeyCommand command) {
    KeyDecision made = decision(KeyDecision::Kind::viewCommand);
    made.view = command;
    return made;
}
KeyDecision typed(std::u16string text) {
    KeyDecision made = decision(KeyDecision::Kind::typedText);
    made.text = std::move(text);
    return made;
}

using VeltoKind = VeltoKeyCommand::Kind;
const KeyDecision ignore = decision(KeyDecision::Kind::ignore);
const KeyDecision claim = decision(KeyDecision::Kind::claim);

} // namespace

TEST(KeyDispatchTests, EachKeyEventGetsOneDecision) {
    velto::testing::viewTestApplication();
    using enum KeyPhase;
    constexpr auto command = Qt::ControlModifier;
    struct Row {
        const char *what;
        KeyPhase phase;
        QEvent::Type type;
        int key;
        Qt::KeyboardModifiers modifiers;
        const char *text;
        KeyDecision expected;
        bool composing = false;
        bool equivalentRan = false;
    };
    const Row rows[] = {
        {"select all runs on the override", shortcutOverride, QEvent::ShortcutOverride, Qt::Key_A, command, "\x01",
         view(ViewKeyCommand::keyEquivalent(LocalShortcutAction::Kind::selectAll))},
        {"Command-B wraps in markers", shortcutOverride, QEvent::ShortcutOverride, Qt::Key_B, command, "\x02",
         view(ViewKeyCommand::wrapInMarkers(u"**"))},
        {"a command's shortcut", shortcutOverride, QEvent::ShortcutOverride, Qt::Key_N, command, "\x0e",
         veltoDecision(VeltoKind::run, VeltoCommandID::newPage)},
        {"a page shortcut", shortcutOverride, QEvent::ShortcutOverride, Qt::Key_BracketRight, command, "\x1d",
         veltoDecision(VeltoKind::cyclePage, VeltoCommandID::nextPage, ModifierFlags::command)},
        {"a typing key is claimed", shortcutOverride, QEvent::ShortcutOverride, Qt::Key_X, {}, "x", claim},
        {"an arrow is claimed", shortcutOverride, QEvent::ShortcutOverride, Qt::Key_Left, {}, "", claim},
        {"F5 is not the view's", shortcutOverride, QEvent::ShortcutOverride, Qt::Key_F5, {}, "", ignore},
        {"a modifier key is no equivalent", shortcutOverride, QEvent::ShortcutOverride, Qt::Key_Shift, {}, "", ignore},
        {"the press of a run equivalent", press, QEvent::KeyPress, Qt::Key_A, command, "\x01", claim, false, true},
        {"a typed letter", press, QEvent::KeyPress, Qt::Key_X, {}, "x", ordinary(typed(u"x"))},
        {"a typed capital", press, QEvent::KeyPress, Qt::Key_X, Qt::ShiftModifier, "X", ordinary(typed(u"X"))},
        {"a typed space", press, QEvent::KeyPress, Qt::Key_Space, {}, " ", ordinary(typed(u" "))},
        {"Delete",
         press,
         QEvent::KeyPress,
         Qt::Key_Delete,
         {},
         "\x7f",
         ordinary(view(ViewKeyCommand::keyBinding(TextViewCommand::deleteForward)))},
        {"Alt-Space types nothing", press, QEvent::KeyPress, Qt::Key_Space, Qt::AltModifier, " ", ordinary(ignore)},
        {"a key without a meaning", press, QEvent::KeyPress, Qt::Key_K, command, "\x0b", ordinary(ignore)},
        {"an arrow",
         press,
         QEvent::KeyPress,
         Qt::Key_Left,
         {},
         "",
         ordinary(view(ViewKeyCommand::keyBinding(TextViewCommand::moveBackward)))},
        {"Return", press, QEvent::KeyPress, Qt::Key_Return, Qt::ShiftModifier, "\r",
         ordinary(view(ViewKeyCommand::keyBinding(TextViewCommand::insertNewline)))},
        {"Tab indents", press, QEvent::KeyPress, Qt::Key_Tab, {}, "\t", view(ViewKeyCommand::changeIndentation(false))},
        {"Shift-Tab outdents", press, QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier, "",
         view(ViewKeyCommand::changeIndentation(true))},
        {"Command-Tab neither indents nor types", press, QEvent::KeyPress, Qt::Key_Tab, command, "\t",
         ordinary(ignore)},
        {"Escape closes the panel",
         press,
         QEvent::KeyPress,
         Qt::Key_Escape,
         {},
         "\x1b",
         ordinary(veltoDecision(VeltoKind::run, VeltoCommandID::closePanel))},
        {"Escape with the keypad flag closes the panel", press, QEvent::KeyPress, Qt::Key_Escape, Qt::KeypadModifier,
         "\x1b", ordinary(veltoDecision(VeltoKind::run, VeltoCommandID::closePanel))},
        {"Shift+Escape leaves the panel open", press, QEvent::KeyPress, Qt::Key_Escape, Qt::ShiftModifier, "\x1b",
         ordinary(ignore)},
        {"Alt+Escape leaves the panel open", press, QEvent::KeyPress, Qt::Key_Escape, Qt::AltModifier, "\x1b",
         ordinary(ignore)},
        {"Ctrl+Escape leaves the panel open", press, QEvent::KeyPress, Qt::Key_Escape, command, "\x1b",
         ordinary(ignore)},
        {"Super+Escape leaves the panel open", press, QEvent::KeyPress, Qt::Key_Escape, Qt::MetaModifier, "\x1b",
         ordinary(ignore)},
        {"Escape while composing is the input method's",
         press,
         QEvent::KeyPress,
         Qt::Key_Escape,
         {},
         "\x1b",
         ignore,
         true},
        {"a page shortcut's press", press, QEvent::KeyPress, Qt::Key_BracketRight, command, "\x1d",
         veltoDecision(VeltoKind::cyclePage, VeltoCommandID::nextPage, ModifierFlags::command)},
        {"a modifier goes down",
         press,
         QEvent::KeyPress,
         Qt::Key_Control,
         {},
         "",
         veltoDecision(VeltoKind::modifiersChanged, VeltoCommandID::closePanel, ModifierFlags::command)},
        {"a modifier goes up", release, QEvent::KeyRelease, Qt::Key_Control, command, "",
         veltoDecision(VeltoKind::modifiersChanged, VeltoCommandID::closePanel, 0)},
        {"a letter goes up", release, QEvent::KeyRelease, Qt::Key_X, {}, "x", ignore},
    };
    for (const Row &row : rows) {
        KeyContext context{row.phase, testShortcuts, usKeyboard, row.composing, row.equivalentRan};
        QKeyEvent event = keyEvent(row.type, row.key, row.modifiers, 0, 0, QString::fromLatin1(row.text));
        EXPECT_EQ(dispatchKey(event, context), row.expected) << row.what;
    }
}

namespace {

/// Records the commands run and the page cycles ended; no command has a shortcut.
struct SeenCommands final : TextViewCommandHost {
    std::vector<std::string> seen;
    void performCommand(VeltoCommandID id) override { seen.push_back(rawValue(id).toStdString()); }
    CommandShortcuts commandShortcuts() const override { return {}; }
    void editorEvent(const EditorEvent &) override { seen.push_back("end"); }
};

class CountingTarget final : public velto::editor::testing::TestEditingTarget {
public:
    void selectAllText() override { ++selectAllCalls; }
    int selectAllCalls = 0;
};

bool runsAnEquivalent(const KeyDecision &decision) {
    return decision.kind == KeyDecision::Kind::veltoCommand || decision.kind == KeyDecision::Kind::viewCommand;
}

} // namespace

TEST(TextViewKeyEventsTests, AConsumedOverrideSwallowsItsKeyPressAndModifierKeysAreNoKeyDowns) {
    velto::testing::viewTestApplication();
    CountingTarget host;
    SeenCommands owner;
    TextViewKeyRouter router(host, owner);
    std::vector<std::string> &seen = owner.seen;
    TextViewKeyEvents events([&] { return owner.commandShortcuts(); }, usKeyboard);
    int defaults = 0;
    auto countDefault = [&] { ++defaults; };
    auto override = [&](const QKeyEvent &event) {
        const KeyDecision decision = events.shortcutOverride(event);
        router.carryOut(decision, countDefault);
        return runsAnEquivalent(decision);
    };
    auto press = [&](const QKeyEvent &event) { router.carryOut(events.keyPress(event, false), countDefault); };

    QKeyEvent selectAll = keyEvent(QEvent::ShortcutOverride, Qt::Key_A, Qt::ControlModifier, 0, 0, "\x01");
    EXPECT_TRUE(override(selectAll));
    QKeyEvent selectAllPress = keyEvent(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, 0, 0, "\x01");
    press(selectAllPress);
    EXPECT_EQ(host.selectAllCalls, 1);
    EXPECT_EQ(defaults, 0);

    QKeyEvent control = keyEvent(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier, 0, 0, QString());
    EXPECT_FALSE(override(control));
    press(control);
    QKeyEvent letter = keyEvent(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, 0, 0, "x");
    EXPECT_FALSE(override(letter));
    press(letter);
    QKeyEvent escape = keyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, 0, 0, "\x1b");
    press(escape);
    EXPECT_EQ(defaults, 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"end", "end", "panel.close"}));
}
