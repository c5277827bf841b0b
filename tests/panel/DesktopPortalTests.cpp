#include "PanelTestSupport.h"

#include "platform/desktop/ColorScheme.h"
#include "platform/desktop/DesktopSettingsPortal.h"
#include "platform/desktop/DisplayOptions.h"
#include "support/ChildProcess.h"
#include "support/async/EventLoopWaits.h"

#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusVariant>
#include <QtDBus/QDBusVirtualObject>
#include <QtWidgets/QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

namespace velto {
namespace {

using testing::processEventsUntil;
using SettingsByNamespace = QMap<QString, QVariantMap>;

/// A desktop portal of our own on a private session bus: answers ReadAll with the settings it holds and
/// announces changes with SettingChanged.
class FakeSettingsPortal : public QDBusVirtualObject {
public:
    explicit FakeSettingsPortal(QDBusConnection connection)
        : connection_(connection) {}

    SettingsByNamespace settings;

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override {
        if (message.interface() != QLatin1String("org.freedesktop.portal.Settings") ||
            message.member() != QLatin1String("ReadAll")) {
            return false;
        }
        QStringList wanted = message.arguments().value(0).toStringList();
        SettingsByNamespace answer;
        for (auto group = settings.cbegin(); group != settings.cend(); ++group) {
            if (wanted.contains(group.key())) {
                answer.insert(group.key(), group.value());
            }
        }
        connection.send(message.createReply(QVariant::fromValue(answer)));
        return true;
    }

    void announce(const QString &settingNamespace, const QString &key, const QVariant &value) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                         QStringLiteral("org.freedesktop.portal.Settings"),
                                                         QStringLiteral("SettingChanged"));
        signal << settingNamespace << key << QVariant::fromValue(QDBusVariant(value));
        connection_.send(signal);
    }

private:
    QDBusConnection connection_;
};

TEST(DesktopSettingsPortal, ReadsTheDesktopsSettingsAndFollowsTheirChanges) {
    if (!testing::hasProgram("dbus-daemon")) {
        GTEST_SKIP() << "dbus-daemon is not installed";
    }
    testing::ChildProcess bus({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3"},
                              {{"PATH", "/usr/bin:/bin"}}, "/dev/null", true);
    std::optional<std::string> address = bus.readReport(std::chrono::seconds(10));
    ASSERT_TRUE(address) << "the private session bus did not start";
    // The portal client connects to the session bus named here when it is first used.
    setenv("DBUS_SESSION_BUS_ADDRESS", address->c_str(), 1);

    qDBusRegisterMetaType<SettingsByNamespace>();
    QDBusConnection service = QDBusConnection::connectToBus(QString::fromStdString(*address), "fake-portal");
    ASSERT_TRUE(service.isConnected());
    FakeSettingsPortal portal(service);
    portal.settings["org.freedesktop.appearance"] = QVariantMap{{"color-scheme", 1u}, {"contrast", 0u}};
    portal.settings["org.gnome.desktop.interface"] = QVariantMap{{"enable-animations", false}};
    portal.settings["org.example.unrelated"] = QVariantMap{{"x", 1}};
    ASSERT_TRUE(service.registerVirtualObject("/org/freedesktop/portal/desktop", &portal));
    ASSERT_TRUE(service.registerService("org.freedesktop.portal.Desktop"));

    DesktopSettingsPortal &client = DesktopSettingsPortal::shared();
    ASSERT_TRUE(processEventsUntil([&client] { return !client.values().isEmpty(); }));
    EXPECT_EQ(colorSchemeFromPortal(client.values()), ColorScheme::dark);
    EXPECT_EQ(displayOptionsFromPortal(client.values()), (DisplayOptions{false, true, false}));
    EXPECT_FALSE(client.values().contains("org.example.unrelated/x")) << "only the namespaces Velto follows";

    // The client learns who owns the portal's name in the background; until it does, a signal may pass it
    // by, so each change is announced until it arrives.
    ASSERT_TRUE(processEventsUntil([&] {
        portal.announce("org.freedesktop.appearance", "contrast", 1u);
        return displayOptionsFromPortal(client.values()).increaseContrast;
    }));
    ASSERT_TRUE(processEventsUntil([&] {
        portal.announce("org.freedesktop.appearance", "color-scheme", 2u);
        return colorSchemeFromPortal(client.values()) == std::optional(ColorScheme::light);
    }));
    service.unregisterService("org.freedesktop.portal.Desktop");
}

} // namespace
} // namespace velto
