#include "app/menus/MenuBarIcon.h"

#include "app/menus/VeltoApplicationIcon.h"
#include "platform/desktop/DisplayOptions.h"

#include <QtCore/QEasingCurve>
#include <QtCore/QVariantAnimation>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <QtWidgets/QSystemTrayIcon>

#include <algorithm>

namespace velto {

const QString MenuBarIcon::accessibilityHelp =
    QStringLiteral("Open the current page. Right-click for actions and recovery.");

namespace {

constexpr double peakScale = 1.08;
constexpr double peakTime = 0.42;

QEasingCurve bezier(double x1, double y1, double x2, double y2) {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(x1, y1), QPointF(x2, y2), QPointF(1, 1));
    return curve;
}

} // namespace

double MenuBarIcon::pulseScale(double progress) {
    static const QEasingCurve growing = bezier(0.23, 1.0, 0.32, 1.0);
    static const QEasingCurve shrinking = bezier(0.77, 0.0, 0.175, 1.0);
    progress = std::clamp(progress, 0.0, 1.0);
    if (progress <= peakTime) {
        return 1.0 + (peakScale - 1.0) * growing.valueForProgress(progress / peakTime);
    }
    return peakScale + (1.0 - peakScale) * shrinking.valueForProgress((progress - peakTime) / (1.0 - peakTime));
}

MenuBarIcon::MenuBarIcon(QSystemTrayIcon *trayIcon)
    : trayIcon_(trayIcon) {}

MenuBarIcon::~MenuBarIcon() = default;

QIcon MenuBarIcon::make(const QIcon &image, double scale) {
    QIcon icon;
    for (int size : {16, 18, 22, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        // The artwork is drawn a little inside the canvas so that the pulse has room to grow.
        double side = size * 0.9 * scale;
        QRectF target((size - side) / 2, (size - side) / 2, side, side);
        painter.drawPixmap(target, image.pixmap(size * 2, size * 2), QRectF(0, 0, size * 2, size * 2));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void MenuBarIcon::configure() {
    if (trayIcon_ == nullptr) {
        return;
    }
    // Every show and hide of the panel asks, on the hot key's way to the panel's paint: the icon is made
    // again only when the appearance now calls for the other variant, or a pulse drew frames of its own.
    const bool dark = VeltoApplicationIcon::prefersDarkAppearance();
    if (darkVariantShown_ != dark) {
        trayIcon_->setIcon(make(VeltoApplicationIcon::adaptiveImage()));
        darkVariantShown_ = dark;
    }
    // A tray icon has no help text of its own: the tool tip carries it under the name, as the desktop's
    // status notifier shows and reads a tool tip's title and text.
    trayIcon_->setToolTip(QStringLiteral("Velto\n") + accessibilityHelp);
}

bool MenuBarIcon::isPulsing() const {
    return animation_ != nullptr;
}

void MenuBarIcon::pulse() {
    if (trayIcon_ == nullptr || isPulsing() || displayOptions().current().reduceMotion) {
        return;
    }
    darkVariantShown_.reset();
    auto *animation = new QVariantAnimation(this);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(pulseMilliseconds);
    const QIcon image = VeltoApplicationIcon::adaptiveImage();
    connect(animation, &QVariantAnimation::valueChanged, this, [this, image](const QVariant &progress) {
        trayIcon_->setIcon(make(image, pulseScale(progress.toDouble())));
    });
    animation_ = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace velto
