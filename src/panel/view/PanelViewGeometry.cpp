#include "panel/view/PanelViewGeometry.h"

#include <algorithm>
#include <cmath>

namespace velto::PanelViewGeometry {

QSizeF sizeThatFitsContent(bool textIsEmpty, double usedTextHeight, double verticalTextInset, QSizeF panelSize,
                           QSizeF editorViewportSize) {
    if (textIsEmpty) {
        return emptyPageSize;
    }
    double chrome = std::max(0.0, panelSize.height() - editorViewportSize.height());
    return {panelSize.width(), std::ceil(usedTextHeight + 2 * verticalTextInset + chrome)};
}

double textContainerWidth(double editorWidth, double horizontalTextInset) {
    return std::max(0.0, editorWidth - 2 * horizontalTextInset);
}

} // namespace velto::PanelViewGeometry
