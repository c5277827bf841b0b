// What only a real X server shows: the recorder's keyboard grab beats another client's hot key, the shell's
// own hot key can be recorded again, and focus moving elsewhere ends recording. Runs a private Xvfb, the
// Settings window with a stand-in shell (velto-settings-recorder) and xdotool.
#include "support/PrivateDisplayTest.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace velto::testing {
namespace {

class RecorderOnX11 : public PrivateDisplayTest {
protected:
    /// Starts the stand-in shell with the Settings window (or, with "--hold", another client holding Alt+Space).
    std::unique_ptr<LineProcess> startRecorder(const std::vector<std::string> &arguments) {
        return startProgram(VELTO_TEST_TOOLS_DIR "/velto-settings-recorder", arguments);
    }

    /// Starts the Settings window, focuses it and starts recording Show or hide Velto.
    void startRecording() {
        settings = startRecorder({});
        ASSERT_FALSE(focusWhenReady(*settings).empty()) << "the Settings window did not start";
        settings->write("record\n");
        ASSERT_EQ(settings->waitForLineStartingWith("recording "), "recording true");
        settings->write("state\n");
        ASSERT_EQ(settings->waitForLineStartingWith("state "), "state recording=1 grabber=recorder");
    }

    std::unique_ptr<LineProcess> settings;
    std::unique_ptr<LineProcess> other;
};

TEST_F(RecorderOnX11, CapturesAltSpaceWhileAnotherClientHoldsItsGrab) {
    other = startRecorder({"--hold"});
    ASSERT_EQ(other->waitForLineStartingWith("holding ").rfind("holding grabbed ", 0), 0u);
    startRecording();
    ASSERT_EQ(xdotool({"key", "alt+space"}), 0);
    // The recorder saw the key; storing it fails, since the other client keeps the hot key.
    EXPECT_EQ(settings->waitForLineStartingWith("offered "), "offered Alt+Space refused");
}

TEST_F(RecorderOnX11, ReRecordsTheCurrentGlobalShortcut) {
    startRecording();
    EXPECT_EQ(settings->lines.front(), "grab grabbed");
    ASSERT_EQ(xdotool({"key", "alt+space"}), 0);
    // Recording ends (the shell takes its hot key back), then the shortcut is stored and registered again.
    EXPECT_EQ(settings->waitForLineStartingWith("recording "), "recording false grabbed");
    EXPECT_EQ(settings->waitForLineStartingWith("register "), "register grabbed");
    EXPECT_EQ(settings->waitForLineStartingWith("offered "), "offered Alt+Space accepted");
    settings->write("state\n");
    EXPECT_EQ(settings->waitForLineStartingWith("state "), "state recording=0 grabber=none");
}

TEST_F(RecorderOnX11, FocusMovingToAnotherWindowEndsRecordingAndReleasesTheGrab) {
    other = startRecorder({"--hold"});
    std::string holding = other->waitForLineStartingWith("holding ");
    ASSERT_FALSE(holding.empty());
    std::string otherWindow = holding.substr(holding.rfind(' ') + 1);
    startRecording();
    ASSERT_EQ(xdotool({"windowfocus", otherWindow}), 0);
    EXPECT_EQ(settings->waitForLineStartingWith("recording "), "recording false held");
    settings->write("state\n");
    EXPECT_EQ(settings->waitForLineStartingWith("state "), "state recording=0 grabber=none");
}

} // namespace
} // namespace velto::testing
