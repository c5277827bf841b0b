// Showing a file in the file manager goes through the freedesktop FileManager1 service on the session bus: here
// a fake one on a private bus records the call.
#include "AppTestSupport.h"
#include "platform/desktop/FileManagerReveal.h"
#include "support/ChildProcess.h"

#include <QtCore/QUrl>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVirtualObject>

#include <gtest/gtest.h>

#include <cstdlib>

namespace velto {
namespace {

using namespace std::chrono_literals;

/// Answers ShowItems and records the items it was asked to show.
class FakeFileManager : public QDBusVirtualObject {
public:
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override {
        if (message.interface() != QLatin1String("org.freedesktop.FileManager1") ||
            message.member() != QLatin1String("ShowItems") || message.arguments().isEmpty()) {
            return false;
        }
        shownItems << message.arguments().front().toStringList();
        connection.send(message.createReply());
        return true;
    }
    QStringList shownItems;
};

TEST(FileManagerReveal, TheFileIsShownThroughTheFileManagerServiceOnTheSessionBus) {
    if (!testing::hasProgram("dbus-daemon")) {
        GTEST_SKIP() << "needs dbus-daemon (installed by scripts/setup.sh)";
    }
    testing::ChildProcess bus({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3"},
                              {{"PATH", std::getenv("PATH")}}, "/dev/null", true);
    std::optional<std::string> address = bus.readReport(30s);
    ASSERT_TRUE(address.has_value()) << "the private bus did not start";
    setenv("DBUS_SESSION_BUS_ADDRESS", address->c_str(), 1); // before the first use of the session bus
    testing::widgetApplication();

    QDBusConnection connection = QDBusConnection::sessionBus();
    ASSERT_TRUE(connection.isConnected());
    FakeFileManager fileManager;
    ASSERT_TRUE(connection.registerVirtualObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager));
    ASSERT_TRUE(connection.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    std::filesystem::path page = "/pages folder/calm cove.md";
    std::optional<bool> shown;
    fileManager::revealFile(page, [&shown](bool answer) { shown = answer; }, 30s);
    ASSERT_TRUE(testing::waitUntil(
        [&] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            return shown.has_value();
        },
        60s, 1ms));
    EXPECT_TRUE(*shown);
    EXPECT_EQ(fileManager.shownItems, QStringList{QUrl::fromLocalFile(QString::fromStdString(page.string())).toString()});
    connection.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
}

} // namespace
} // namespace velto
