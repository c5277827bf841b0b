#pragma once

#include <QtCore/QSizeF>

#include <optional>

namespace velto::PanelResizing {

/// Kept free between the panel and the edges of the screen's visible area, in each dimension.
inline constexpr double screenMargin = 48;

/// The panel size for a requested one: each dimension at least PanelSizing's minimum and at most the smaller
/// of its maximum and the visible screen area less the margin (no screen known: the maximum alone); the
/// minimum wins over a screen too small for it.
QSizeF clampedPanelSize(QSizeF requested, std::optional<QSizeF> visibleScreenSize);

} // namespace velto::PanelResizing
