#include "ui/Appearance.h"

namespace velto {

DrawingAppearance resolveAppearance(AppearanceChoice preference, ColorScheme systemScheme) {
    switch (preference) {
    case AppearanceChoice::light:
        return DrawingAppearance::light;
    case AppearanceChoice::dark:
        return DrawingAppearance::dark;
    case AppearanceChoice::system:
        break;
    }
    return systemScheme == ColorScheme::dark ? DrawingAppearance::dark : DrawingAppearance::light;
}

VeltoAppearance &VeltoAppearance::shared() {
    static VeltoAppearance *appearance = new VeltoAppearance;
    return *appearance;
}

VeltoAppearance::VeltoAppearance() {
    // The source may be replaced (tests install a fixed one), so follow whichever is current when it changes.
    connect(&colorSchemeSource(), &ColorSchemeSource::changed, this, &VeltoAppearance::changed);
}

void VeltoAppearance::setPreference(AppearanceChoice preference) {
    if (preference == preference_) {
        return;
    }
    preference_ = preference;
    emit changed();
}

DrawingAppearance VeltoAppearance::current() const {
    return resolveAppearance(preference_, colorSchemeSource().current());
}

} // namespace velto
