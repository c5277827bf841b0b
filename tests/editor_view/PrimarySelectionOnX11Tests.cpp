// X11's primary selection through a real X server: what the view selects becomes the PRIMARY selection
// that other clients read (xclip), and a middle click pastes another client's PRIMARY text as plain text
// where it points. The view is velto-paste-echo's, driven with xdotool.
#include "ViewTestApplication.h"

#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

constexpr int waitMilliseconds = 10000;

class PrimarySelectionOnX11Tests : public ::testing::Test {
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

        view.setProcessEnvironment(environment);
        view.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        view.start(QStringLiteral(VELTO_TEST_TOOLS_DIR "/velto-paste-echo"), {});
        ASSERT_TRUE(view.waitForStarted());
        const std::string ready = nextLineStartingWith("ready ");
        ASSERT_FALSE(ready.empty()) << "the text view did not start";
        window = QString::fromStdString(ready.substr(6));
        ASSERT_EQ(run("xdotool", {"windowfocus", "--sync", window}), 0);
    }

    void TearDown() override {
        view.kill();
        view.waitForFinished();
        server.terminate();
        server.waitForFinished();
    }

    QByteArray output(const QString &program, const QStringList &arguments, const QByteArray &input = {}) {
        QProcess tool;
        tool.setProcessEnvironment(environment);
        tool.start(program, arguments);
        tool.write(input);
        tool.closeWriteChannel();
        tool.waitForFinished(waitMilliseconds);
        return tool.readAllStandardOutput();
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

    std::string nextLineStartingWith(const std::string &prefix) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
        while (std::chrono::steady_clock::now() < deadline) {
            while (view.canReadLine()) {
                const std::string line = view.readLine().trimmed().toStdString();
                if (line.rfind(prefix, 0) == 0) {
                    return line;
                }
            }
            view.waitForReadyRead(100);
        }
        return {};
    }

    /// What another client reads as the PRIMARY selection, waiting for it to become `expected`.
    QByteArray primaryOnceItIs(const QByteArray &expected) {
        QByteArray found;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
        while (std::chrono::steady_clock::now() < deadline) {
            found = output("xclip", {"-o", "-selection", "primary"});
            if (found == expected) {
                break;
            }
        }
        return found;
    }

    QProcess server;
    QProcess view;
    QString window;
    QProcessEnvironment environment;
};

} // namespace

TEST_F(PrimarySelectionOnX11Tests, SelectingTextOffersItAsThePrimarySelection) {
    ASSERT_EQ(run("xdotool", {"type", "--delay", "20", "hello world"}), 0);
    while (nextLineStartingWith("text ") != "text hello world") {
        ASSERT_FALSE(HasFailure());
        ASSERT_TRUE(view.state() == QProcess::Running);
    }
    // Shift+Ctrl+Left selects the last word.
    ASSERT_EQ(run("xdotool", {"key", "shift+ctrl+Left"}), 0);
    EXPECT_EQ(primaryOnceItIs("world"), "world");
    ASSERT_EQ(run("xdotool", {"key", "ctrl+a"}), 0);
    EXPECT_EQ(primaryOnceItIs("hello world"), "hello world");
}

TEST_F(PrimarySelectionOnX11Tests, MiddleClickPastesAnotherClientsPrimarySelectionAsPlainText) {
    // xclip keeps serving the selection in the background until another client takes it.
    ASSERT_EQ(run("xclip", {"-selection", "primary", "-i"}, "from\r\nelsewhere"), 0);
    ASSERT_EQ(run("xdotool", {"mousemove", "--window", window, "60", "40", "click", "2"}), 0);
    EXPECT_EQ(nextLineStartingWith("text "), "text from\\nelsewhere");
}
