#pragma once

#include "ui/VeltoColor.h"

#include <QtGui/QFont>

#include <optional>

/// The design kit that every Velto window draws with: lengths, fonts, corner radii, colours and the
/// palettes of the custom buttons. Lengths are device-independent pixels. Colours are `VeltoColor`
/// values, resolved against the current appearance each time they are painted. Main thread only.
/// The button operations of the kit are in VeltoUIControls.h.
namespace velto::VeltoUI {

namespace Metrics {
inline constexpr double hairline = 1;
inline constexpr double controlHeight = 30;
inline constexpr double contentStateIconSide = 44;
inline constexpr double contentStateSymbolPointSize = 28;
inline constexpr double spacing4 = 4;
inline constexpr double spacing8 = 8;
inline constexpr double spacing10 = 10;
inline constexpr double spacing12 = 12;
inline constexpr double spacing24 = 24;
inline constexpr double spacing28 = 28;
inline constexpr double spacing40 = 40;
} // namespace Metrics

namespace Shape {
inline constexpr double controlRadius = Metrics::spacing8;
inline constexpr double cardRadius = Metrics::spacing10;
} // namespace Shape

/// Fonts derived from the application font, made once on first use. "System size" is the application
/// font's size in pixels; "small size" is two pixels less.
namespace Typography {
double systemFontSize();
double smallSystemFontSize();
const QFont &pageTitle();    // system size + 9, regular
const QFont &sectionTitle(); // small size, semibold
const QFont &rowTitle();     // system size − 0.5, medium
const QFont &detail();       // small size, the font's own weight
const QFont &control();      // system size, the font's own weight
} // namespace Typography

/// The application font at a size in device-independent pixels (fractions kept) and weight.
QFont systemFont(double pixelSize, std::optional<QFont::Weight> weight = std::nullopt);

/// The colours with which a `HoverButton` of one prominence is drawn.
struct ActionPalette {
    VeltoColor idleBackground;
    VeltoColor hoverBackground;
    VeltoColor pressedBackground;
    VeltoColor foreground;
    std::optional<VeltoColor> borderColor;
    friend bool operator==(const ActionPalette &, const ActionPalette &) = default;
};

/// The role of a standard push button.
enum class NativeActionRole { standard, defaultAction };

namespace Colors {
using C = ColorComponents;
inline constexpr VeltoColor interactiveHover = VeltoColor::adaptive(0.945, C{0.16, 0.17, 0.20});
inline constexpr VeltoColor interactivePressed = VeltoColor::adaptive(0.89, C{0.20, 0.22, 0.26});
inline constexpr VeltoColor interactiveIdle = VeltoColor::adaptive(0.965, C{0.125, 0.135, 0.16});
inline constexpr VeltoColor plainActionIdle = VeltoColor::adaptive(0.94, C{0.15, 0.16, 0.19});
inline constexpr VeltoColor plainActionHover = VeltoColor::adaptive(0.91, C{0.19, 0.20, 0.24});
inline constexpr VeltoColor plainActionPressed = VeltoColor::adaptive(0.87, C{0.23, 0.25, 0.29});
inline constexpr VeltoColor surface = VeltoColor::adaptive(1.0, C{0.09, 0.10, 0.12});
inline constexpr VeltoColor canvas = VeltoColor::adaptive(0.975, C{0.075, 0.08, 0.095});
inline constexpr VeltoColor canvasEdge = VeltoColor::adaptive(0.94, C{0.055, 0.06, 0.075});
inline constexpr VeltoColor selection = VeltoColor::adaptive(0.89, C{0.20, 0.215, 0.245});
inline constexpr VeltoColor selectionBorder = VeltoColor::adaptive(0.84, C{0.30, 0.32, 0.36});
inline constexpr VeltoColor field = VeltoColor::adaptive(0.985, C{0.12, 0.13, 0.15});
inline constexpr VeltoColor border = VeltoColor::adaptive(0.86, C{0.25, 0.27, 0.31});
inline constexpr VeltoColor strongBorder = VeltoColor::adaptive(0.72, C{0.39, 0.42, 0.48});
inline constexpr VeltoColor subtleBorder = VeltoColor::adaptive(0.91, C{0.18, 0.20, 0.23});
inline constexpr VeltoColor divider = VeltoColor::adaptive(0.94, C{0.16, 0.17, 0.20});
inline constexpr VeltoColor icon = VeltoColor::adaptive(0.38, C{0.68, 0.71, 0.77});
inline constexpr VeltoColor emphasizedIcon = VeltoColor::adaptive(0.16, C{0.91, 0.93, 0.97});
inline constexpr VeltoColor tooltip = VeltoColor::adaptive(1.0, C{0.11, 0.12, 0.145});
inline constexpr VeltoColor tooltipBorder = VeltoColor::adaptive(0.86, C{0.25, 0.27, 0.31});

/// The desktop's own colours the kit draws with, resolved in the same appearance.
inline constexpr VeltoColor label = VeltoColor::ofKind(VeltoColor::Kind::label);
inline constexpr VeltoColor secondaryLabel = VeltoColor::ofKind(VeltoColor::Kind::secondaryLabel);
inline constexpr VeltoColor accent = VeltoColor::ofKind(VeltoColor::Kind::accent);
inline constexpr VeltoColor textOnAccent = VeltoColor::ofKind(VeltoColor::Kind::textOnAccent);

inline constexpr ActionPalette plainAction{plainActionIdle, plainActionHover, plainActionPressed, label, std::nullopt};
inline constexpr ActionPalette secondaryAction{surface, interactiveHover, interactivePressed, label, strongBorder};
inline constexpr ActionPalette primaryAction{accent, VeltoColor::adjustedAccent(0.08, 0.12),
                                             VeltoColor::adjustedAccent(0.16, 0.06), textOnAccent, std::nullopt};
} // namespace Colors

} // namespace velto::VeltoUI
