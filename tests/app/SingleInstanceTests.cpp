#include "AppTestSupport.h"
#include "app/lifecycle/SingleInstance.h"
#include "support/ChildProcess.h"
#include "support/TemporaryFolder.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEventLoop>
#include <QtCore/QSysInfo>
#include <QtCore/QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <sys/wait.h>
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

} // namespace
} // namespace velto
