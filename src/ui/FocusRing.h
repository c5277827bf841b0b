#pragma once

#include <QtCore/QRectF>
#include <QtGui/QColor>

class QPainter;
class QWidget;

namespace velto {

/// Whether `widget` shows a focus ring: it has the focus, and its window was last used with the keyboard (Tab
/// moved the focus) rather than the pointer. A click gives the focus without a ring and hides the ring of every
/// control of its window until Tab is pressed again, as the desktop's own controls do.
bool showsFocusRing(const QWidget &widget);

/// Makes a click hide the focus rings of its window (see `showsFocusRing`); Qt marks a window as used with the
/// keyboard on Tab but never unmarks it. Installed once for the application, by the first control that draws a
/// ring; the toolkit's controls that draw their focus frames by the same mark follow it too.
void hideFocusRingsOnClick();

/// The colour of a ring drawn over `fill`: the accent, half covering the fill, where that stands 3:1 apart from
/// it; else the whole accent; else (a control filled with the accent) `content`, the colour of its title.
QColor focusRingColor(const QColor &accent, const QColor &fill, const QColor &content);

/// Draws the ring a little inside `bounds`, a rounded rectangle with corners of `radius`, so that the control's
/// own fill shows on both sides of it and it reads on any background.
void drawFocusRing(QPainter &painter, const QRectF &bounds, double radius, const QColor &color);

} // namespace velto
