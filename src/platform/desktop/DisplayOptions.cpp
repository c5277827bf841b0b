#include "platform/desktop/DisplayOptions.h"

namespace velto {

namespace {

QVariant setting(const PortalSettingValues &values, const char *settingNamespace, const char *settingKey) {
    return values.value(
        DesktopSettingsPortal::key(QString::fromLatin1(settingNamespace), QString::fromLatin1(settingKey)));
}

/// Follows the portal's settings and announces a change only when the options it derives change.
class PortalDisplayOptions : public DisplayOptionsProvider {
public:
    PortalDisplayOptions()
        : options_(displayOptionsFromPortal(DesktopSettingsPortal::shared().values())) {
        connect(&DesktopSettingsPortal::shared(), &DesktopSettingsPortal::changed, this, [this] {
            DisplayOptions fresh = displayOptionsFromPortal(DesktopSettingsPortal::shared().values());
            if (fresh != options_) {
                options_ = fresh;
                emit changed();
            }
        });
    }
    DisplayOptions current() const override { return options_; }

private:
    DisplayOptions options_;
};

DisplayOptionsProvider *installedProvider = nullptr;

} // namespace

DisplayOptions displayOptionsFromPortal(const PortalSettingValues &values) {
    DisplayOptions options;
    QVariant contrast = setting(values, "org.freedesktop.appearance", "contrast");
    QVariant highContrast = setting(values, "org.gnome.desktop.a11y.interface", "high-contrast");
    options.increaseContrast = contrast.toUInt() == 1 || highContrast.toBool();

    QVariant animations = setting(values, "org.gnome.desktop.interface", "enable-animations");
    QVariant animationFactor = setting(values, "org.kde.kdeglobals.KDE", "AnimationDurationFactor");
    bool animationsOff = animations.isValid() && !animations.toBool();
    bool instantAnimations = animationFactor.isValid() && animationFactor.toDouble() <= 0.0;
    options.reduceMotion = animationsOff || instantAnimations;
    return options;
}

void FixedDisplayOptions::set(DisplayOptions options) {
    if (options == options_) {
        return;
    }
    options_ = options;
    emit changed();
}

DisplayOptionsProvider &displayOptions() {
    if (installedProvider == nullptr) {
        installedProvider = new PortalDisplayOptions;
    }
    return *installedProvider;
}

void setDisplayOptionsProvider(DisplayOptionsProvider *provider) {
    installedProvider = provider;
}

} // namespace velto
