#include "app/hotkeys/GlobalShortcutsPortal.h"

#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtDBus/QDBusReply>

namespace velto {

namespace {

/// One entry of BindShortcuts' a(sa{sv}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace

} // namespace velto

Q_DECLARE_METATYPE(velto::PortalShortcut)

namespace velto {

GlobalShortcutsPortal::GlobalShortcutsPortal(QDBusConnection connection)
    : connection_(std::move(connection)) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    connection_.connect(QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
                        QString::fromLatin1(interfaceName), QStringLiteral("Activated"), this,
                        SLOT(handleActivated(QDBusMessage)));
}

bool GlobalShortcutsPortal::isAvailable() const {
    QDBusMessage get =
        QDBusMessage::createMethodCall(QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QString::fromLatin1(interfaceName) << QStringLiteral("version");
    QDBusMessage reply = connection_.call(get, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

std::optional<QString> GlobalShortcutsPortal::preferredTrigger(const GlobalShortcut &shortcut) {
    QString key;
    QString label = GlobalShortcut::normalizedKeyLabel(shortcut.keyLabel);
    if (label == QStringLiteral("SPACE")) {
        key = QStringLiteral("space");
    } else if (label.size() == 1 && label[0].isLetterOrNumber()) {
        key = label.toLower();
    } else if (label.startsWith(QChar('F')) && label.size() <= 3 && label.mid(1).toInt() > 0) {
        key = label;
    } else {
        return std::nullopt;
    }
    QStringList parts;
    if ((shortcut.modifiers & ModifierFlags::command) != 0) {
        parts << QStringLiteral("CTRL");
    }
    if ((shortcut.modifiers & ModifierFlags::option) != 0) {
        parts << QStringLiteral("ALT");
    }
    if ((shortcut.modifiers & ModifierFlags::shift) != 0) {
        parts << QStringLiteral("SHIFT");
    }
    if ((shortcut.modifiers & ModifierFlags::control) != 0) {
        parts << QStringLiteral("LOGO");
    }
    parts << key;
    return parts.join(QChar('+'));
}

QString GlobalShortcutsPortal::requestPath(const QString &token) const {
    QString sender = connection_.baseService().mid(1).replace(QChar('.'), QChar('_'));
    return QString::fromLatin1(objectPath) + QStringLiteral("/request/") + sender + QChar('/') + token;
}

void GlobalShortcutsPortal::expectResponse(const QString &token, const char *slot) {
    // Subscribed before the call, so that a quick answer is not missed.
    connection_.connect(QString::fromLatin1(serviceName), requestPath(token),
                        QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"), this, slot);
}

void GlobalShortcutsPortal::bind(std::vector<Binding> bindings) {
    bindings_ = std::move(bindings);
    // Binding again replaces the earlier session: its shortcuts end with it.
    if (!sessionHandle_.isEmpty()) {
        connection_.asyncCall(QDBusMessage::createMethodCall(QString::fromLatin1(serviceName), sessionHandle_,
                                                             QStringLiteral("org.freedesktop.portal.Session"),
                                                             QStringLiteral("Close")));
        sessionHandle_.clear();
    }
    QString token = QStringLiteral("velto%1").arg(nextToken_++);
    expectResponse(token, SLOT(handleSessionCreated(uint, QVariantMap)));
    QDBusMessage create =
        QDBusMessage::createMethodCall(QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
                                       QString::fromLatin1(interfaceName), QStringLiteral("CreateSession"));
    create << QVariantMap{{QStringLiteral("handle_token"), token}, {QStringLiteral("session_handle_token"), token}};
    auto *watcher = new QDBusPendingCallWatcher(connection_.asyncCall(create), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        if (finished->isError()) {
            failBinding();
        }
    });
}

void GlobalShortcutsPortal::handleSessionCreated(uint response, const QVariantMap &results) {
    if (response != 0) {
        failBinding();
        return;
    }
    // An object path in the interface's description; some portals send it as text.
    QVariant handle = results.value(QStringLiteral("session_handle"));
    sessionHandle_ = handle.canConvert<QDBusObjectPath>() && handle.metaType() == QMetaType::fromType<QDBusObjectPath>()
                         ? handle.value<QDBusObjectPath>().path()
                         : handle.toString();
    QList<PortalShortcut> shortcuts;
    for (const Binding &binding : bindings_) {
        QVariantMap properties{{QStringLiteral("description"), binding.description}};
        if (auto trigger = preferredTrigger(binding.shortcut)) {
            properties.insert(QStringLiteral("preferred_trigger"), *trigger);
        }
        shortcuts.append({binding.id, properties});
    }
    QString token = QStringLiteral("velto%1").arg(nextToken_++);
    expectResponse(token, SLOT(handleShortcutsBound(uint, QVariantMap)));
    QDBusMessage bindCall =
        QDBusMessage::createMethodCall(QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
                                       QString::fromLatin1(interfaceName), QStringLiteral("BindShortcuts"));
    bindCall << QVariant::fromValue(QDBusObjectPath(sessionHandle_)) << QVariant::fromValue(shortcuts) << QString()
             << QVariantMap{{QStringLiteral("handle_token"), token}};
    auto *watcher = new QDBusPendingCallWatcher(connection_.asyncCall(bindCall), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        if (finished->isError()) {
            failBinding();
        }
    });
}

void GlobalShortcutsPortal::handleShortcutsBound(uint response, const QVariantMap &) {
    emit bound(response == 0);
}

void GlobalShortcutsPortal::failBinding() {
    emit bound(false);
}

void GlobalShortcutsPortal::handleActivated(const QDBusMessage &message) {
    // (o session_handle, s shortcut_id, t timestamp, a{sv} options)
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2) {
        return;
    }
    if (arguments[0].value<QDBusObjectPath>().path() != sessionHandle_) {
        return; // another session's shortcut
    }
    emit activated(arguments[1].toString());
}

} // namespace velto
