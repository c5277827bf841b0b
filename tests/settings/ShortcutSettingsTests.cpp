#include "SettingsTestSupport.h"

#include "preferences/KeyboardSettings.h"
#include "settings/InlineShortcutRecorder.h"
#include "settings/SettingsTexts.h"
#include "ui/HoverButton.h"

#include <QtWidgets/QLabel>

namespace velto::testing {
namespace {

using namespace ModifierFlags;
using Shortcuts = SettingsWindowTest;

const GlobalShortcut optionK{40, option, QStringLiteral("K")};
const GlobalShortcut optionSpace{49, option, QStringLiteral("Space")};
const GlobalShortcut commandC{8, command, QStringLiteral("C")};
constexpr ShortcutRegistrationAvailability toggleFails{false, true};
constexpr ShortcutRegistrationAvailability appendFails{true, false};

TEST_F(Shortcuts, GlobalShortcutEqualToTheOtherIsRefusedWithoutTouchingAnything) {
    SettingsWindowController &c = controller();
    doubles.calls.clear();
    EXPECT_FALSE(c.shortcutsPage().applyShortcut(VeltoPreferences::defaultAppendClipboardShortcut()));
    EXPECT_FALSE(c.shortcutsPage().applyAppendShortcut(VeltoPreferences::defaultGlobalShortcut()));
    EXPECT_EQ(VeltoPreferences::globalShortcut(), VeltoPreferences::defaultGlobalShortcut());
    EXPECT_EQ(doubles.count("register"), 0);
}

TEST_F(Shortcuts, NewGlobalShortcutIsStoredAndRegistered) {
    EXPECT_TRUE(controller().shortcutsPage().applyShortcut(optionK));
    EXPECT_EQ(VeltoPreferences::globalShortcut(), optionK);
    EXPECT_EQ(doubles.count("register"), 1);
    EXPECT_EQ(controller().shortcutsPage().shortcutRecorder->shortcut(), optionK);
    EXPECT_FALSE(controller().shortcutsPage().restoreShortcutsFooter->isHidden());
}

TEST_F(Shortcuts, UnregistrableGlobalShortcutRollsBackAndWarnsOnlyWhenThePreviousFailsToo) {
    struct Case {
        std::deque<ShortcutRegistrationAvailability> registrations;
        std::vector<std::string> alerts;
    };
    const Case cases[] = {
        {{toggleFails, {}}, {}},
        {{toggleFails, toggleFails}, {"Previous Shortcut Is Unavailable"}},
    };
    for (const Case &test : cases) {
        VeltoPreferences::setGlobalShortcut(optionSpace);
        doubles.registrations = test.registrations;
        doubles.alerts.clear();
        EXPECT_FALSE(controller().shortcutsPage().applyShortcut(optionK));
        EXPECT_EQ(VeltoPreferences::globalShortcut(), optionSpace);
        QCoreApplication::processEvents();
        EXPECT_EQ(doubles.alertTitles(), test.alerts);
    }
    EXPECT_EQ(doubles.alerts.back().message,
              QStringLiteral("Velto restored the previous shortcut setting, but the system could not register it. "
                             "Choose another shortcut."));
}

// A global shortcut that is not registered says so under its row, with the reason, until a registration works.
TEST_F(Shortcuts, AGlobalShortcutLeftUnregisteredSaysWhyUnderItsRow) {
    struct Case {
        const char *name;
        ShortcutRegistrationAvailability availability;
        std::optional<GlobalShortcut> appendShortcut;
        QString showOrHideDetail;
        QString appendDetail;
    };
    const QString showOrHideWorks = QStringLiteral("Show or hide Velto from anywhere.");
    const QString appendWorks = QStringLiteral("Append plain text without switching apps.");
    const QString altSpaceTaken =
        QStringLiteral("Unavailable: Alt+Space is in use by another app. Choose another shortcut.");
    const Case cases[] = {
        {"both registered", {}, optionK, showOrHideWorks, appendWorks},
        {"show/hide taken, clipboard waits for it",
         {false, false},
         optionK,
         altSpaceTaken,
         QStringLiteral("Unavailable until the show/hide shortcut works.")},
        {"show/hide taken, clipboard unset", {false, false}, std::nullopt, altSpaceTaken, appendWorks},
        {"clipboard taken", appendFails, optionK, showOrHideWorks,
         QStringLiteral("Unavailable: Alt+K is in use by another app. Choose another shortcut.")},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        VeltoPreferences::setGlobalShortcut(optionSpace);
        VeltoPreferences::setAppendClipboardShortcut(test.appendShortcut);
        doubles.availability = test.availability;
        ShortcutsSettingsPage &page = controller().shortcutsPage();
        page.updateControls();
        EXPECT_EQ(page.showOrHideDetail->text(), test.showOrHideDetail);
        EXPECT_EQ(page.appendDetail->text(), test.appendDetail);
    }
}

TEST_F(Shortcuts, ClearingAGlobalShortcutIsAlwaysAccepted) {
    doubles.registrations = {appendFails};
    EXPECT_TRUE(controller().shortcutsPage().applyShortcut(std::nullopt));
    EXPECT_EQ(VeltoPreferences::globalShortcut(), std::nullopt);
}

TEST_F(Shortcuts, CommandShortcutClashesAreRefusedAndNamedInOrder) {
    SettingsWindowController &c = controller();
    GlobalShortcut archive = *shortcut(VeltoCommandID::archivePage);
    // Another command's shortcut: refused and named after that command.
    EXPECT_FALSE(c.shortcutsPage().apply(archive, VeltoCommandID::newPage));
    EXPECT_EQ(c.shortcutsPage().shortcutConflictDescription(archive, VeltoCommandID::newPage),
              QStringLiteral("Already used by ") + VeltoCommandCatalog::descriptor(VeltoCommandID::archivePage).title);
    // The command's own shortcut is no clash with itself.
    EXPECT_TRUE(c.shortcutsPage().apply(archive, VeltoCommandID::archivePage));
    // A native editing command: refused with the general wording.
    EXPECT_FALSE(c.shortcutsPage().apply(commandC, VeltoCommandID::newPage));
    EXPECT_EQ(c.shortcutsPage().shortcutConflictDescription(commandC, VeltoCommandID::newPage), std::nullopt);
    // Named special keys of the global shortcuts clash by key code.
    EXPECT_FALSE(c.shortcutsPage().apply(optionSpace, VeltoCommandID::newPage));
    EXPECT_EQ(c.shortcutsPage().shortcutConflictDescription(optionSpace, std::nullopt),
              QStringLiteral("Already used by Show or Hide Velto"));
    // Free: stored, nothing registered.
    doubles.calls.clear();
    EXPECT_TRUE(c.shortcutsPage().apply(optionK, VeltoCommandID::newPage));
    EXPECT_EQ(shortcut(VeltoCommandID::newPage), optionK);
    EXPECT_EQ(doubles.count("register"), 0);
}

TEST_F(Shortcuts, ClearingACommandStoresNoShortcutAndShowsTheFooter) {
    SettingsWindowController &c = controller();
    EXPECT_TRUE(c.shortcutsPage().restoreShortcutsFooter->isHidden());
    EXPECT_TRUE(c.shortcutsPage().apply(std::nullopt, VeltoCommandID::nextPage));
    EXPECT_EQ(shortcut(VeltoCommandID::nextPage), std::nullopt);
    c.updateShortcutControls();
    EXPECT_FALSE(c.shortcutsPage().restoreShortcutsFooter->isHidden());
}

TEST_F(Shortcuts, RestoreDefaultShortcutsWritesOneBatchOrRollsBack) {
    VeltoPreferences::setGlobalShortcut(optionK);
    setShortcut(VeltoCommandID::newPage, std::nullopt);
    SettingsWindowController &c = controller();

    doubles.registrations = {toggleFails, {}};
    preferenceChanges = 0;
    c.shortcutsPage().restoreDefaultShortcuts();
    EXPECT_EQ(VeltoPreferences::globalShortcut(), optionK);
    EXPECT_EQ(shortcut(VeltoCommandID::newPage), std::nullopt);
    EXPECT_EQ(preferenceChanges, 2); // the defaults, then the rollback
    EXPECT_EQ(c.shortcutsPage().shortcutRecorder->shortcut(), optionK);
    EXPECT_TRUE(doubles.alerts.empty());

    preferenceChanges = 0;
    doubles.calls.clear();
    c.shortcutsPage().restoreDefaultShortcuts();
    EXPECT_EQ(VeltoPreferences::globalShortcut(), optionSpace);
    EXPECT_NE(shortcut(VeltoCommandID::newPage), std::nullopt);
    EXPECT_EQ(preferenceChanges, 1);
    EXPECT_EQ(doubles.count("register"), 1);
    EXPECT_TRUE(c.shortcutsPage().restoreShortcutsFooter->isHidden());
}

TEST_F(Shortcuts, RestoreAllDefaultsOutcomes) {
    struct Case {
        const char *name;
        LaunchAtLoginStatus status;
        std::optional<std::string> registerError;
        std::optional<std::string> unregisterError;
        std::deque<ShortcutRegistrationAvailability> registrations;
        std::vector<std::string> loginCalls;
        std::optional<std::string> message; // nothing: success
        bool preferencesRestored;
    };
    const Case cases[] = {
        {"success", LaunchAtLoginStatus::disabled, {}, {}, {}, {"login:register"}, {}, true},
        {"already on",
         LaunchAtLoginStatus::requiresApproval,
         {},
         {},
         {toggleFails, {}},
         {},
         "Another application uses Alt+Space, the default shortcut to show or hide Velto. No settings were changed, "
         "and Alt+K stays your shortcut; you can choose a different one in Shortcuts. To restore all defaults, free "
         "Alt+Space in the other application or in your desktop’s keyboard settings, then try again.",
         false},
        {"login fails",
         LaunchAtLoginStatus::unavailable,
         "no folder",
         {},
         {},
         {"login:register"},
         "Velto could not enable Launch at login. No other settings were changed. no folder",
         false},
        {"defaults unavailable",
         LaunchAtLoginStatus::disabled,
         {},
         {},
         {toggleFails, {}},
         {"login:register", "login:unregister"},
         "Another application uses Alt+Space, the default shortcut to show or hide Velto. No settings were changed, "
         "and Alt+K stays your shortcut; you can choose a different one in Shortcuts. To restore all defaults, free "
         "Alt+Space in the other application or in your desktop’s keyboard settings, then try again.",
         false},
        {"both unavailable",
         LaunchAtLoginStatus::disabled,
         {},
         {},
         {toggleFails, appendFails},
         {"login:register", "login:unregister"},
         "Another application uses Alt+Space, the default shortcut to show or hide Velto. No settings were changed, "
         "but your previous shortcuts could not all be registered again either. Choose different shortcuts in "
         "Shortcuts.",
         false},
        {"undo fails",
         LaunchAtLoginStatus::disabled,
         {},
         "busy",
         {toggleFails, {}},
         {"login:register", "login:unregister"},
         "Shortcut restoration failed, and Velto could not restore Launch at login. busy",
         false},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        VeltoPreferences::setAppearance(AppearanceChoice::dark);
        VeltoPreferences::setGlobalShortcut(optionK);
        doubles.calls.clear();
        doubles.alerts.clear();
        doubles.launchStatus = test.status;
        doubles.registerError = test.registerError;
        doubles.unregisterError = test.unregisterError;
        doubles.registrations = test.registrations;
        makeController(doubles.callbacks());
        controller_->restoreAllDefaults();
        QCoreApplication::processEvents();

        std::vector<std::string> loginCalls;
        for (const std::string &call : doubles.calls) {
            if (call.starts_with("login:")) {
                loginCalls.push_back(call);
            }
        }
        EXPECT_EQ(loginCalls, test.loginCalls);
        EXPECT_EQ(VeltoPreferences::appearance() == AppearanceChoice::system, test.preferencesRestored);
        if (test.message) {
            ASSERT_EQ(doubles.alerts.size(), 1u);
            EXPECT_EQ(doubles.alerts[0].title, QStringLiteral("Couldn’t Restore All Settings"));
            EXPECT_EQ(doubles.alerts[0].message.toStdString(), *test.message);
            EXPECT_EQ(VeltoPreferences::globalShortcut(), optionK);
        } else {
            EXPECT_TRUE(doubles.alerts.empty());
            EXPECT_EQ(VeltoPreferences::globalShortcut(), optionSpace);
            EXPECT_EQ(doubles.count("appearance"), 1);
            EXPECT_EQ(doubles.count("autoArchive:oneWeek") + doubles.count("autoArchive:oneDay") +
                          doubles.count("autoArchive:oneMonth") + doubles.count("autoArchive:never"),
                      1);
        }
    }
}

// Trying the defaults disables "Restore all defaults…" for a moment; a refused restore leaves the focus on it, where
// the alert gives the keyboard back, not on the sidebar.
TEST_F(Shortcuts, ARefusedRestoreLeavesTheFocusOnItsButton) {
    VeltoPreferences::registerDefaults(); // every setting at its default once the shortcuts are
    VeltoPreferences::setGlobalShortcut(optionK);
    doubles.launchStatus = LaunchAtLoginStatus::disabled;
    doubles.registrations = {toggleFails, {}};
    makeController(doubles.callbacks());
    controller_->showWindow();
    QWidget *button = controller_->generalPage().restoreAllDefaultsButton;
    button->setFocus();
    ASSERT_EQ(controller_->window()->focusWidget(), button);
    controller_->restoreAllDefaults();
    QCoreApplication::processEvents();
    ASSERT_EQ(doubles.alerts.size(), 1u);
    EXPECT_EQ(controller_->window()->focusWidget(), button);
}

// The refusal names the taken default, the shortcut the user keeps (or that none is set) and the way out.
TEST(RestoreAllDefaultsRefusal, NamesTheTakenDefaultWhatStaysAndWhatToDo) {
    const GlobalShortcut shiftCommandV{9, shift | command, QStringLiteral("V")};
    struct Case {
        const char *name;
        bool showOrHide;
        std::optional<GlobalShortcut> kept;
        bool keptWorks;
        std::string message;
    };
    const Case cases[] = {
        {"the clipboard default, another kept", false, shiftCommandV, true,
         "Another application uses Ctrl+Alt+V, the default shortcut to append clipboard text. No settings were "
         "changed, and Ctrl+Shift+V stays your shortcut; you can choose a different one in Shortcuts. To restore all "
         "defaults, free Ctrl+Alt+V in the other application or in your desktop’s keyboard settings, then try "
         "again."},
        {"the show/hide default, none set", true, std::nullopt, true,
         "Another application uses Alt+Space, the default shortcut to show or hide Velto. No settings were changed, "
         "and no shortcut is set for it; you can choose one in Shortcuts. To restore all defaults, free Alt+Space "
         "in the other application or in your desktop’s keyboard settings, then try again."},
    };
    for (const Case &test : cases) {
        GlobalShortcut taken = test.showOrHide ? VeltoPreferences::defaultGlobalShortcut()
                                               : VeltoPreferences::defaultAppendClipboardShortcut();
        EXPECT_EQ(
            SettingsTexts::defaultShortcutTakenMessage(test.showOrHide, taken, test.kept, test.keptWorks).toStdString(),
            test.message)
            << test.name;
    }
}

TEST_F(Shortcuts, CancellingTheConfirmationChangesNothing) {
    VeltoPreferences::setAppearance(AppearanceChoice::dark);
    finish(controller().confirmRestoreAllDefaults());
    EXPECT_EQ(doubles.alertTitles(), (std::vector<std::string>{"Restore all settings to their defaults?"}));
    EXPECT_EQ(VeltoPreferences::appearance(), AppearanceChoice::dark);
    doubles.alertAnswers = {firstButtonResponse};
    finish(controller().confirmRestoreAllDefaults());
    EXPECT_EQ(VeltoPreferences::appearance(), AppearanceChoice::system);
}

TEST_F(Shortcuts, DialogsAndRestoringEndTheActiveRecordingFirst) {
    SettingsWindowController &c = controller();
    c.showWindow();
    std::vector<std::string> seenDuringAlert;
    doubles.duringAlert = [&](const SettingsAlert &) { seenDuringAlert = doubles.calls; };
    c.shortcutsPage().shortcutRecorder->startRecording();
    ASSERT_NE(c.recordingRecorder(), nullptr);
    finish(c.confirmRestoreAllDefaults());
    ASSERT_FALSE(seenDuringAlert.empty());
    EXPECT_EQ(seenDuringAlert.back(), "recording:false");
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);

    c.shortcutsPage().appendShortcutRecorder->startRecording();
    doubles.calls.clear();
    c.shortcutsPage().restoreDefaultShortcuts();
    ASSERT_FALSE(doubles.calls.empty());
    EXPECT_EQ(doubles.calls.front(), "recording:false");
    EXPECT_EQ(doubles.count("recording:false"), 1);
}

TEST_F(Shortcuts, StartingASecondRecorderEndsTheFirst) {
    SettingsWindowController &c = controller();
    doubles.calls.clear();
    c.shortcutsPage().shortcutRecorder->startRecording();
    c.shortcutsPage().appendShortcutRecorder->startRecording();
    EXPECT_FALSE(c.shortcutsPage().shortcutRecorder->isRecording());
    EXPECT_EQ(c.recordingRecorder(), c.shortcutsPage().appendShortcutRecorder);
    EXPECT_EQ(doubles.calls, (std::vector<std::string>{"recording:true", "recording:false", "recording:true"}));
}

TEST_F(Shortcuts, GlobalLabelsFollowTheLayoutWhileTheStoredLabelStays) {
    SettingsWindowCallbacks callbacks = doubles.callbacks();
    callbacks.shortcuts.keyboardLayoutTranslator.translate = [](std::uint32_t keyCode,
                                                                std::uint64_t) -> std::optional<QString> {
        return keyCode == 9 ? std::optional<QString>(QStringLiteral("ü")) : std::nullopt;
    };
    makeController(callbacks);
    EXPECT_EQ(controller_->shortcutsPage().appendShortcutRecorder->shortcut()->keyLabel, QStringLiteral("Ü"));
    EXPECT_EQ(VeltoPreferences::appendClipboardShortcut()->keyLabel, QStringLiteral("V"));
    EXPECT_EQ(controller_->shortcutsPage().shortcutRecorder->shortcut()->keyLabel, QStringLiteral("Space"));
}

} // namespace
} // namespace velto::testing
