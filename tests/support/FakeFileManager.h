#pragma once

// Header only: the rest of the test kit is plain C++, and only the tests that use this link QtDBus.

#include <QtCore/QStringList>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVirtualObject>

#include <functional>

namespace velto::testing {

/// Plays the desktop's file manager (the freedesktop FileManager1 service): answers ShowItems and records the
/// items it was asked to show. Register it at /org/freedesktop/FileManager1 on a test's own bus.
class FakeFileManager : public QDBusVirtualObject {
public:
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override {
        if (message.interface() != QLatin1String("org.freedesktop.FileManager1") ||
            message.member() != QLatin1String("ShowItems") || message.arguments().isEmpty()) {
            return false;
        }
        const QStringList items = message.arguments().front().toStringList();
        if (onShowItems) {
            onShowItems(items);
        }
        shownItems << items;
        connection.send(message.createReply());
        return true;
    }

    QStringList shownItems;
    /// Called with the items of each ShowItems before it is answered.
    std::function<void(const QStringList &)> onShowItems;
};

} // namespace velto::testing
