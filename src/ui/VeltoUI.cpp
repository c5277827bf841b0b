#include "ui/VeltoUI.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>

#include <cmath>

namespace velto::VeltoUI {

namespace {

double logicalDotsPerInch() {
    auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (application == nullptr || QGuiApplication::primaryScreen() == nullptr) {
        return 96.0;
    }
    return QGuiApplication::primaryScreen()->logicalDotsPerInchY();
}

QFont applicationFont() {
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) == nullptr) {
        return QFont();
    }
    return QGuiApplication::font();
}

} // namespace

QFont systemFont(double pixelSize, std::optional<QFont::Weight> weight) {
    QFont font = applicationFont();
    if (pixelSize == std::floor(pixelSize)) {
        font.setPixelSize(static_cast<int>(pixelSize));
    } else {
        // Pixel sizes are whole numbers in Qt; a point size at the screen's logical resolution keeps the fraction.
        font.setPointSizeF(pixelSize * 72.0 / logicalDotsPerInch());
    }
    if (weight) {
        font.setWeight(*weight);
    }
    return font;
}

namespace Typography {

double systemFontSize() {
    static const double size = [] {
        QFont font = applicationFont();
        if (font.pixelSize() > 0) {
            return static_cast<double>(font.pixelSize());
        }
        return std::round(font.pointSizeF() * logicalDotsPerInch() / 72.0);
    }();
    return size;
}

double smallSystemFontSize() {
    return systemFontSize() - 2;
}

const QFont &pageTitle() {
    static const QFont font = systemFont(systemFontSize() + 9, QFont::Normal);
    return font;
}

const QFont &sectionTitle() {
    static const QFont font = systemFont(smallSystemFontSize(), QFont::DemiBold);
    return font;
}

const QFont &rowTitle() {
    static const QFont font = systemFont(systemFontSize() - 0.5, QFont::Medium);
    return font;
}

const QFont &detail() {
    static const QFont font = systemFont(smallSystemFontSize());
    return font;
}

const QFont &control() {
    static const QFont font = systemFont(systemFontSize());
    return font;
}

} // namespace Typography

} // namespace velto::VeltoUI
