#include "panel/view/ScrollAvailability.h"

namespace velto {

namespace {
constexpr double scrollTolerance = 0.5;
}

ScrollAvailability scrollAvailability(const QRectF &visible, const QRectF &document) {
    return {document.top() + scrollTolerance < visible.top(), visible.bottom() < document.bottom() - scrollTolerance};
}

} // namespace velto
