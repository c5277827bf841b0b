// The stand-alone shortcut recorder: which presses it records, which it refuses, and what it shows.
#include "settings/ShortcutRecorderView.h"

#include "AccessibilityEvents.h"
#include "settings/ShortcutCapture.h"

#include <QtGui/QAccessible>

#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>
#include <gtest/gtest.h>

namespace velto::testing {
namespace {

using namespace ModifierFlags;

constexpr std::uint32_t spaceKey = 49;
constexpr std::uint32_t aKey = 0;
constexpr std::uint32_t tabKey = 48;
constexpr std::uint32_t escapeKey = 53;

RecorderKeyPress press(std::uint32_t keyCode, std::uint64_t flags, QString characters) {
    return RecorderKeyPress{keyCode, flags, std::move(characters)};
}

class ShortcutRecorderViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        QObject::connect(&view, &ShortcutRecorderView::shortcutRecorded,
                         [this](const GlobalShortcut &shortcut) { reported.push_back(shortcut); });
    }

    std::vector<GlobalShortcut> reported;
    int beeps = 0;
    ShortcutRecorderView view{[this] { ++beeps; }};
};

TEST_F(ShortcutRecorderViewTest, AcceptablePressesAreRecordedAndOthersRefusedWithTheirReason) {
    struct Case {
        const char *name;
        RecorderKeyPress press;
        std::optional<GlobalShortcut> recorded;
        QString refusal;
    };
    const QString modifiers = QStringLiteral("Use Alt, Super, or Shift+Ctrl with another key");
    for (const Case &example : std::initializer_list<Case>{
             {"Alt+Space",
              press(spaceKey, option, QStringLiteral(" ")),
              GlobalShortcut{spaceKey, option, QStringLiteral("Space")},
              {}},
             {"Shift+Ctrl+A",
              press(aKey, shift | command, QStringLiteral("a")),
              GlobalShortcut{aKey, shift | command, QStringLiteral("A")},
              {}},
             {"Super+A",
              press(aKey, control, QStringLiteral("a")),
              GlobalShortcut{aKey, control, QStringLiteral("A")},
              {}},
             // Escape with Alt is a key like any other, and Ctrl+Tab is no focus movement.
             {"Alt+Escape",
              press(escapeKey, option, QStringLiteral("\x1b")),
              GlobalShortcut{escapeKey, option, QStringLiteral("Escape")},
              {}},
             {"Shift+A", press(aKey, shift, QStringLiteral("A")), std::nullopt, modifiers},
             {"Ctrl+A alone", press(aKey, command, QStringLiteral("a")), std::nullopt, modifiers},
             {"Shift+Ctrl+Tab",
              press(tabKey, shift | command, QStringLiteral("\t")),
              GlobalShortcut{tabKey, shift | command, QString()},
              {}},
             {"Ctrl+Alt+Backspace, the X server's own", press(51, command | option, QStringLiteral("\b")), std::nullopt,
              QStringLiteral("That key can’t be used")},
         }) {
        SCOPED_TRACE(example.name);
        view.setShortcut(std::nullopt);
        reported.clear();
        beeps = 0;
        view.handleKeyPress(example.press);
        if (example.recorded) {
            ASSERT_EQ(reported.size(), 1U);
            EXPECT_EQ(reported.front().keyCode, example.recorded->keyCode);
            EXPECT_EQ(reported.front().modifiers, example.recorded->modifiers);
            EXPECT_EQ(view.shortcut(), reported.front());
            EXPECT_EQ(view.hintText(), QStringLiteral("Press a new combination to replace it"));
            EXPECT_EQ(beeps, 0);
        } else {
            EXPECT_TRUE(reported.empty());
            EXPECT_FALSE(view.shortcut().has_value()) << "a refused press leaves the shortcut as it was";
            EXPECT_EQ(beeps, 1);
            if (!example.refusal.isEmpty()) {
                EXPECT_EQ(view.hintText(), example.refusal);
            }
        }
    }
}

TEST_F(ShortcutRecorderViewTest, LabelsAndTheAccessibleValueFollowTheShortcut) {
    EXPECT_EQ(view.shortcutText(), QStringLiteral("Press a shortcut"));
    EXPECT_EQ(view.accessibilityValue(), QStringLiteral("Not set"));
    EXPECT_EQ(view.hintText(), QStringLiteral("Use Alt, Super, or Shift+Ctrl with another key"));
    view.handleKeyPress(press(spaceKey, option, QStringLiteral(" ")));
    EXPECT_EQ(view.shortcutText(), QStringLiteral("Alt+Space"));
    EXPECT_EQ(view.accessibilityValue(), QStringLiteral("Alt Space")) << "spoken in the key names of Linux";
    EXPECT_EQ(view.accessibleHelp(), QStringLiteral("Press a new combination to replace the current shortcut."));
}

TEST_F(ShortcutRecorderViewTest, AssistiveTechnologiesSeeAButtonWithTheValueAndHearRefusals) {
    AccessibilityEvents events;
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Button);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Shortcut, Not set"));
    EXPECT_EQ(accessible->text(QAccessible::Value), QStringLiteral("Not set"));
    EXPECT_EQ(accessible->text(QAccessible::Description),
              QStringLiteral("Press Alt, Super, or Shift-Ctrl with another key."));

    view.handleKeyPress(press(spaceKey, option, QStringLiteral(" ")));
    EXPECT_EQ(accessible->text(QAccessible::Value), QStringLiteral("Alt Space"));
    // Qt's AT-SPI bridge passes no text value of a button on: the name carries the shortcut and tells its change.
    EXPECT_EQ(events.told(&view, QAccessible::NameChanged),
              std::vector<QString>{QStringLiteral("Shortcut, Alt+Space")});
    EXPECT_EQ(events.told(&view, QAccessible::ValueChanged), std::vector<QString>{});

    view.handleKeyPress(press(aKey, shift, QStringLiteral("A")));
    EXPECT_EQ(events.announcements(&view),
              (std::vector<QString>{QStringLiteral("Use Alt, Super, or Shift+Ctrl with another key")}));
    EXPECT_EQ(events.events().back().priority, AnnouncementPriority::high);
    EXPECT_EQ(accessible->text(QAccessible::Value), QStringLiteral("Alt Space")) << "a refusal keeps the shortcut";
    EXPECT_EQ(accessible->text(QAccessible::Description),
              QStringLiteral("Use Alt, Super, or Shift+Ctrl with another key"))
        << "the announcement reaches AT-SPI as the description";
    // The same refusal again is announced again, though the description stays.
    view.handleKeyPress(press(aKey, shift, QStringLiteral("A")));
    EXPECT_EQ(events.announcements(&view).size(), 2U);
}

TEST_F(ShortcutRecorderViewTest, ThePressActionTakesTheWindowsFocusOnlyWhenShown) {
    QWidget window;
    auto *other = new QWidget(&window);
    other->setFocusPolicy(Qt::StrongFocus);
    auto *held = new ShortcutRecorderView({}, &window);
    QAccessibleActionInterface *actions = QAccessible::queryAccessibleInterface(held)->actionInterface();
    ASSERT_NE(actions, nullptr);
    EXPECT_EQ(actions->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    EXPECT_FALSE(held->accessibilityPerformPress()) << "not shown";
    window.show();
    other->setFocus();
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(window.focusWidget(), held);
    EXPECT_TRUE(held->accessibilityPerformPress());
}

TEST_F(ShortcutRecorderViewTest, EscapeAloneEndsTheHoldingDialogAndRecordsNothing) {
    QDialog dialog;
    auto *held = new ShortcutRecorderView({}, &dialog);
    held->setShortcut(GlobalShortcut{spaceKey, option, QStringLiteral("Space")});
    std::optional<int> result;
    QObject::connect(&dialog, &QDialog::finished, [&](int code) { result = code; });
    dialog.open();
    held->handleKeyPress(press(escapeKey, 0, QStringLiteral("\x1b")));
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(held->shortcut()->keyCode, spaceKey);
}

TEST_F(ShortcutRecorderViewTest, KeyEventsTakeTabAsAFocusMoveOnlyWithoutOtherModifiers) {
    // Through the widget's own event handling, where Qt would move the focus on Tab with Super or Caps Lock.
    struct Case {
        const char *name;
        Qt::KeyboardModifiers modifiers;
        bool recorded;
    };
    for (const Case &example : std::initializer_list<Case>{
             {"Tab", Qt::NoModifier, false},
             {"Super+Tab", Qt::MetaModifier, true},
             {"Alt+Tab", Qt::AltModifier, true},
         }) {
        SCOPED_TRACE(example.name);
        reported.clear();
        QKeyEvent event(QEvent::KeyPress, Qt::Key_Tab, example.modifiers, QStringLiteral("\t"));
        QApplication::sendEvent(&view, &event);
        EXPECT_EQ(reported.size(), example.recorded ? 1U : 0U);
        EXPECT_TRUE(event.isAccepted());
    }
}

} // namespace
} // namespace velto::testing
