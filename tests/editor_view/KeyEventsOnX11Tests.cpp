// What only a real X server shows: key codes from scan codes, Caps Lock from the lock mask, and the
// release of a modifier ending a page cycle. Runs a private Xvfb, a window routing keys as the text view
// does (velto-key-echo), and xdotool.
#include "ViewTestApplication.h"

#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

constexpr int waitMilliseconds = 10000;

class KeyEventsOnX11Tests : public ::testing::Test {
protected:
    void SetUp() override {
        velto::testing::viewTestApplication();
        if (QStandardPaths::findExecutable("Xvfb").isEmpty() || QStandardPaths::findExecutable("xdotool").isEmpty()) {
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        }
        // Xvfb picks a free display itself and writes its number once it accepts connections.
        server.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp"});
        ASSERT_TRUE(server.waitForStarted());
        while (!server.canReadLine() && server.waitForReadyRead(waitMilliseconds)) {
        }
        QByteArray number = server.readLine().trimmed();
        ASSERT_FALSE(number.isEmpty()) << "Xvfb did not report its display";
        display = QStringLiteral(":") + QString::fromLatin1(number);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", display);
        environment.insert("QT_QPA_PLATFORM", "xcb");
        echo.setProcessEnvironment(environment);
        echo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        echo.start(QStringLiteral(VELTO_TEST_TOOLS_DIR "/velto-key-echo"), {});
        ASSERT_TRUE(echo.waitForStarted());
        std::string ready = waitForLineStartingWith("ready ");
        ASSERT_FALSE(ready.empty()) << "the key echo window did not start";
        window = QString::fromStdString(ready.substr(6));
        ASSERT_EQ(xdotool({"windowfocus", "--sync", window}), 0);
    }

    void TearDown() override {
        echo.kill();
        echo.waitForFinished();
        server.terminate();
        server.waitForFinished();
    }

    int xdotool(const QStringList &arguments) {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", display);
        tool.setProcessEnvironment(environment);
        tool.start("xdotool", arguments);
        tool.waitForFinished(waitMilliseconds);
        return tool.exitCode();
    }

    /// Reads the echo's lines until one starts with the prefix; every line read is kept in `lines`.
    std::string waitForLineStartingWith(const std::string &prefix) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
        while (std::chrono::steady_clock::now() < deadline) {
            while (echo.canReadLine()) {
                std::string line = echo.readLine().trimmed().toStdString();
                lines.push_back(line);
                if (line.rfind(prefix, 0) == 0) {
                    return line;
                }
            }
            echo.waitForReadyRead(100);
        }
        return {};
    }

    /// Types the keys, then F12 as an end marker; answers the lines the keys produced before it.
    std::vector<std::string> linesFor(const QStringList &xdotoolArguments) {
        lines.clear();
        EXPECT_EQ(xdotool(xdotoolArguments), 0);
        EXPECT_EQ(xdotool({"key", "F12"}), 0);
        EXPECT_FALSE(waitForLineStartingWith("release 6f ").empty()) << "the marker key never arrived";
        std::vector<std::string> before;
        for (const std::string &line : lines) {
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

    QProcess server;
    QProcess echo;
    QString display;
    QString window;
    std::vector<std::string> lines;
};

} // namespace

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
    if (QStandardPaths::findExecutable("setxkbmap").isEmpty()) {
        GTEST_SKIP() << "setxkbmap is not installed";
    }
    // On a German keyboard Z sits where a US keyboard has Y (portable key code 0x10): Ctrl+Z is still undo.
    ASSERT_EQ(QProcess::execute("setxkbmap", {"-display", display, "-layout", "de"}), 0);
    std::vector<std::string> output = linesFor({"key", "ctrl+z"});
    EXPECT_EQ(withPrefix(output, "press 10 "), (std::vector<std::string>{"press 10 100000 [7a] [7a]"}));
    EXPECT_TRUE(withPrefix(output, "default").empty());
}
