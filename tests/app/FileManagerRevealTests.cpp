// Showing a file in the file manager goes through the freedesktop FileManager1 service on the session bus: here
// a fake one on a private bus records the call. The private bus is asked directly, not as the process's session
// bus: an earlier test of the same process may have made that already, against no bus.
#include "AppTestSupport.h"
#include "platform/desktop/FileManagerReveal.h"
#include "support/ChildProcess.h"
#include "support/FakeFileManager.h"

#include <QtCore/QUrl>
#include <QtDBus/QDBusConnection>

#include <gtest/gtest.h>

#include <cstdlib>

namespace velto {
namespace {

using namespace std::chrono_literals;

TEST(FileManagerReveal, FilesAndFoldersAreShownThroughTheFileManagerServiceOnTheSessionBus) {
    if (!testing::hasProgram("dbus-daemon")) {
        GTEST_SKIP() << "needs dbus-daemon (installed by scripts/setup.sh)";
    }
    testing::ChildProcess bus({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3"},
                              {{"PATH", std::getenv("PATH")}}, "/dev/null", true);
    std::optional<std::string> address = bus.readReport(30s);
    ASSERT_TRUE(address.has_value()) << "the private bus did not start";
    testing::widgetApplication();

    const QString connectionName = QStringLiteral("velto-file-manager-test");
    QDBusConnection connection = QDBusConnection::connectToBus(QString::fromStdString(*address), connectionName);
    ASSERT_TRUE(connection.isConnected());
    testing::FakeFileManager fileManager;
    ASSERT_TRUE(connection.registerVirtualObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager));
    ASSERT_TRUE(connection.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    struct Case {
        const char *name;
        std::filesystem::path item;
        void (*reveal)(const std::filesystem::path &, std::function<void(bool)>, std::chrono::milliseconds,
                       const QDBusConnection &);
    };
    const Case cases[] = {
        {"the current page's file", "/pages folder/calm cove.md", fileManager::revealFile},
        {"the Pages folder itself", "/pages folder", fileManager::revealFolder},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        fileManager.shownItems.clear();
        std::optional<bool> shown;
        test.reveal(
            test.item, [&shown](bool answer) { shown = answer; }, 30s, connection);
        ASSERT_TRUE(testing::waitUntil(
            [&] {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
                return shown.has_value();
            },
            60s, 1ms));
        EXPECT_TRUE(*shown);
        EXPECT_EQ(fileManager.shownItems,
                  QStringList{QUrl::fromLocalFile(QString::fromStdString(test.item.string())).toString()});
    }
    connection.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    QDBusConnection::disconnectFromBus(connectionName);
}

} // namespace
} // namespace velto
