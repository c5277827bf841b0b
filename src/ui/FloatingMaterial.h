#pragma once

#include <QtGui/QPainter>
#include <QtWidgets/QWidget>

namespace velto {

/// Paints the rounded "material" of a floating surface: the surface colour, slightly translucent unless
/// the desktop asks for reduced transparency (or the window cannot be translucent), with a thin border
/// in the subtle border colour, 1 px with increased contrast, else half a pixel.
void paintFloatingMaterial(QPainter &painter, const QRectF &bounds, double cornerRadius);

/// The material's border width for the current display options.
double floatingMaterialBorderWidth();
/// The material's fill opacity for the current display options.
double floatingMaterialOpacity();

} // namespace velto
