#pragma once

#include "platform/desktop/DesktopSettingsPortal.h"

#include <QtCore/QObject>

#include <optional>

class QPalette;

namespace velto {

/// Whether the desktop draws light or dark.
enum class ColorScheme { light, dark };

/// The portal's "color-scheme": 1 asks for dark, 2 for light; 0 (no preference), a missing key or any
/// other value gives nothing.
std::optional<ColorScheme> colorSchemeFromPortal(const PortalSettingValues &values);

/// Dark when the palette's window colour is darker than mid-grey (lightness below 128).
ColorScheme colorSchemeFromPalette(const QPalette &palette);

/// Where the system's colour scheme comes from; announces every change.
class ColorSchemeSource : public QObject {
    Q_OBJECT

public:
    virtual ColorScheme current() const = 0;

signals:
    void changed();
};

/// A scheme that stays as set; the stand-in for tests.
class FixedColorScheme : public ColorSchemeSource {
    Q_OBJECT

public:
    explicit FixedColorScheme(ColorScheme scheme = ColorScheme::light)
        : scheme_(scheme) {}
    ColorScheme current() const override { return scheme_; }
    void set(ColorScheme scheme);

private:
    ColorScheme scheme_;
};

/// The process's source: the portal's colour scheme where the desktop states one, else the lightness of the
/// desktop's palette; follows portal and palette changes.
ColorSchemeSource &colorSchemeSource();

/// The palette the desktop gave the application: the application palette until Velto draws its own appearance
/// into it (`setApplicationPalette`), the palette from before that afterwards.
QPalette desktopPalette();
/// Makes `palette` the application palette, keeping the desktop's palette for `desktopPalette` the first time.
void setApplicationPalette(const QPalette &palette);
/// Installs a source (owned by the caller, who keeps it alive).
void setColorSchemeSource(ColorSchemeSource *source);

} // namespace velto
