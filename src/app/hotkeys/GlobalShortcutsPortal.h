#pragma once

#include "preferences/GlobalShortcut.h"

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QVariantMap>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusObjectPath>

#include <functional>
#include <optional>
#include <vector>

namespace velto {

/// System-wide shortcuts through the desktop portal's GlobalShortcuts interface, for Wayland sessions, where
/// X11 key grabs through XWayland fire only while one of Velto's windows has the focus. The desktop asks the
/// user to confirm the bindings; presses arrive as the portal's Activated signal.
class GlobalShortcutsPortal : public QObject {
    Q_OBJECT

public:
    static constexpr char serviceName[] = "org.freedesktop.portal.Desktop";
    static constexpr char objectPath[] = "/org/freedesktop/portal/desktop";
    static constexpr char interfaceName[] = "org.freedesktop.portal.GlobalShortcuts";

    struct Binding {
        QString id;          // "toggle", "append-clipboard"
        QString description; // shown by the desktop
        GlobalShortcut shortcut;
    };

    explicit GlobalShortcutsPortal(QDBusConnection connection = QDBusConnection::sessionBus());

    /// Whether the bus offers the interface (its "version" property can be read). Blocks for at most a moment.
    bool isAvailable() const;

    /// Opens a session and binds the shortcuts; `bound` announces true once the desktop accepted them. A
    /// session opened before is closed first.
    void bind(std::vector<Binding> bindings);

    /// The trigger the portal is offered for a shortcut, in the notation the desktop portal reads
    /// ("ALT+space", "CTRL+ALT+v"); nothing for a key it cannot name.
    static std::optional<QString> preferredTrigger(const GlobalShortcut &shortcut);

    const QString &sessionHandle() const { return sessionHandle_; }

signals:
    /// The user pressed the shortcut of the binding with this identifier.
    void activated(const QString &id);
    /// The desktop accepted the offered bindings (true), or declined or could not bind them (false).
    void bound(bool success);

private slots:
    void handleSessionCreated(uint response, const QVariantMap &results);
    void handleShortcutsBound(uint response, const QVariantMap &results);
    void handleActivated(const QDBusMessage &message);

private:
    /// The path of the request object the portal answers a call with this handle token on.
    QString requestPath(const QString &token) const;
    void expectResponse(const QString &token, const char *slot);
    void failBinding();

    QDBusConnection connection_;
    std::vector<Binding> bindings_;
    QString sessionHandle_;
    int nextToken_ = 0;
};

} // namespace velto
