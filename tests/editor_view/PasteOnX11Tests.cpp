// Pasting through a real X server's clipboard: xclip offers plain text, HTML or text with CRLF line ends,
// xdotool presses Ctrl+V in a text view (velto-paste-echo), and the view's text is read back.
#include "support/PrivateDisplayTest.h"

#include <gtest/gtest.h>

#include <string>

namespace velto::testing {
namespace {

class PasteOnX11Tests : public PrivateDisplayTest {
protected:
    PasteOnX11Tests()
        : PrivateDisplayTest(VELTO_TEST_TOOLS_DIR "/velto-paste-echo") {}
    std::vector<std::string> requiredPrograms() const override { return {"Xvfb", "xdotool", "xclip"}; }

    /// Empties the view again.
    void clear() {
        EXPECT_EQ(xdotool({"key", "ctrl+a", "BackSpace"}), 0);
        EXPECT_EQ(program->waitForLine("text"), "text");
    }
};

TEST_F(PasteOnX11Tests, PlainHtmlAndCrlfTextArePastedAsPlainTextWithLineFeeds) {
    struct Paste {
        std::string type;
        std::string offered;
        std::string shown; // as the view echoes it
    };
    const Paste pastes[] = {
        {"text/plain", "plain  text", "plain  text"},
        {"text/plain", "one\r\ntwo\rthree", "one\\ntwo\\nthree"},
        {"text/html", "<html><body><p>first</p><p>second <b>bold</b></p></body></html>", "first\\nsecond bold"},
    };
    for (const Paste &paste : pastes) {
        // The clipboard's only type is the offered one.
        ASSERT_TRUE(server->offerSelection("clipboard", paste.type, paste.offered)) << "xclip did not take it";
        ASSERT_EQ(xdotool({"key", "ctrl+v"}), 0);
        EXPECT_EQ(program->waitForLine("text " + paste.shown), "text " + paste.shown) << paste.type;
        clear();
    }
}

} // namespace
} // namespace velto::testing
