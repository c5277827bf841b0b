// What only a real X server shows: the recorder's keyboard grab beats another client's hot key, the shell's
// own hot key can be recorded again, and focus moving elsewhere ends recording. Runs a private Xvfb, the
// Settings window with a stand-in shell (velto-settings-recorder) and xdotool.
#include "SettingsTestSupport.h"

#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace velto::testing {
namespace {

constexpr int waitMilliseconds = 10000;

/// A program of the test whose output lines are read as they come.
class LineReader {
public:
    explicit LineReader(QProcess &process)
        : process_(process) {}

    /// Reads lines until one starts with the prefix; answers it, or "" on time-out.
    std::string waitFor(const std::string &prefix) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
        while (std::chrono::steady_clock::now() < deadline) {
            while (process_.canReadLine()) {
                std::string line = process_.readLine().trimmed().toStdString();
                lines.push_back(line);
                if (line.rfind(prefix, 0) == 0) {
                    return line;
                }
            }
            process_.waitForReadyRead(100);
        }
        return {};
    }
    std::vector<std::string> lines;

private:
    QProcess &process_;
};

class RecorderOnX11 : public ::testing::Test {
protected:
    void SetUp() override {
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
    }

    void TearDown() override {
        for (QProcess *process : {&settings, &other}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished();
            }
        }
        server.terminate();
        server.waitForFinished();
    }

    void start(QProcess &process, const QStringList &arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", display);
        environment.insert("QT_QPA_PLATFORM", "xcb");
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(VELTO_TEST_TOOLS_DIR "/velto-settings-recorder"), arguments);
        ASSERT_TRUE(process.waitForStarted());
    }

    /// Starts the Settings window, focuses it and starts recording Show or hide Velto.
    void startRecording() {
        start(settings, {});
        std::string ready = settingsLines.waitFor("ready ");
        ASSERT_FALSE(ready.empty()) << "the Settings window did not start";
        ASSERT_EQ(xdotool({"windowfocus", "--sync", QString::fromStdString(ready.substr(6))}), 0);
        settings.write("record\n");
        ASSERT_EQ(settingsLines.waitFor("recording "), "recording true");
        settings.write("state\n");
        ASSERT_EQ(settingsLines.waitFor("state "), "state recording=1 grabber=recorder");
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

    QProcess server;
    QProcess settings;
    QProcess other;
    LineReader settingsLines{settings};
    LineReader otherLines{other};
    QString display;
};

TEST_F(RecorderOnX11, CapturesAltSpaceWhileAnotherClientHoldsItsGrab) {
    start(other, {"--hold"});
    ASSERT_EQ(otherLines.waitFor("holding ").rfind("holding grabbed ", 0), 0u);
    startRecording();
    ASSERT_EQ(xdotool({"key", "alt+space"}), 0);
    // The recorder saw the key; storing it fails, since the other client keeps the hot key.
    EXPECT_EQ(settingsLines.waitFor("offered "), "offered Alt+Space refused");
}

TEST_F(RecorderOnX11, ReRecordsTheCurrentGlobalShortcut) {
    startRecording();
    EXPECT_EQ(settingsLines.lines.front(), "grab grabbed");
    ASSERT_EQ(xdotool({"key", "alt+space"}), 0);
    // Recording ends (the shell takes its hot key back), then the shortcut is stored and registered again.
    EXPECT_EQ(settingsLines.waitFor("recording "), "recording false grabbed");
    EXPECT_EQ(settingsLines.waitFor("register "), "register grabbed");
    EXPECT_EQ(settingsLines.waitFor("offered "), "offered Alt+Space accepted");
    settings.write("state\n");
    EXPECT_EQ(settingsLines.waitFor("state "), "state recording=0 grabber=none");
}

TEST_F(RecorderOnX11, FocusMovingToAnotherWindowEndsRecordingAndReleasesTheGrab) {
    start(other, {"--hold"});
    std::string holding = otherLines.waitFor("holding ");
    ASSERT_FALSE(holding.empty());
    QString otherWindow = QString::fromStdString(holding.substr(holding.rfind(' ') + 1));
    startRecording();
    ASSERT_EQ(xdotool({"windowfocus", otherWindow}), 0);
    EXPECT_EQ(settingsLines.waitFor("recording "), "recording false held");
    settings.write("state\n");
    EXPECT_EQ(settingsLines.waitFor("state "), "state recording=0 grabber=none");
}

} // namespace
} // namespace velto::testing
