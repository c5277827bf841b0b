#include "AppTestSupport.h"
#include "app/lifecycle/SingleInstance.h"
#include "support/ChildProcess.h"
#include "support/TemporaryFolder.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEventLoop>
#include <QtCore/QSysInfo>
#include <QtCore/QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace velto {
namespace {

using testing::TemporaryFolder;

void application() {
    testing::widgetApplication();
}

TEST(SingleInstance, TheKeyTellsSetupsApartAndFitsASocketPath) {
    QString key = SingleInstance::keyFor("app.velto.Velto", "/home/a/.config/Velto/Velto.json", "");
    EXPECT_EQ(key, SingleInstance::keyFor("app.velto.Velto", "/home/a/.config/Velto/Velto.json", ""));
    EXPECT_NE(key, SingleInstance::keyFor("app.velto.Velto", "/home/b/.config/Velto/Velto.json", ""));
    EXPECT_NE(key, SingleInstance::keyFor("app.velto.Velto", "/home/a/.config/Velto/Velto.json", "/tmp/smoke"));
    EXPECT_NE(key, SingleInstance::keyFor("app.velto.Other", "/home/a/.config/Velto/Velto.json", ""));
    EXPECT_LT(key.size(), 40);
}

TEST(SingleInstance, ALaterInstanceAsksThePrimaryToShowAndThePrimaryAnswers) {
    application();
    TemporaryFolder folder;
    QString path = QString::fromStdString(folder.path().string());
    SingleInstance primary(QStringLiteral("velto-test"), path);
    ASSERT_TRUE(primary.becomePrimary());
    int shown = 0;
    QObject::connect(&primary, &SingleInstance::showRequested, [&shown] { ++shown; });

    // The later instance runs in another process: a child that only asks.
    pid_t child = fork();
    if (child == 0) {
        SingleInstance later(QStringLiteral("velto-test"), path);
        bool refused = !later.becomePrimary();
        _exit(refused && later.askPrimaryToShow(20'000) ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    int status = -1;
    bool ended = testing::waitUntil(
        [&] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            return waitpid(child, &status, WNOHANG) == child;
        },
        std::chrono::seconds(30), std::chrono::milliseconds(1));
    ASSERT_TRUE(ended);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(shown, 1);
}

TEST(SingleInstance, ALockLeftByAProcessThatDiedIsTakenOver) {
    application();
    TemporaryFolder folder;
    pid_t gone = fork();
    if (gone == 0) {
        _exit(0);
    }
    waitpid(gone, nullptr, 0);
    std::ofstream(folder / "velto-test.lock") << gone << "\nvelto\n"
                                              << QSysInfo::machineHostName().toStdString() << "\n";
    SingleInstance instance(QStringLiteral("velto-test"), QString::fromStdString(folder.path().string()));
    EXPECT_TRUE(instance.becomePrimary());
}

TEST(SingleInstance, WithoutAPrimaryTheAskFailsWithinItsTime) {
    application();
    TemporaryFolder folder;
    SingleInstance lonely(QStringLiteral("velto-test"), QString::fromStdString(folder.path().string()));
    EXPECT_FALSE(lonely.askPrimaryToShow(300));
}

// A primary that is quitting takes the request and closes the connection without answering: the later
// instance gives up at once instead of spinning on the closed socket until its time is up.
TEST(SingleInstance, APrimaryThatClosesUnansweredIsGivenUpAtOnce) {
    application();
    TemporaryFolder folder;
    const std::string socketPath = (folder / "velto-test.socket").string();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    std::thread quittingPrimary([listener] {
        const int connection = ::accept(listener, nullptr, nullptr);
        char request[16];
        [[maybe_unused]] const ssize_t read = ::read(connection, request, sizeof request);
        ::close(connection);
    });

    SingleInstance later(QStringLiteral("velto-test"), QString::fromStdString(folder.path().string()));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(later.askPrimaryToShow(5'000));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    quittingPrimary.join();
    ::close(listener);
}

} // namespace
} // namespace velto
