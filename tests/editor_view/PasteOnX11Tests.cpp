// Pasting through a real X server's clipboard: xclip offers plain text, HTML or text with CRLF line ends,
// xdotool presses Ctrl+V in a text view (velto-paste-echo), and the view's text is read back.
#include "ViewTestApplication.h"

#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

constexpr int waitMilliseconds = 10000;

class PasteOnX11Tests : public ::testing::Test {
protected:
    void SetUp() override {
        velto::testing::viewTestApplication();
        for (const char *tool : {"Xvfb", "xdotool", "xclip"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                GTEST_SKIP() << tool << " is not installed";
            }
        }
        server.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp"});
        ASSERT_TRUE(server.waitForStarted());
        while (!server.canReadLine() && server.waitForReadyRead(waitMilliseconds)) {
        }
        const QByteArray number = server.readLine().trimmed();
        ASSERT_FALSE(number.isEmpty()) << "Xvfb did not report its display";
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", QStringLiteral(":") + QString::fromLatin1(number));
        environment.insert("QT_QPA_PLATFORM", "xcb");

        echo.setProcessEnvironment(environment);
        echo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        echo.start(QStringLiteral(VELTO_TEST_TOOLS_DIR "/velto-paste-echo"), {});
        ASSERT_TRUE(echo.waitForStarted());
        const std::string ready = nextLineStartingWith("ready ");
        ASSERT_FALSE(ready.empty()) << "the text view did not start";
        ASSERT_EQ(run("xdotool", {"windowfocus", "--sync", QString::fromStdString(ready.substr(6))}), 0);
    }

    void TearDown() override {
        echo.kill();
        echo.waitForFinished();
        server.terminate();
        server.waitForFinished();
    }

    int run(const QString &program, const QStringList &arguments, const QByteArray &input = {}) {
        QProcess tool;
        tool.setProcessEnvironment(environment);
        tool.start(program, arguments);
        tool.write(input);
        tool.closeWriteChannel();
        tool.waitForFinished(waitMilliseconds);
        return tool.exitCode();
    }

    /// Offers the bytes as the clipboard's only type (xclip keeps serving them in the background).
    void offer(const QString &type, const QByteArray &bytes) {
        ASSERT_EQ(run("xclip", {"-selection", "clipboard", "-t", type, "-i"}, bytes), 0);
    }

    std::string nextLineStartingWith(const std::string &prefix) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
        while (std::chrono::steady_clock::now() < deadline) {
            while (echo.canReadLine()) {
                const std::string line = echo.readLine().trimmed().toStdString();
                if (line.rfind(prefix, 0) == 0) {
                    return line;
                }
            }
            echo.waitForReadyRead(100);
        }
        return {};
    }

    /// Pastes with Ctrl+V and answers the view's text after the paste.
    std::string pasted() {
        EXPECT_EQ(run("xdotool", {"key", "ctrl+v"}), 0);
        return nextLineStartingWith("text ");
    }

    /// Empties the view again.
    void clear() {
        EXPECT_EQ(run("xdotool", {"key", "ctrl+a", "BackSpace"}), 0);
        EXPECT_EQ(nextLineStartingWith("text"), "text");
    }

    QProcess server;
    QProcess echo;
    QProcessEnvironment environment;
};

} // namespace

TEST_F(PasteOnX11Tests, PlainHtmlAndCrlfTextArePastedAsPlainTextWithLineFeeds) {
    offer("text/plain", "plain  text");
    EXPECT_EQ(pasted(), "text plain  text");
    clear();

    offer("text/plain", "one\r\ntwo\rthree");
    EXPECT_EQ(pasted(), "text one\\ntwo\\nthree");
    clear();

    offer("text/html", "<html><body><p>first</p><p>second <b>bold</b></p></body></html>");
    EXPECT_EQ(pasted(), "text first\\nsecond bold");
}
