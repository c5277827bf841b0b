#include "panel/window/PopoverPlacement.h"

#include <algorithm>

namespace velto::PopoverPlacement {

QPoint origin(std::optional<QRect> anchor, QPoint pointer, QSize size, QRect available) {
    QPoint wanted;
    if (anchor && anchor->isValid()) {
        int centreX = anchor->x() + anchor->width() / 2;
        bool trayAtBottom = anchor->center().y() > available.center().y();
        int y = trayAtBottom ? anchor->y() - anchorGap - size.height() : anchor->y() + anchor->height() + anchorGap;
        wanted = QPoint(centreX - size.width() / 2, y);
    } else {
        wanted = QPoint(pointer.x() - size.width() / 2, pointer.y());
    }
    return keptInside(wanted, size, available);
}

QPoint keptInside(QPoint origin, QSize size, QRect available) {
    // QRect's right() and bottom() are the last pixels inside; the window must end at or before x + width.
    int maximumX = std::max(available.x(), available.x() + available.width() - size.width());
    int maximumY = std::max(available.y(), available.y() + available.height() - size.height());
    return {std::clamp(origin.x(), available.x(), maximumX), std::clamp(origin.y(), available.y(), maximumY)};
}

} // namespace velto::PopoverPlacement
