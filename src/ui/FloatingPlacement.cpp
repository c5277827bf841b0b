#include "ui/FloatingPlacement.h"

#include <algorithm>

namespace velto::FloatingPlacement {

namespace {

/// The first position past the rectangle's right and bottom edges (QRect's right() is the last pixel).
int endX(const QRect &rect) {
    return rect.x() + rect.width();
}
int endY(const QRect &rect) {
    return rect.y() + rect.height();
}

} // namespace

QPoint panelOrigin(const QRect &editorFrame, const QSize &panelSize, const QRect &visibleFrame) {
    int x = endX(editorFrame) - panelSize.width() + panelContentInset;
    int y = endY(editorFrame) + gapBelowEditor - panelContentInset;
    x = std::max(x, visibleFrame.x() + screenMargin);
    x = std::min(x, endX(visibleFrame) - panelSize.width() - screenMargin);
    y = std::min(y, endY(visibleFrame) - panelSize.height() - screenMargin);
    return {x, y};
}

QRect tooltipFrame(const QRect &anchorFrame, const QSize &size, const QRect &availableFrame) {
    int x = anchorFrame.x() + (anchorFrame.width() - size.width()) / 2;
    int y = anchorFrame.y() - tooltipGap - size.height();
    if (y < availableFrame.y()) {
        y = endY(anchorFrame) + tooltipGap;
    }
    // Left edge last, so that a tooltip wider than the screen starts at its left edge.
    x = std::min(x, endX(availableFrame) - size.width());
    x = std::max(x, availableFrame.x());
    y = std::min(y, endY(availableFrame) - size.height());
    y = std::max(y, availableFrame.y());
    return {QPoint(x, y), size};
}

QPoint buttonMenuOrigin(const QRect &buttonFrame, const QSize &size, const QRect &availableFrame) {
    int spaceBelow = endY(availableFrame) - endY(buttonFrame);
    int spaceAbove = buttonFrame.y() - availableFrame.y();
    int y = endY(buttonFrame);
    if (size.height() > spaceBelow && spaceAbove > spaceBelow) {
        y = buttonFrame.y() - size.height();
    }
    // Left edge last, so that a menu wider than the screen starts at its left edge.
    int x = std::min(buttonFrame.x(), endX(availableFrame) - size.width());
    x = std::max(x, availableFrame.x());
    return {x, y};
}

} // namespace velto::FloatingPlacement
