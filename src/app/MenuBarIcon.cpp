#include "app/MenuBarIcon.h"

#include "app/VeltoApplicationIcon.h"

#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <QtWidgets/QSystemTrayIcon>

namespace velto {

const std::vector<double> &MenuBarIcon::pulseScales() {
    static const std::vector<double> scales{1.04, 1.08, 1.05, 1.02, 1.0};
    return scales;
}

MenuBarIcon::MenuBarIcon(QSystemTrayIcon *trayIcon) : trayIcon_(trayIcon) {
    timer_.setInterval(pulseFrameMilliseconds);
    connect(&timer_, &QTimer::timeout, this, &MenuBarIcon::showNextFrame);
}

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
    trayIcon_->setIcon(make(VeltoApplicationIcon::adaptiveImage()));
    trayIcon_->setToolTip(QStringLiteral("Velto"));
}

void MenuBarIcon::pulse() {
    if (trayIcon_ == nullptr || isPulsing()) {
        return;
    }
    frame_ = 0;
    showNextFrame();
    timer_.start();
}

void MenuBarIcon::showNextFrame() {
    const auto &scales = pulseScales();
    if (frame_ < 0 || frame_ >= static_cast<int>(scales.size())) {
        timer_.stop();
        frame_ = -1;
        return;
    }
    trayIcon_->setIcon(make(VeltoApplicationIcon::adaptiveImage(), scales[static_cast<std::size_t>(frame_)]));
    frame_ += 1;
}

} // namespace velto
