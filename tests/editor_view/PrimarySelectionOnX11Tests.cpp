// X11's primary selection through a real X server: what the view selects becomes the PRIMARY selection
// that other clients read (xclip), and a middle click pastes another client's PRIMARY text as plain text
// where it points. The view is velto-paste-echo's, driven with xdotool.
#include "support/PrivateDisplayTest.h"

#include <gtest/gtest.h>

#include <string>

namespace velto::testing {
namespace {

class PrimarySelectionOnX11Tests : public PrivateDisplayTest {
protected:
    PrimarySelectionOnX11Tests()
        : PrivateDisplayTest(VELTO_TEST_TOOLS_DIR "/velto-paste-echo") {}
    std::vector<std::string> requiredPrograms() const override { return {"Xvfb", "xdotool", "xclip"}; }
};

TEST_F(PrimarySelectionOnX11Tests, SelectingTextOffersItAsThePrimarySelection) {
    ASSERT_EQ(xdotool({"type", "--delay", "20", "hello world"}), 0);
    ASSERT_EQ(program->waitForLine("text hello world"), "text hello world");
    // Shift+Ctrl+Left selects the last word.
    ASSERT_EQ(xdotool({"key", "shift+ctrl+Left"}), 0);
    EXPECT_EQ(server->waitForSelection("primary", "world"), "world");
    ASSERT_EQ(xdotool({"key", "ctrl+a"}), 0);
    EXPECT_EQ(server->waitForSelection("primary", "hello world"), "hello world");
}

TEST_F(PrimarySelectionOnX11Tests, MiddleClickPastesAnotherClientsPrimarySelectionAsPlainText) {
    ASSERT_TRUE(server->offerSelection("primary", "", "from\r\nelsewhere")) << "xclip did not take it";
    ASSERT_EQ(xdotool({"mousemove", "--window", window, "60", "40", "click", "2"}), 0);
    EXPECT_EQ(program->waitForLine("text from\\nelsewhere"), "text from\\nelsewhere");
}

} // namespace
} // namespace velto::testing
