// The Welcome window on the offscreen platform: which key presses and gestures answer it, and with what.
#include "AppTestSupport.h"
#include "app/welcome/WelcomeViews.h"
#include "app/welcome/WelcomeWindowController.h"
#include "platform/desktop/KeyCodes.h"
#include "preferences/Preferences.h"
#include "support/TemporaryFolder.h"

#include <QtCore/QTimer>
#include <QtGui/QAccessible>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QPushButton>

#include <gtest/gtest.h>

#include <functional>

namespace velto {
namespace {

// X11 key codes of the keys used here (evdev code + 8).
constexpr quint32 x11Space = 65;
constexpr quint32 x11K = 45;

class WelcomeWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::widgetApplication();
        preferences = testing::usePreferencesFile(folder / "Velto.json");
        VeltoPreferences::registerDefaults();
    }
    void TearDown() override { VeltoPreferences::useStorage(nullptr); }

    /// Runs the window modally and does `act` to it once it is up; answers what the window answered.
    WelcomeChoice runAndAct(WelcomeWindowController &welcome, const std::function<void()> &act) {
        QTimer poll;
        bool acted = false;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!acted && QApplication::activeModalWidget() == &welcome && welcome.isVisible()) {
                acted = true;
                act();
            }
        });
        poll.start(5);
        WelcomeChoice choice = welcome.runModal();
        EXPECT_TRUE(acted);
        EXPECT_FALSE(welcome.isVisible());
        return choice;
    }

    static void press(QWidget *receiver, int key, Qt::KeyboardModifiers modifiers, quint32 x11KeyCode = 0) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, x11KeyCode, 0, 0);
        QCoreApplication::sendEvent(receiver, &event);
    }

    testing::TemporaryFolder folder;
    std::unique_ptr<PreferencesStore> preferences;
};

TEST_F(WelcomeWindowTest, ReturnTheButtonAndTheShortcutStartWritingWhileClosingCancels) {
    struct Case {
        const char *name;
        bool switchOn;
        std::function<void(WelcomeWindowController &)> act;
        WelcomeChoice expected;
    };
    const Case cases[] = {
        {"Return", true, [](auto &w) { press(w.focusWidget(), Qt::Key_Return, Qt::NoModifier); },
         WelcomeChoice::startWriting(true)},
        {"Return with the switch off", false, [](auto &w) { press(w.focusWidget(), Qt::Key_Return, Qt::NoModifier); },
         WelcomeChoice::startWriting(false)},
        {"Return on the switch", true,
         [](auto &w) {
             w.launchAtLoginSwitch()->setFocus();
             press(w.launchAtLoginSwitch(), Qt::Key_Return, Qt::NoModifier);
         },
         WelcomeChoice::startWriting(true)},
        {"the button", false, [](auto &w) { w.startWritingButton()->click(); }, WelcomeChoice::startWriting(false)},
        {"the show-or-hide shortcut", true,
         [](auto &w) { press(w.focusWidget(), Qt::Key_Space, Qt::AltModifier, x11Space); },
         WelcomeChoice::startWriting(true)},
        {"the shortcut with Shift as well", true,
         [](auto &w) {
             press(w.focusWidget(), Qt::Key_Space, Qt::AltModifier | Qt::ShiftModifier, x11Space);
             if (w.isVisible()) {
                 w.close();
             }
         },
         WelcomeChoice::cancel()},
        {"closing", true, [](auto &w) { w.close(); }, WelcomeChoice::cancel()},
        {"Escape", true, [](auto &w) { press(w.focusWidget(), Qt::Key_Escape, Qt::NoModifier); },
         WelcomeChoice::cancel()},
    };
    for (const Case &test : cases) {
        WelcomeWindowController welcome;
        welcome.launchAtLoginSwitch()->setChecked(test.switchOn);
        EXPECT_EQ(runAndAct(welcome, [&] { test.act(welcome); }), test.expected) << test.name;
    }
}

// The Welcome teaches the shortcut the user has, as stored: a user who recorded Alt+J is not told to press Alt+Space.
TEST_F(WelcomeWindowTest, TheKeycapsAndTheSpokenSentenceNameTheShortcutInEffect) {
    struct Case {
        const char *name;
        GlobalShortcut shortcut;
        QStringList keycaps;
        QString sentence;
    };
    const Case cases[] = {
        {"the default",
         VeltoPreferences::defaultGlobalShortcut(),
         {QStringLiteral("Alt"), QStringLiteral("Space")},
         QStringLiteral("Press Alt Space to capture a thought.")},
        {"Alt+J, recorded in Settings",
         {38, keyCodes::optionFlag, QStringLiteral("J")},
         {QStringLiteral("Alt"), QStringLiteral("J")},
         QStringLiteral("Press Alt J to capture a thought.")},
        {"Ctrl+Shift+K",
         {40, keyCodes::commandFlag | keyCodes::shiftFlag, QStringLiteral("K")},
         {QStringLiteral("Ctrl"), QStringLiteral("Shift"), QStringLiteral("K")},
         QStringLiteral("Press Ctrl Shift K to capture a thought.")},
        {"every modifier with Space",
         {49, keyCodes::commandFlag | keyCodes::optionFlag | keyCodes::shiftFlag | keyCodes::controlFlag,
          QStringLiteral("Space")},
         {QStringLiteral("Ctrl"), QStringLiteral("Alt"), QStringLiteral("Shift"), QStringLiteral("Super"),
          QStringLiteral("Space")},
         QStringLiteral("Press Ctrl Alt Shift Super Space to capture a thought.")},
        {"Super+F5",
         {96, keyCodes::controlFlag, QStringLiteral("F5")},
         {QStringLiteral("Super"), QStringLiteral("F5")},
         QStringLiteral("Press Super F5 to capture a thought.")},
    };
    for (const Case &test : cases) {
        VeltoPreferences::setGlobalShortcut(test.shortcut);
        WelcomeWindowController welcome;
        auto *instruction = welcome.findChild<WelcomeInstructionView *>();
        ASSERT_NE(instruction, nullptr) << test.name;
        EXPECT_EQ(instruction->keycaps(), test.keycaps) << test.name;
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(instruction);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->role(), QAccessible::StaticText);
        EXPECT_EQ(accessible->text(QAccessible::Name), test.sentence) << test.name;
        EXPECT_EQ(accessible->childCount(), 0);
        EXPECT_EQ(welcome.chooseShortcutButton(), nullptr) << test.name;
        // The whole sentence is seen: no keycap is cut off by the window's edge.
        welcome.show();
        QRect shown(instruction->mapTo(&welcome, QPoint(0, 0)), instruction->size());
        EXPECT_TRUE(welcome.rect().contains(shown)) << test.name;
        EXPECT_GE(instruction->width(), instruction->sizeHint().width()) << test.name;
        welcome.hide();
    }
}

TEST_F(WelcomeWindowTest, TheKeyMonitorAnswersTheShortcutItTeaches) {
    GlobalShortcut changed{40, keyCodes::commandFlag | keyCodes::shiftFlag, QStringLiteral("K")}; // Ctrl+Shift+K
    VeltoPreferences::setGlobalShortcut(changed);
    WelcomeWindowController welcome;
    WelcomeChoice choice = runAndAct(welcome, [&] {
        press(welcome.focusWidget(), Qt::Key_Space, Qt::AltModifier, x11Space); // no longer the shortcut
        EXPECT_TRUE(welcome.isVisible());
        press(welcome.focusWidget(), Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier, x11K);
    });
    EXPECT_EQ(choice, WelcomeChoice::startWriting(true));

    VeltoPreferences::setGlobalShortcut(std::nullopt); // none: no key press answers
    EXPECT_FALSE(
        isShowOrHideShortcut(VeltoPreferences::globalShortcut(), 40, keyCodes::commandFlag | keyCodes::shiftFlag));
}

// Where no shortcut works, the Welcome says why instead of teaching a key, and offers to choose one.
TEST_F(WelcomeWindowTest, WithoutAWorkingShortcutTheWelcomeSaysWhyAndOffersToChooseOne) {
    struct Case {
        const char *name;
        std::optional<GlobalShortcut> stored;
        std::optional<GlobalShortcut> taken;
        QString reason;
    };
    const GlobalShortcut altJ{38, keyCodes::optionFlag, QStringLiteral("J")};
    const Case cases[] = {
        {"Alt+J taken", altJ, altJ, QStringLiteral("Alt+J is already in use by another program.")},
        {"none set", std::nullopt, std::nullopt, QStringLiteral("No shortcut is set to show or hide Velto.")},
    };
    for (const Case &test : cases) {
        VeltoPreferences::setGlobalShortcut(test.stored);
        WelcomeWindowController welcome(test.taken);
        EXPECT_EQ(welcome.findChild<WelcomeInstructionView *>(), nullptr) << test.name;
        auto *invitation = welcome.findChild<WelcomeChooseShortcutView *>();
        ASSERT_NE(invitation, nullptr) << test.name;
        EXPECT_EQ(invitation->lines(),
                  (QStringList{QStringLiteral("Choose a shortcut to capture a thought."), test.reason}))
            << test.name;
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(invitation);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name),
                  QStringLiteral("Choose a shortcut to capture a thought. ") + test.reason)
            << test.name;
        ASSERT_NE(welcome.chooseShortcutButton(), nullptr) << test.name;
        EXPECT_TRUE(welcome.chooseShortcutButton()->isDefault()) << test.name;
    }
}

// Another program holds Alt+Space: the Welcome says so instead of teaching it, and Return leads to another.
TEST_F(WelcomeWindowTest, ATakenShortcutIsNamedAndReturnChoosesAnotherWhileTheButtonStillStartsWriting) {
    WelcomeWindowController welcome(VeltoPreferences::defaultGlobalShortcut());
    EXPECT_EQ(welcome.findChild<WelcomeInstructionView *>(), nullptr) << "the Welcome teaches a key that does nothing";
    auto *taken = welcome.findChild<WelcomeChooseShortcutView *>();
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->lines(), (QStringList{QStringLiteral("Choose a shortcut to capture a thought."),
                                           QStringLiteral("Alt+Space is already in use by another program.")}));
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(taken);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::StaticText);
    EXPECT_EQ(
        accessible->text(QAccessible::Name),
        QStringLiteral("Choose a shortcut to capture a thought. Alt+Space is already in use by another program."));
    ASSERT_NE(welcome.chooseShortcutButton(), nullptr);
    EXPECT_EQ(welcome.chooseShortcutButton()->text(), QStringLiteral("Choose a shortcut…"));

    struct Case {
        const char *name;
        std::function<void(WelcomeWindowController &)> act;
        WelcomeChoice expected;
    };
    const Case cases[] = {
        {"Return", [](auto &w) { press(w.focusWidget(), Qt::Key_Return, Qt::NoModifier); },
         WelcomeChoice::chooseShortcut(true)},
        {"Choose a shortcut…", [](auto &w) { w.chooseShortcutButton()->click(); }, WelcomeChoice::chooseShortcut(true)},
        {"Start writing", [](auto &w) { w.startWritingButton()->click(); }, WelcomeChoice::startWriting(true)},
    };
    for (const Case &test : cases) {
        WelcomeWindowController answered(VeltoPreferences::defaultGlobalShortcut());
        EXPECT_EQ(runAndAct(answered, [&] { test.act(answered); }), test.expected) << test.name;
    }
}

} // namespace
} // namespace velto
