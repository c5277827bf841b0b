#pragma once

#include <QtCore/QObject>

namespace velto {

/// The application-wide notifier: each signal is one notification of the application, named after it.
/// Observers connect to the signals of `defaultCenter()`; a notification is emitted on the posting
/// thread and, for direct connections, observers run synchronously there.
class VeltoNotificationCenter : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    /// The process's centre, created on first use and never replaced.
    static VeltoNotificationCenter &defaultCenter();

    void postPreferencesDidChange() { emit veltoPreferencesDidChange(); }
    void postPanelSizeModeDidChange() { emit veltoPanelSizeModeDidChange(); }
    void postKeyboardInputSourceDidChange() { emit veltoKeyboardInputSourceDidChange(); }

signals:
    /// "VeltoPreferencesDidChange": a preference was written (once per outermost batch).
    void veltoPreferencesDidChange();
    /// "VeltoPanelSizeModeDidChange": the panel switched between its preset and its custom size.
    void veltoPanelSizeModeDidChange();
    /// "VeltoKeyboardInputSourceDidChange": the keyboard layout changed, so shortcut labels may read differently.
    void veltoKeyboardInputSourceDidChange();
};

} // namespace velto
