// The desktop portal's global shortcuts against a fake portal on a private session bus started by the test.
#include "AppTestSupport.h"
#include "app/hotkeys/GlobalShortcutsPortal.h"
#include "app/hotkeys/PortalHotKeyService.h"
#include "support/ChildProcess.h"
#include "support/async/EventLoopWaits.h"

#include <QtCore/QThread>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVirtualObject>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace velto {
namespace {

using namespace std::chrono_literals;
using testing::processEventsUntil;

/// The portal's side: answers CreateSession and BindShortcuts with the Response signal on the request object,
/// as the desktop does once the user has agreed. Runs on a thread of its own, as the real one runs elsewhere.
class FakePortal : public QDBusVirtualObject {
public:
    explicit FakePortal(QDBusConnection connection)
        : connection_(std::move(connection)) {}

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override {
        const QString member = message.member();
        if (member == QStringLiteral("Get")) {
            connection_.send(message.createReply(QVariant::fromValue(QDBusVariant(1u))));
            return true;
        }
        if (member == QStringLiteral("CreateSession")) {
            QVariantMap options = asMap(message.arguments().value(0));
            QString token = options.value(QStringLiteral("handle_token")).toString();
            QString session = QStringLiteral("/org/freedesktop/portal/desktop/session/") + sender(message) +
                              QChar('/') + options.value(QStringLiteral("session_handle_token")).toString();
            answer(message, token, {{QStringLiteral("session_handle"), QVariant::fromValue(QDBusObjectPath(session))}});
            sessionHandle = session;
            return true;
        }
        if (member == QStringLiteral("BindShortcuts")) {
            const QDBusArgument shortcuts = message.arguments().value(1).value<QDBusArgument>();
            std::lock_guard lock(mutex);
            shortcuts.beginArray();
            while (!shortcuts.atEnd()) {
                QString id;
                QVariantMap properties;
                shortcuts.beginStructure();
                shortcuts >> id >> properties;
                shortcuts.endStructure();
                bound.push_back((id + QChar(' ') + properties.value(QStringLiteral("preferred_trigger")).toString() +
                                 QChar(' ') + properties.value(QStringLiteral("description")).toString())
                                    .toStdString());
            }
            shortcuts.endArray();
            QVariantMap options = asMap(message.arguments().value(3));
            answer(message, options.value(QStringLiteral("handle_token")).toString(), {}, refuseBinding ? 1u : 0u);
            return true;
        }
        return false;
    }

    void activate(const QString &session, const QString &id) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                         QStringLiteral("org.freedesktop.portal.GlobalShortcuts"),
                                                         QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(0) << QVariantMap();
        connection_.send(signal);
    }

    std::mutex mutex;
    std::vector<std::string> bound;
    std::atomic<bool> refuseBinding{false};
    QString sessionHandle;

private:
    static QVariantMap asMap(const QVariant &value) { return qdbus_cast<QVariantMap>(value.value<QDBusArgument>()); }

    static QString sender(const QDBusMessage &message) {
        return message.service().mid(1).replace(QChar('.'), QChar('_'));
    }

    void answer(const QDBusMessage &call, const QString &token, const QVariantMap &results, uint response = 0) {
        QString request =
            QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender(call) + QChar('/') + token;
        connection_.send(call.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage signal = QDBusMessage::createSignal(request, QStringLiteral("org.freedesktop.portal.Request"),
                                                         QStringLiteral("Response"));
        signal << response << results;
        connection_.send(signal);
    }

    QDBusConnection connection_;
};

class GlobalShortcutsPortalTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::hasProgram("dbus-daemon")) {
            GTEST_SKIP() << "needs dbus-daemon (installed by scripts/setup.sh)";
        }
        testing::widgetApplication();
        const char *path = std::getenv("PATH");
        bus = std::make_unique<testing::ChildProcess>(
            std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3"},
            testing::Environment{{"PATH", path != nullptr ? path : "/usr/bin:/bin"}}, "/dev/null", true);
        auto address = bus->readReport(30s);
        ASSERT_TRUE(address.has_value());
        QString busAddress = QString::fromStdString(*address);
        portalConnection =
            std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(busAddress, QStringLiteral("portal")));
        clientConnection =
            std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(busAddress, QStringLiteral("client")));
        ASSERT_TRUE(portalConnection->isConnected() && clientConnection->isConnected());
    }

    void TearDown() override {
        if (portal) {
            portalConnection->unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
            portalThread.quit();
            portalThread.wait();
            delete portal;
        }
        clientConnection.reset();
        portalConnection.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    }

    void startPortal() {
        portal = new FakePortal(*portalConnection);
        portal->moveToThread(&portalThread);
        portalThread.start();
        ASSERT_TRUE(portalConnection->registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        ASSERT_TRUE(portalConnection->registerVirtualObject(QStringLiteral("/org/freedesktop/portal/desktop"), portal));
    }

    std::unique_ptr<testing::ChildProcess> bus;
    std::unique_ptr<QDBusConnection> portalConnection;
    std::unique_ptr<QDBusConnection> clientConnection;
    QThread portalThread;
    FakePortal *portal = nullptr;
};

const GlobalShortcut altSpace{49, ModifierFlags::option, QStringLiteral("Space")};
const GlobalShortcut ctrlAltV{9, ModifierFlags::option | ModifierFlags::command, QStringLiteral("V")};

TEST(GlobalShortcutsPortalTrigger, ShortcutsAreOfferedInTheShortcutsNotation) {
    EXPECT_EQ(GlobalShortcutsPortal::preferredTrigger(altSpace), QStringLiteral("ALT+space"));
    EXPECT_EQ(GlobalShortcutsPortal::preferredTrigger(ctrlAltV), QStringLiteral("CTRL+ALT+v"));
    GlobalShortcut superShiftF5{96, ModifierFlags::control | ModifierFlags::shift, QStringLiteral("F5")};
    EXPECT_EQ(GlobalShortcutsPortal::preferredTrigger(superShiftF5), QStringLiteral("SHIFT+LOGO+F5"));
    GlobalShortcut arrow{123, ModifierFlags::option, QStringLiteral("←")};
    EXPECT_EQ(GlobalShortcutsPortal::preferredTrigger(arrow), std::nullopt);
}

TEST_F(GlobalShortcutsPortalTest, WithoutAPortalTheInterfaceIsUnavailable) {
    GlobalShortcutsPortal client(*clientConnection);
    EXPECT_FALSE(client.isAvailable());
}

TEST_F(GlobalShortcutsPortalTest, BindsBothShortcutsInASessionAndRunsTheActivatedOne) {
    startPortal();
    GlobalShortcutsPortal client(*clientConnection);
    EXPECT_TRUE(client.isAvailable());
    std::optional<bool> bound;
    std::vector<QString> activated;
    QObject::connect(&client, &GlobalShortcutsPortal::bound, [&](bool success) { bound = success; });
    QObject::connect(&client, &GlobalShortcutsPortal::activated, [&](const QString &id) { activated.push_back(id); });
    client.bind({{QStringLiteral("toggle"), QStringLiteral("Show or hide Velto"), altSpace},
                 {QStringLiteral("append-clipboard"), QStringLiteral("Append clipboard text"), ctrlAltV}});
    ASSERT_TRUE(processEventsUntil([&] { return bound.has_value(); }));
    EXPECT_TRUE(*bound);
    {
        std::lock_guard lock(portal->mutex);
        EXPECT_EQ(portal->bound, (std::vector<std::string>{"toggle ALT+space Show or hide Velto",
                                                           "append-clipboard CTRL+ALT+v Append clipboard text"}));
    }
    EXPECT_FALSE(client.sessionHandle().isEmpty());

    portal->activate(client.sessionHandle(), QStringLiteral("append-clipboard"));
    portal->activate(QStringLiteral("/org/freedesktop/portal/desktop/session/other/x"), QStringLiteral("toggle"));
    portal->activate(client.sessionHandle(), QStringLiteral("toggle"));
    ASSERT_TRUE(processEventsUntil([&] { return activated.size() >= 2; }));
    EXPECT_EQ(activated, (std::vector<QString>{QStringLiteral("append-clipboard"), QStringLiteral("toggle")}));
}

TEST_F(GlobalShortcutsPortalTest, ABindingTheUserDeclinesIsReported) {
    startPortal();
    portal->refuseBinding = true;
    GlobalShortcutsPortal client(*clientConnection);
    std::optional<bool> bound;
    QObject::connect(&client, &GlobalShortcutsPortal::bound, [&](bool success) { bound = success; });
    client.bind({{QStringLiteral("toggle"), QStringLiteral("Show or hide Velto"), altSpace}});
    ASSERT_TRUE(processEventsUntil([&] { return bound.has_value(); }));
    EXPECT_FALSE(*bound);
}

TEST_F(GlobalShortcutsPortalTest, HotKeysRegisteredThroughThePortalAreReboundWhenTheirShortcutsChange) {
    startPortal();
    std::optional<GlobalShortcut> toggle = altSpace;
    std::optional<GlobalShortcut> append = ctrlAltV;
    auto service =
        std::make_unique<PortalHotKeyService>(std::make_unique<GlobalShortcutsPortal>(*clientConnection),
                                              [&](HotKeyID id) { return id.id == HotKeyID::toggle ? toggle : append; });
    HotKeyController controller(
        service->operations(), [&] { return toggle; }, [&] { return append; });
    int toggles = 0;
    QObject::connect(&controller, &HotKeyController::togglePressed, [&] { ++toggles; });
    auto boundSoFar = [&] {
        std::lock_guard lock(portal->mutex);
        return portal->bound;
    };

    // Registering succeeds at once: the desktop answers later.
    EXPECT_TRUE(controller.registerDefaults().allAvailable());
    ASSERT_TRUE(processEventsUntil([&] { return boundSoFar().size() == 2; }));
    EXPECT_EQ(boundSoFar(), (std::vector<std::string>{"toggle ALT+space Show or hide Velto",
                                                      "append-clipboard CTRL+ALT+v Append clipboard text"}));

    // Recording takes the hot keys off and puts them back unchanged: the desktop is not asked again.
    controller.unregisterAll();
    testing::processEventsFor(50ms);
    EXPECT_TRUE(controller.registerDefaults().allAvailable());
    testing::processEventsFor(200ms);
    EXPECT_EQ(boundSoFar().size(), 2U);
    // A new shortcut is offered in a new session, both shortcuts at once.
    toggle = GlobalShortcut{1, ModifierFlags::shift | ModifierFlags::command, QStringLiteral("S")};
    EXPECT_TRUE(controller.registerDefaults().allAvailable());
    ASSERT_TRUE(processEventsUntil([&] { return boundSoFar().size() == 4; }));
    std::vector<std::string> bound = boundSoFar();
    EXPECT_EQ(std::vector<std::string>(bound.begin() + 2, bound.end()),
              (std::vector<std::string>{"toggle CTRL+SHIFT+s Show or hide Velto",
                                        "append-clipboard CTRL+ALT+v Append clipboard text"}));

    // Two activations of the toggle run it twice: each is a whole press.
    portal->activate(service->portal().sessionHandle(), QStringLiteral("toggle"));
    portal->activate(service->portal().sessionHandle(), QStringLiteral("toggle"));
    ASSERT_TRUE(processEventsUntil([&] { return toggles == 2; }));
}

} // namespace
} // namespace velto
