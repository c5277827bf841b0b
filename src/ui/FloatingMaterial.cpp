#include "ui/FloatingMaterial.h"

#include "platform/desktop/DisplayOptions.h"
#include "ui/VeltoUI.h"

namespace velto {

double floatingMaterialBorderWidth() {
    return displayOptions().current().increaseContrast ? 1.0 : 0.5;
}

double floatingMaterialOpacity() {
    return displayOptions().current().reduceTransparency ? 1.0 : 0.94;
}

void paintFloatingMaterial(QPainter &painter, const QRectF &bounds, double cornerRadius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = VeltoUI::Colors::surface.resolved();
    fill.setAlphaF(static_cast<float>(floatingMaterialOpacity()));
    double border = floatingMaterialBorderWidth();
    painter.setPen(QPen(VeltoUI::Colors::subtleBorder.resolved(), border));
    painter.setBrush(fill);
    double half = border / 2;
    painter.drawRoundedRect(bounds.adjusted(half, half, -half, -half), cornerRadius, cornerRadius);
    painter.restore();
}

} // namespace velto
