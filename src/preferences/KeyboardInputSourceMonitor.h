#pragma once

#include "preferences/NotificationCenter.h"

#include <QtCore/QByteArray>
#include <QtCore/QObject>
#include <QtCore/QPointer>

namespace velto {

/// The system's side: emits selectedKeyboardInputSourceChanged() when the user selects another keyboard
/// layout or the keymap changes (XKB events of the X server). Without a display it never emits.
class SystemKeyboardInputSource : public QObject {
    Q_OBJECT

public:
    /// Listens to the X server's keyboard (needs a running event loop to deliver).
    static SystemKeyboardInputSource &shared();

    void postSelectedKeyboardInputSourceChanged() { emit selectedKeyboardInputSourceChanged(); }

signals:
    void selectedKeyboardInputSourceChanged();

private:
    SystemKeyboardInputSource();
};

/// Turns the system's input-source-changed notification into "VeltoKeyboardInputSourceDidChange" on the
/// application's centre, delivered on the main thread's event loop. Once the monitor is gone, nothing more is
/// posted, not even for a system notification already on its way.
class KeyboardInputSourceMonitor : public QObject {
    Q_OBJECT

public:
    /// sourceNotification is the signature of a signal of source, for example
    /// "selectedKeyboardInputSourceChanged()".
    KeyboardInputSourceMonitor(QObject *source, VeltoNotificationCenter *destination,
                               const QByteArray &sourceNotification);
    /// The production monitor: the system's keyboard to the default centre.
    KeyboardInputSourceMonitor();

private slots:
    void relaySourceNotification();

private:
    QPointer<VeltoNotificationCenter> destination_;
};

} // namespace velto
