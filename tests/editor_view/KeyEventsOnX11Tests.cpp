// What only a real X server shows: key codes from scan codes, Caps Lock from the lock mask, and the
// release of a modifier ending a page cycle. Runs a private Xvfb, a window routing keys as the text view
// does (velto-key-echo), and xdotool.
#include "support/PrivateDisplayTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velto::testing {
namespace {

class KeyEventsOnX11Tests : public PrivateDisplayTest {
protected:
    KeyEventsOnX11Tests()
        : PrivateDisplayTest(VELTO_TEST_TOOLS_DIR "/velto-key-echo") {}

    /// Types the keys, then F12 as an end marker; answers the lines the keys produced before it.
    std::vector<std::string> linesFor(const std::vector<std::string> &xdotoolArguments) {
        program->lines.clear();
        EXPECT_EQ(xdotool(xdotoolArguments), 0);
        EXPECT_EQ(xdotool({"key", "F12"}), 0);
        EXPECT_FALSE(program->waitForLineStartingWith("release 6f ").empty()) << "the marker key never arrived";
        std::vector<std::string> before;
        for (const std::string &line : program->lines) {
            if (line.rfind("press 6f ", 0) == 0) {
                break;
            }
            before.push_back(line);
        }
        return before;
    }

    static std::vector<std::string> withPrefix(const std::vector<std::string> &all, const std::string &prefix) {
        std::vector<std::string> kept;
        for (const std::string &line : all) {
            if (line.rfind(prefix, 0) == 0) {
                kept.push_back(line);
            }
        }
        return kept;
    }
};

TEST_F(KeyEventsOnX11Tests, CapsLockComesFromTheServerAndKeepsCommandBFromBeingAMarkerShortcut) {
    // Ctrl+B is a key equivalent: consumed on the shortcut override, it never reaches the default handling.
    std::vector<std::string> plain = linesFor({"key", "ctrl+b"});
    EXPECT_EQ(withPrefix(plain, "press b "), (std::vector<std::string>{"press b 100000 [62] [62]"}));
    EXPECT_TRUE(withPrefix(plain, "default").empty());

    // With Caps Lock on it is not: the key goes on to key-down and the default handling.
    std::vector<std::string> locked = linesFor({"key", "Caps_Lock", "ctrl+b", "Caps_Lock"});
    EXPECT_EQ(withPrefix(locked, "press b "), (std::vector<std::string>{"press b 110000 [62] [62]"}));
    EXPECT_EQ(withPrefix(locked, "default").size(), 1u);
}

TEST_F(KeyEventsOnX11Tests, ReleasingTheModifierEndsThePageCycle) {
    // Next page is Super+Tab (the portable Control-Tab); holding Super cycles on, releasing it ends the cycle.
    std::vector<std::string> events =
        withPrefix(linesFor({"keydown", "super", "key", "Tab", "key", "Tab", "keyup", "super"}), "event ");
    EXPECT_EQ(events, (std::vector<std::string>{"event cyclePage", "event cyclePage", "event endPageCycle"}));
}

TEST_F(KeyEventsOnX11Tests, EscapeAsksToClosePanel) {
    std::vector<std::string> output = linesFor({"key", "Escape"});
    EXPECT_EQ(withPrefix(output, "command "), (std::vector<std::string>{"command panel.close"}));
}

TEST_F(KeyEventsOnX11Tests, CharactersFollowTheLayoutWhileKeyCodesStayPhysical) {
    if (firstMissingProgram({"setxkbmap"})) {
        GTEST_SKIP() << "setxkbmap is not installed";
    }
    // On a German keyboard Z sits where a US keyboard has Y (portable key code 0x10): Ctrl+Z is still undo.
    ASSERT_EQ(server->run({"setxkbmap", "-layout", "de"}).exitStatus, 0);
    std::vector<std::string> output = linesFor({"key", "ctrl+z"});
    EXPECT_EQ(withPrefix(output, "press 10 "), (std::vector<std::string>{"press 10 100000 [7a] [7a]"}));
    EXPECT_TRUE(withPrefix(output, "default").empty());
}

} // namespace
} // namespace velto::testing
