#pragma once

#include <QtCore/QSizeF>

/// The sizes the panel view computes, without a display.
namespace velto::PanelViewGeometry {

/// Between the panel's edges and the editor.
inline constexpr int editorInset = 6;
/// The panel size an empty page asks for.
inline constexpr QSizeF emptyPageSize{500, 325};

/// The panel size that shows the whole text at the present width: the text's used height, its vertical
/// inset twice and the panel's own space around the editor, rounded up to a whole pixel. An empty page
/// asks for 500 × 325 whatever the panel's present size.
QSizeF sizeThatFitsContent(bool textIsEmpty, double usedTextHeight, double verticalTextInset, QSizeF panelSize,
                           QSizeF editorViewportSize);

/// The text container's width for an editor of this width: its width less the horizontal inset on both
/// sides, never negative.
double textContainerWidth(double editorWidth, double horizontalTextInset);

} // namespace velto::PanelViewGeometry
