#pragma once

#include <QtCore/QPoint>
#include <QtCore/QRect>
#include <QtCore/QSize>

/// Where the floating surfaces go on screen. Screen coordinates as Qt has them: y grows downwards.
namespace velto::FloatingPlacement {

/// The margin between a floating panel's frame and the surface drawn inside it.
inline constexpr int panelContentInset = 6;
/// The gap between the editor's bottom edge and a banner or the shortcut hints.
inline constexpr int gapBelowEditor = 8;
/// How close a floating panel may come to the visible screen's left, right and bottom edges.
inline constexpr int screenMargin = 8;

/// The top-left corner of a banner or hints panel of `panelSize` under `editorFrame`: its visible surface
/// ends flush with the editor's right edge, 8 px below the editor's bottom edge. It keeps 8 px inside the
/// left and right edges of `visibleFrame` (the right edge wins when both cannot hold) and 8 px above its
/// bottom (then it may overlap the editor); the top is not limited.
QPoint panelOrigin(const QRect &editorFrame, const QSize &panelSize, const QRect &visibleFrame);

/// The gap between a tooltip and the view it belongs to.
inline constexpr int tooltipGap = 7;

/// The frame of a tooltip of `size` for a view at `anchorFrame`: centred over the view, 7 px above it.
/// It stays inside `availableFrame`: moved sideways to fit, and below the view when there is no room
/// above (then clamped to the bottom edge as well).
QRect tooltipFrame(const QRect &anchorFrame, const QSize &size, const QRect &availableFrame);

/// The top-left corner of the menu of `size` that a menu button at `buttonFrame` opens: below the button,
/// starting at its left edge, as a desktop's menu buttons open theirs; above it when the space below is too
/// short and the space above is longer; moved sideways to stay inside `availableFrame`. Never over the button.
QPoint buttonMenuOrigin(const QRect &buttonFrame, const QSize &size, const QRect &availableFrame);

} // namespace velto::FloatingPlacement
