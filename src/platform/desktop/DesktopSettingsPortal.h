#pragma once

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QVariant>
#include <QtDBus/QDBusMessage>

namespace velto {

/// The desktop's settings as the XDG desktop portal offers them, keyed "namespace/key"
/// ("org.freedesktop.appearance/color-scheme").
using PortalSettingValues = QHash<QString, QVariant>;

/// Reads the settings Velto follows (colour scheme, contrast, animations) from the XDG desktop portal on
/// the session bus and keeps them current from its SettingChanged signal. Every call is asynchronous, so a
/// missing bus or portal never blocks the interface: the values simply stay empty.
class DesktopSettingsPortal : public QObject {
    Q_OBJECT

public:
    /// The process's portal client, started on first use.
    static DesktopSettingsPortal &shared();

    /// The values read so far; empty until the portal answers, and for good when there is none.
    const PortalSettingValues &values() const { return values_; }

    static QString key(const QString &settingNamespace, const QString &settingKey);

signals:
    void changed();

private:
    DesktopSettingsPortal();
    void readAll();
    void store(const QString &settingNamespace, const QString &settingKey, const QVariant &value);

private slots:
    /// SettingChanged(namespace, key, value).
    void settingChanged(const QDBusMessage &message);

private:
    PortalSettingValues values_;
};

} // namespace velto
