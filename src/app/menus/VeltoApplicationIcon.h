#pragma once

#include <QtGui/QIcon>
#include <QtGui/QImage>

#include <filesystem>

namespace velto {

/// The application's image in two variants: dark artwork for light backgrounds and light artwork for dark
/// ones. Linux has no image that redraws itself for the place it is drawn in, so callers pick the variant
/// for the appearance in force (the preference, or the palette when the preference follows the system).
namespace VeltoApplicationIcon {

struct Variants {
    QImage lightBackground;
    QImage darkBackground;
};

/// The image from the bundle's Resources (an SVG rendered at `pixels` square), else from the source tree's
/// icon folder (a development run); a null image when neither can be read.
QImage loadImage(const QString &name, int pixels);

/// "Velto" and "VeltoIconLight"; a missing light variant is the "Velto" image, a missing "Velto" image an empty
/// transparent one.
Variants loadVariants(int pixels = 256);

/// Whether the appearance preference (or, following the system, the palette) is dark.
bool prefersDarkAppearance();

/// The variant for the appearance in force, as an icon rendered at the usual sizes.
QIcon adaptiveImage();

} // namespace VeltoApplicationIcon

} // namespace velto
