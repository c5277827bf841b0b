#pragma once

#include "platform/desktop/ColorScheme.h"
#include "preferences/PreferenceChoices.h"

#include <QtCore/QObject>

namespace velto {

/// The appearance a view is drawn in.
enum class DrawingAppearance { light, dark };

/// The appearance preference wins; "system" follows the desktop's colour scheme.
DrawingAppearance resolveAppearance(AppearanceChoice preference, ColorScheme systemScheme);

/// The appearance every Velto window draws in: the user's preference, else the system's colour scheme.
/// Colours of the kit resolve against it each time they are painted; views that cache anything coloured
/// listen to `changed`. Main thread only.
class VeltoAppearance : public QObject {
    Q_OBJECT

public:
    static VeltoAppearance &shared();

    AppearanceChoice preference() const { return preference_; }
    /// Applied by the application when it starts and whenever the preference changes.
    void setPreference(AppearanceChoice preference);
    /// The appearance to draw in now.
    DrawingAppearance current() const;

signals:
    /// The preference or the system's colour scheme changed.
    void changed();

private:
    VeltoAppearance();

    AppearanceChoice preference_ = AppearanceChoice::system;
};

} // namespace velto
