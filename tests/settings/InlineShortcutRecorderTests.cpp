#include "SettingsTestSupport.h"
#include "settings/InlineShortcutRecorder.h"

#include "platform/desktop/DisplayOptions.h"
#include "preferences/GlobalShortcut.h"

#include <gtest/gtest.h>

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
        QObject::connect(&recorder, &InlineShortcutRecorder::recordingChanged, [this](bool on) { reports.push_back(on); });
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
    EXPECT_EQ(recorder.accessibleDescription(),
              QStringLiteral("Use Alt, Super, or Shift+Ctrl with another key. Press Escape to cancel."));
    EXPECT_EQ(beeps, 1);
    // Escape with Caps Lock ends recording but leaves the refusal on display.
    press(53, capsLockFlag);
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_TRUE(recorder.isConflict());
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
    InlineShortcutRecorder withoutDefault(QStringLiteral("Settings"), std::nullopt, true,
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

} // namespace
} // namespace velto
