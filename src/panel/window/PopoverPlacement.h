#pragma once

#include <QtCore/QPoint>
#include <QtCore/QRect>
#include <QtCore/QSize>

#include <optional>

/// Where the panel's window goes on screen. Screen coordinates as Qt has them: y grows downwards.
namespace velto::PopoverPlacement {

/// The gap between the tray icon and the panel.
inline constexpr int anchorGap = 4;

/// The top-left corner of a panel of `size`: centred under the bottom centre of the tray icon's geometry,
/// above the icon when the tray sits in the lower half of the screen, centred under the pointer when the
/// tray gives no geometry; then moved inside `available` (the screen's area without panels and docks). A
/// panel larger than the area keeps its top-left corner on the area's top-left corner.
QPoint origin(std::optional<QRect> anchor, QPoint pointer, QSize size, QRect available);

/// `origin` moved as little as needed for a panel of `size` to lie inside `available`; a panel larger than
/// the area keeps its top-left corner on the area's top-left corner.
QPoint keptInside(QPoint origin, QSize size, QRect available);

} // namespace velto::PopoverPlacement
