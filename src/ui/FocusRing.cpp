#include "ui/FocusRing.h"

#include "ui/VeltoColor.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QWidget>

#include <algorithm>

namespace velto {

namespace {

/// What a focus indicator needs against what it lies on, as the parts of a control do.
constexpr double ringContrast = 3.0;
constexpr double ringWidth = 2;
/// From the control's edge to the middle of the ring's stroke: one pixel of the fill stays outside it.
constexpr double ringInset = 2;

/// Unmarks the window of every press of a mouse button, and repaints the control whose ring goes.
class ClickHidesFocusRings : public QObject {
protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
            QWidget *window = static_cast<QWidget *>(watched)->window();
            if (window->testAttribute(Qt::WA_KeyboardFocusChange)) {
                window->setAttribute(Qt::WA_KeyboardFocusChange, false);
                if (QWidget *focused = window->focusWidget()) {
                    focused->update();
                }
            }
        }
        return false;
    }
};

} // namespace

void hideFocusRingsOnClick() {
    static ClickHidesFocusRings *filter = [] {
        auto *installed = new ClickHidesFocusRings;
        QCoreApplication::instance()->installEventFilter(installed);
        return installed;
    }();
    (void)filter;
}

bool showsFocusRing(const QWidget &widget) {
    return widget.hasFocus() && widget.window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

QColor focusRingColor(const QColor &accent, const QColor &fill, const QColor &content) {
    QColor halfAccent = accent;
    halfAccent.setAlphaF(0.6f);
    const QColor candidates[] = {paintedOver(halfAccent, fill), accent};
    for (const QColor &candidate : candidates) {
        if (contrastRatio(candidate, fill) >= ringContrast) {
            return candidate;
        }
    }
    return content;
}

void drawFocusRing(QPainter &painter, const QRectF &bounds, double radius, const QColor &color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, ringWidth));
    painter.setBrush(Qt::NoBrush);
    const double innerRadius = std::max(0.0, radius - ringInset);
    painter.drawRoundedRect(bounds.adjusted(ringInset, ringInset, -ringInset, -ringInset), innerRadius, innerRadius);
    painter.restore();
}

} // namespace velto
