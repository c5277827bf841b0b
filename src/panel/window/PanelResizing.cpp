#include "panel/window/PanelResizing.h"

#include "preferences/PreferenceChoices.h"

#include <algorithm>

namespace velto::PanelResizing {

namespace {

double clampedDimension(double requested, double minimum, double maximum, std::optional<double> visible) {
    double upper = maximum;
    if (visible) {
        upper = std::min(maximum, std::max(0.0, *visible - screenMargin));
    }
    return std::min(std::max(minimum, requested), std::max(minimum, upper));
}

} // namespace

QSizeF clampedPanelSize(QSizeF requested, std::optional<QSizeF> visibleScreenSize) {
    std::optional<double> visibleWidth;
    std::optional<double> visibleHeight;
    if (visibleScreenSize) {
        visibleWidth = visibleScreenSize->width();
        visibleHeight = visibleScreenSize->height();
    }
    return {
        clampedDimension(requested.width(), PanelSizing::minimum.width(), PanelSizing::maximum.width(), visibleWidth),
        clampedDimension(requested.height(), PanelSizing::minimum.height(), PanelSizing::maximum.height(),
                         visibleHeight)};
}

} // namespace velto::PanelResizing
