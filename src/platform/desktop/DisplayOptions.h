#pragma once

#include "platform/desktop/DesktopSettingsPortal.h"

#include <QtCore/QObject>

namespace velto {

/// The accessibility display options that change how Velto draws: thicker borders, no pulses and shorter
/// fades, opaque floating surfaces.
struct DisplayOptions {
    bool increaseContrast = false;
    bool reduceMotion = false;
    bool reduceTransparency = false;
    friend bool operator==(const DisplayOptions &, const DisplayOptions &) = default;
};

/// The options a desktop's portal settings ask for. High contrast comes from the portal's own "contrast"
/// key or GNOME's "high-contrast"; reduced motion from GNOME's "enable-animations" being off or a KDE
/// animation speed of zero. No desktop publishes reduced transparency through the portal, so it stays off.
DisplayOptions displayOptionsFromPortal(const PortalSettingValues &values);

/// Where the current display options come from; announces every change.
class DisplayOptionsProvider : public QObject {
    Q_OBJECT

public:
    virtual DisplayOptions current() const = 0;

signals:
    void changed();
};

/// Options that stay as set; the stand-in for tests and for desktops without a portal.
class FixedDisplayOptions : public DisplayOptionsProvider {
    Q_OBJECT

public:
    explicit FixedDisplayOptions(DisplayOptions options = {})
        : options_(options) {}
    DisplayOptions current() const override { return options_; }
    /// Stores the options and announces them when they differ.
    void set(DisplayOptions options);

private:
    DisplayOptions options_;
};

/// The process's provider: the desktop portal's settings until another one is installed.
DisplayOptionsProvider &displayOptions();
/// Installs a provider (owned by the caller, who keeps it alive); nothing restores the portal's.
void setDisplayOptionsProvider(DisplayOptionsProvider *provider);

} // namespace velto
