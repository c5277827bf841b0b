#include "platform/desktop/DesktopSettingsPortal.h"

#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtDBus/QDBusPendingReply>
#include <QtDBus/QDBusVariant>

namespace velto {

namespace {

const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
const QString interface = QStringLiteral("org.freedesktop.portal.Settings");

using SettingsByNamespace = QMap<QString, QVariantMap>;

/// The namespaces whose keys Velto reads; asking only for these keeps the reply small.
QStringList watchedNamespaces() {
    return {QStringLiteral("org.freedesktop.appearance"), QStringLiteral("org.gnome.desktop.interface"),
            QStringLiteral("org.gnome.desktop.a11y.interface"), QStringLiteral("org.kde.kdeglobals.KDE")};
}

/// Values inside a variant map may still be wrapped once more as a D-Bus variant.
QVariant unwrapped(const QVariant &value) {
    if (value.canConvert<QDBusVariant>()) {
        return value.value<QDBusVariant>().variant();
    }
    return value;
}

} // namespace

DesktopSettingsPortal &DesktopSettingsPortal::shared() {
    static DesktopSettingsPortal *portal = new DesktopSettingsPortal;
    return *portal;
}

QString DesktopSettingsPortal::key(const QString &settingNamespace, const QString &settingKey) {
    return settingNamespace + QLatin1Char('/') + settingKey;
}

DesktopSettingsPortal::DesktopSettingsPortal() {
    qDBusRegisterMetaType<SettingsByNamespace>();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    // Matched by path and interface, not by the service's name, and taken as a whole message: a slot with
    // typed arguments is refused for the variant argument.
    bus.connect(QString(), path, interface, QStringLiteral("SettingChanged"), this, SLOT(settingChanged(QDBusMessage)));
    readAll();
}

void DesktopSettingsPortal::readAll() {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("ReadAll"));
    call << watchedNamespaces();
    // Without a portal the call fails (or times out) in the background; the values stay empty.
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        QDBusPendingReply<SettingsByNamespace> reply = *finished;
        finished->deleteLater();
        if (reply.isError()) {
            return;
        }
        const SettingsByNamespace settings = reply.value();
        for (auto group = settings.cbegin(); group != settings.cend(); ++group) {
            for (auto entry = group.value().cbegin(); entry != group.value().cend(); ++entry) {
                values_.insert(key(group.key(), entry.key()), unwrapped(entry.value()));
            }
        }
        emit changed();
    });
}

void DesktopSettingsPortal::store(const QString &settingNamespace, const QString &settingKey, const QVariant &value) {
    values_.insert(key(settingNamespace, settingKey), unwrapped(value));
    emit changed();
}

void DesktopSettingsPortal::settingChanged(const QDBusMessage &message) {
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() != 3) {
        return;
    }
    store(arguments[0].toString(), arguments[1].toString(), arguments[2]);
}

} // namespace velto
