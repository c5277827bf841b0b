#include "AccessibilityEvents.h"
#include "SettingsTestSupport.h"
#include "settings/InlineShortcutRecorder.h"

#include "platform/desktop/DisplayOptions.h"
#include "preferences/GlobalShortcut.h"
#include "support/async/EventLoopWaits.h"
#include "ui/Appearance.h"

#include <QtGui/QAccessible>
#include <QtWidgets/QGraphicsOpacityEffect>
#include <QtWidgets/QLabel>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace velto {
namespace {

using namespace ModifierFlags;
const GlobalShortcut optionSpace{49, option, QStringLiteral("Space")};
const GlobalShortcut optionK{40, option, QStringLiteral("K")};

class Recorder : public ::testing::Test {
protected:
    void SetUp() override {
        QObject::connect(&recorder, &InlineShortcutRecorder::recordingChanged,
                         [this](bool on) { reports.push_back(on); });
    }
    void press(std::uint32_t keyCode, std::uint64_t flags, const char *typed = "k") {
        recorder.handleKeyPress({keyCode, flags, QString::fromUtf8(typed)});
    }

    std::vector<std::optional<GlobalShortcut>> offered;
    std::vector<bool> reports;
    bool accepts = true;
    std::optional<QString> conflict;
    int beeps = 0;
    InlineShortcutRecorder recorder{QStringLiteral("Show or hide Velto"), optionSpace, false,
                                    InlineShortcutRecorder::Owner{
                                        [this](const std::optional<GlobalShortcut> &value) {
                                            offered.push_back(value);
                                            return accepts;
                                        },
                                        [this](const GlobalShortcut &) { return conflict; },
                                        [this] { ++beeps; },
                                    }};
};

TEST_F(Recorder, AcceptedPressEndsRecordingAndShowsTheShortcutInLinuxKeyNames) {
    recorder.startRecording();
    EXPECT_EQ(recorder.displayedText(), QStringLiteral("Press shortcut"));
    press(40, option);
    EXPECT_EQ(offered, (std::vector<std::optional<GlobalShortcut>>{optionK}));
    EXPECT_EQ(recorder.shortcut(), optionK);
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(recorder.displayedText(), QStringLiteral("Alt+K"));
    EXPECT_EQ(reports, (std::vector<bool>{true, false}));
    EXPECT_TRUE(recorder.isClearButtonShown());
    EXPECT_TRUE(recorder.isRestoreButtonShown());
}

TEST_F(Recorder, RefusalByTheOwnerRestartsRecordingAndKeepsTheCandidateOnDisplay) {
    recorder.setShortcut(optionSpace);
    conflict = QStringLiteral("Already used by Archive Page");
    accepts = false;
    recorder.startRecording();
    press(40, option);
    EXPECT_EQ(reports, (std::vector<bool>{true, false, true}));
    EXPECT_TRUE(recorder.isRecording());
    EXPECT_TRUE(recorder.isConflict());
    EXPECT_TRUE(recorder.isWarningShown());
    EXPECT_FALSE(recorder.isClearButtonShown());
    EXPECT_EQ(recorder.displayedText(), QStringLiteral("Alt+K"));
    EXPECT_EQ(recorder.popoverTitle(), QStringLiteral("Already used by Archive Page"));
    EXPECT_EQ(recorder.shortcut(), optionSpace);
    EXPECT_EQ(beeps, 1);
    // Saving another value elsewhere does not dismiss the warning; plain Escape does.
    recorder.setShortcut(optionSpace);
    EXPECT_TRUE(recorder.isWarningShown());
    press(53, 0);
    EXPECT_FALSE(recorder.isConflict());
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(recorder.displayedText(), QStringLiteral("Alt+Space"));
}

TEST_F(Recorder, InvalidPressKeepsRecordingAndOffersNothing) {
    recorder.startRecording();
    press(40, command);
    EXPECT_TRUE(offered.empty());
    EXPECT_TRUE(recorder.isRecording());
    EXPECT_TRUE(recorder.isConflict());
    EXPECT_EQ(recorder.popoverTitle(), QStringLiteral("Shortcut can’t be used"));
    EXPECT_EQ(recorder.popoverMessage(), QStringLiteral("Use Alt, Super, or Shift+Ctrl with another key"));
    EXPECT_EQ(
        recorder.accessibleHelp(),
        QStringLiteral("Invalid shortcut. Use Alt, Super, or Shift+Ctrl with another key. Press Escape to cancel."));
    EXPECT_EQ(beeps, 1);
    // Escape with Caps Lock ends recording but leaves the refusal on display.
    press(53, capsLockFlag);
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_TRUE(recorder.isConflict());
}

// After Escape the recorder is idle: it records nothing until Space, Return or Enter starts it again, and leaves
// every other key (window shortcuts such as Ctrl+W among them) to its window.
TEST_F(Recorder, AfterEscapeOnlySpaceOrReturnStartsRecordingAgain) {
    struct Case {
        const char *name;
        RecorderKeyPress press;
        bool starts;
    };
    const Case cases[] = {
        {"Alt+K", {40, option, QStringLiteral("k")}, false},
        {"Ctrl+W", {13, command, QStringLiteral("w")}, false},
        {"Shift+Ctrl+K", {40, shift | command, QStringLiteral("K")}, false},
        {"Escape", {53, 0, QStringLiteral("\x1b")}, false},
        {"Shift+Space", {49, shift, QStringLiteral(" ")}, false},
        {"Space", {49, 0, QStringLiteral(" ")}, true},
        {"Space with Caps Lock", {49, capsLockFlag, QStringLiteral(" ")}, true},
        {"Return", {36, 0, QStringLiteral("\r")}, true},
        {"keypad Enter", {76, 0, QStringLiteral("\x03")}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        recorder.setShortcut(optionSpace);
        recorder.startRecording();
        press(53, 0);
        ASSERT_FALSE(recorder.isRecording());
        offered.clear();
        EXPECT_EQ(recorder.handleKeyPress(c.press), c.starts);
        EXPECT_EQ(recorder.isRecording(), c.starts);
        EXPECT_TRUE(offered.empty());
        EXPECT_EQ(recorder.shortcut(), optionSpace);
        EXPECT_EQ(recorder.displayedText(), c.starts ? QStringLiteral("Press shortcut") : QStringLiteral("Alt+Space"));
        // Started again, it records the next press as before.
        if (c.starts) {
            press(40, option);
            EXPECT_EQ(offered, (std::vector<std::optional<GlobalShortcut>>{optionK}));
        }
    }
}

TEST_F(Recorder, SpaceOnARefusalLeftOnDisplayDismissesItAndRecords) {
    recorder.startRecording();
    press(40, command);
    press(53, capsLockFlag);
    ASSERT_TRUE(recorder.isConflict());
    press(49, 0, " ");
    EXPECT_TRUE(recorder.isRecording());
    EXPECT_FALSE(recorder.isConflict());
    EXPECT_FALSE(recorder.isWarningShown());
    EXPECT_EQ(recorder.popoverTitle(), QString());
}

TEST_F(Recorder, RefusalsShakeUnlessMotionIsReduced) {
    auto *options = dynamic_cast<FixedDisplayOptions *>(&displayOptions());
    ASSERT_NE(options, nullptr);
    recorder.startRecording();
    press(40, command);
    EXPECT_TRUE(recorder.isShaking());
    options->set({.reduceMotion = true});
    InlineShortcutRecorder still(QStringLiteral("Settings"), std::nullopt, false, {});
    still.startRecording();
    still.handleKeyPress({40, command, QStringLiteral("k")});
    EXPECT_TRUE(still.isConflict());
    EXPECT_FALSE(still.isShaking());
    options->set({});
}

TEST_F(Recorder, ClearingAsksTheOwnerOnlyWhenThereIsSomethingToClear) {
    press(51, 0);
    EXPECT_TRUE(offered.empty());
    recorder.setShortcut(optionK);
    press(51, 0); // Delete clears even when not recording
    EXPECT_EQ(offered, (std::vector<std::optional<GlobalShortcut>>{std::nullopt}));
    EXPECT_EQ(recorder.shortcut(), std::nullopt);
    EXPECT_EQ(recorder.displayedText(), QStringLiteral("Unset"));
    EXPECT_TRUE(recorder.isRestoreButtonShown());
    EXPECT_FALSE(recorder.isClearButtonShown());
}

TEST_F(Recorder, RestoreOffersTheDefaultAndHidesItselfAtTheDefault) {
    recorder.setShortcut(optionK);
    recorder.restoreShortcut();
    EXPECT_EQ(recorder.shortcut(), optionSpace);
    EXPECT_FALSE(recorder.isRestoreButtonShown());

    bool asked = false;
    InlineShortcutRecorder withoutDefault(
        QStringLiteral("Settings"), std::nullopt, true,
        {[&](const std::optional<GlobalShortcut> &) { return asked = true; }, {}, {}});
    withoutDefault.restoreShortcut();
    EXPECT_FALSE(asked);
    EXPECT_FALSE(withoutDefault.isRestoreButtonShown());
}

TEST_F(Recorder, StoppingReportsOnceAndReleasesNothingTwice) {
    recorder.startRecording();
    recorder.startRecording();
    recorder.stopRecording();
    recorder.stopRecording();
    EXPECT_EQ(reports, (std::vector<bool>{true, false}));
}

TEST_F(Recorder, AssistiveTechnologiesSeeAButtonNamedAfterTheCommandWithTheShortcutSpoken) {
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&recorder);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Button);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Shortcut for Show or hide Velto, Unset"));
    EXPECT_EQ(accessible->text(QAccessible::Value), QStringLiteral("Unset"));
    EXPECT_EQ(accessible->text(QAccessible::Description),
              QStringLiteral("Click, then press a new shortcut. Press Delete to remove it."));
    testing::AccessibilityEvents events;
    recorder.setShortcut(optionK);
    EXPECT_EQ(accessible->text(QAccessible::Value), QStringLiteral("Alt K"));
    // Qt's AT-SPI bridge passes no text value of a button on: the name carries the shortcut and tells its change.
    EXPECT_EQ(events.told(&recorder, QAccessible::NameChanged),
              std::vector<QString>{QStringLiteral("Shortcut for Show or hide Velto, Alt+K")});
    EXPECT_EQ(events.told(&recorder, QAccessible::ValueChanged), std::vector<QString>{});
}

TEST_F(Recorder, EachRefusalIsAnnouncedAndBecomesTheValueUntilItIsDismissed) {
    const QString modifiersMissing = QStringLiteral("Use Alt, Super, or Shift+Ctrl with another key");
    struct Case {
        const char *name;
        RecorderKeyPress press;
        bool ownerAccepts;
        QString value;
        QString announcement;
        QString help;
        QString spokenName;
    };
    const Case cases[] = {
        {"modifiers missing",
         {40, command, QStringLiteral("k")},
         true,
         QStringLiteral("Invalid shortcut. ") + modifiersMissing,
         QStringLiteral("Invalid shortcut. ") + modifiersMissing,
         QStringLiteral("Invalid shortcut. ") + modifiersMissing + QStringLiteral(". Press Escape to cancel."),
         QStringLiteral("Shortcut for Show or hide Velto, Recording")},
        {"no key label",
         {40, option, QStringLiteral("\x01")},
         true,
         QStringLiteral("Invalid shortcut. That key can’t be used"),
         QStringLiteral("Invalid shortcut. That key can’t be used"),
         QStringLiteral("Invalid shortcut. That key can’t be used. Press Escape to cancel."),
         QStringLiteral("Shortcut for Show or hide Velto, Recording")},
        {"refused by the owner",
         {40, option, QStringLiteral("k")},
         false,
         QStringLiteral("Conflict: Alt K"),
         QStringLiteral("Shortcut already in use"),
         QStringLiteral("Shortcut already in use. Already used by another shortcut. Press Escape to cancel."),
         QStringLiteral("Shortcut for Show or hide Velto, Conflict: Alt+K")},
    };
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&recorder);
    for (const Case &example : cases) {
        SCOPED_TRACE(example.name);
        recorder.setShortcut(optionSpace);
        accepts = example.ownerAccepts;
        testing::AccessibilityEvents events;
        recorder.startRecording();
        recorder.handleKeyPress(example.press);
        EXPECT_EQ(accessible->text(QAccessible::Value), example.value);
        EXPECT_EQ(events.announcements(&recorder), std::vector<QString>{example.announcement});
        EXPECT_EQ(events.events().back().priority, AnnouncementPriority::high);
        EXPECT_EQ(accessible->text(QAccessible::Description), example.help);
        EXPECT_EQ(accessible->text(QAccessible::Name), example.spokenName);
        recorder.handleKeyPress({53, 0, QStringLiteral("\x1b")}); // plain Escape dismisses the refusal
        EXPECT_EQ(accessible->text(QAccessible::Value), QStringLiteral("Alt Space"));
        EXPECT_EQ(accessible->text(QAccessible::Description),
                  QStringLiteral("Click, then press a new shortcut. Press Delete to remove it."));
    }
}

TEST_F(Recorder, ThePressActionStartsRecordingAndTakesTheFocusOnlyWhenShown) {
    QAccessibleActionInterface *actions = QAccessible::queryAccessibleInterface(&recorder)->actionInterface();
    ASSERT_NE(actions, nullptr);
    EXPECT_EQ(actions->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(recorder.isRecording());
    EXPECT_FALSE(recorder.accessibilityPerformPress()) << "there is no window to take the focus of";
    EXPECT_EQ(reports, (std::vector<bool>{true}));

    // A refusal on display stays: only a click, a key or a change of focus dismisses it.
    recorder.handleKeyPress({40, command, QStringLiteral("k")});
    recorder.show();
    EXPECT_TRUE(recorder.accessibilityPerformPress());
    EXPECT_TRUE(recorder.isConflict());
    recorder.hide();
}

double opacity(const QWidget *accessory) {
    return static_cast<QGraphicsOpacityEffect *>(accessory->graphicsEffect())->opacity();
}

TEST_F(Recorder, AccessoriesFadeWhileShownAndALaterOppositeRequestWins) {
    recorder.show();
    QWidget *clear = recorder.clearButton();
    recorder.setShortcut(optionK);
    EXPECT_TRUE(recorder.isClearButtonShown());
    EXPECT_TRUE(clear->isVisible()) << "shown at once, then faded in";
    EXPECT_LT(opacity(clear), 1.0);
    ASSERT_TRUE(testing::processEventsUntil([&] { return opacity(clear) == 1.0; }));

    recorder.startRecording(); // the clear button fades out
    EXPECT_FALSE(recorder.isClearButtonShown());
    EXPECT_TRUE(clear->isVisible()) << "hidden only once the fade ends";
    ASSERT_TRUE(testing::processEventsUntil([&] { return clear->isHidden(); }));
    EXPECT_EQ(opacity(clear), 0.0);

    recorder.stopRecording();  // fading in again ...
    recorder.startRecording(); // ... and out before that ends ...
    recorder.stopRecording();  // ... and in: the last request holds
    ASSERT_TRUE(testing::processEventsUntil([&] { return opacity(clear) == 1.0; }));
    EXPECT_TRUE(clear->isVisible());
    recorder.hide();
}

TEST_F(Recorder, AccessoriesSwitchAtOnceOutsideAWindow) {
    recorder.setShortcut(optionK);
    EXPECT_EQ(opacity(recorder.clearButton()), 1.0);
    EXPECT_FALSE(recorder.clearButton()->isHidden());
    recorder.startRecording();
    EXPECT_EQ(opacity(recorder.clearButton()), 0.0);
    EXPECT_TRUE(recorder.clearButton()->isHidden());
}

TEST_F(Recorder, AFocusedRecorderInConflictShowsTheRedOutlineWithTheFocusRingInsideIt) {
    accepts = false;
    recorder.setShortcut(optionSpace);
    recorder.show();
    recorder.activateWindow();
    recorder.setFocus();
    ASSERT_TRUE(testing::processEventsUntil([&] { return recorder.hasFocus(); }));
    recorder.startRecording(); // focused without the keyboard, it records only when asked
    press(40, option);
    ASSERT_TRUE(recorder.isConflict());
    ASSERT_TRUE(testing::processEventsUntil([&] { return !recorder.isShaking(); }));
    QImage image = recorder.grab().toImage();
    ASSERT_EQ(image.devicePixelRatio(), 1.0);
    const QColor highlight = recorder.palette().color(QPalette::Highlight);
    auto isRed = [](QColor c) { return c.red() > 200 && c.green() < 130 && c.blue() < 130; };
    auto isHighlight = [&](QColor c) {
        return std::abs(c.red() - highlight.red()) + std::abs(c.green() - highlight.green()) +
                   std::abs(c.blue() - highlight.blue()) <
               40;
    };
    // Where the field's edge crosses the middle of each side: the outline's pixel, then two pixels inward.
    const int left = InlineShortcutRecorder::actionSize + InlineShortcutRecorder::actionGap;
    const int right = left + InlineShortcutRecorder::fieldWidth - 1;
    const int middleX = left + InlineShortcutRecorder::fieldWidth / 2;
    const int middleY = recorder.height() / 2;
    const int bottom = recorder.height() - 1;
    struct Side {
        const char *name;
        QPoint edge;
        QPoint inward;
    };
    const Side sides[] = {
        {"top", {middleX, 0}, {middleX, 2}},
        {"bottom", {middleX, bottom}, {middleX, bottom - 2}},
        {"left", {left, middleY}, {left + 2, middleY}},
        {"right", {right, middleY}, {right - 2, middleY}},
    };
    for (const Side &side : sides) {
        SCOPED_TRACE(side.name);
        QColor edge = image.pixelColor(side.edge);
        QColor inward = image.pixelColor(side.inward);
        EXPECT_TRUE(isRed(edge)) << edge.name().toStdString();
        EXPECT_TRUE(isHighlight(inward)) << inward.name().toStdString() << " vs " << highlight.name().toStdString();
    }
    recorder.hide();
}

/// The most opaque pixel of the warning sign, where its colour shows undiluted.
QColor strongestPixel(const QLabel &sign) {
    QImage image = sign.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    QColor strongest(0, 0, 0, 0);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() > strongest.alpha()) {
                strongest = pixel;
            }
        }
    }
    return strongest;
}

TEST_F(Recorder, TheWarningSignIsRedInBothAppearances) {
    for (AppearanceChoice choice : {AppearanceChoice::light, AppearanceChoice::dark}) {
        VeltoAppearance::shared().setPreference(choice);
        QColor pixel = strongestPixel(*recorder.warningSign());
        SCOPED_TRACE(pixel.name().toStdString());
        EXPECT_GT(pixel.alpha(), 200);
        EXPECT_GT(pixel.red(), 240);
        EXPECT_LT(pixel.green(), 90);
        EXPECT_LT(pixel.blue(), 80);
    }
    VeltoAppearance::shared().setPreference(AppearanceChoice::system);
}

} // namespace
} // namespace velto
