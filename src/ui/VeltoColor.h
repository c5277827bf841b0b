#pragma once

#include "ui/Appearance.h"

#include <QtGui/QColor>

namespace velto {

/// sRGB components, each in 0…1.
struct ColorComponents {
    double red = 0;
    double green = 0;
    double blue = 0;
    friend bool operator==(const ColorComponents &, const ColorComponents &) = default;
};

/// A colour of the kit that is resolved when it is painted, against the appearance of that moment:
/// a grey level for light and an sRGB triple for dark, a label colour, or the desktop's accent colour
/// (plain, blended, or the text drawn on it).
struct VeltoColor {
    enum class Kind { adaptive, label, secondaryLabel, accent, adjustedAccent, textOnAccent };

    Kind kind = Kind::adaptive;
    double lightGrey = 0;
    ColorComponents dark;
    /// For an adjusted accent: the share of black blended in when light, of white when dark.
    double lightFraction = 0;
    double darkFraction = 0;

    friend bool operator==(const VeltoColor &, const VeltoColor &) = default;

    static constexpr VeltoColor adaptive(double lightGrey, ColorComponents dark) {
        return {Kind::adaptive, lightGrey, dark, 0, 0};
    }
    static constexpr VeltoColor adjustedAccent(double lightFraction, double darkFraction) {
        return {Kind::adjustedAccent, 0, {}, lightFraction, darkFraction};
    }
    static constexpr VeltoColor ofKind(Kind kind) { return {kind, 0, {}, 0, 0}; }

    /// The colour in the given appearance, with the given accent colour of the desktop.
    QColor resolved(DrawingAppearance appearance, const QColor &accent) const;
    /// The colour in the current appearance, with the application palette's accent (its highlight).
    QColor resolved() const;
};

/// The accent blended towards black (light) or white (dark) by the given share; the accent itself for
/// a share of zero.
QColor blendedAccent(const QColor &accent, DrawingAppearance appearance, double lightFraction, double darkFraction);

/// The desktop's accent colour: the application palette's highlight.
QColor desktopAccentColor();

/// The contrast ratio of two opaque colours as the web's accessibility guidelines define it, from 1 (the same
/// luminance) to 21 (black and white); text needs 4.5, the parts of a control 3.
double contrastRatio(const QColor &first, const QColor &second);

/// What the eye sees where `color`, with its alpha, is painted over the opaque `background`.
QColor paintedOver(const QColor &color, const QColor &background);

/// `color` blended towards `towards` in small steps until its contrast with `against` reaches `ratio` (or it
/// becomes `towards`).
QColor withContrast(const QColor &color, const QColor &against, double ratio, const QColor &towards);

} // namespace velto
