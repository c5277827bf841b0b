#include "ui/VeltoColor.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QGuiApplication>
#include <QtGui/QPalette>

#include <cmath>
#include <utility>

namespace velto {

namespace {

QColor fromComponents(const ColorComponents &components, double alpha = 1.0) {
    return QColor::fromRgbF(static_cast<float>(components.red), static_cast<float>(components.green),
                            static_cast<float>(components.blue), static_cast<float>(alpha));
}

QColor grey(double level, double alpha = 1.0) {
    return fromComponents({level, level, level}, alpha);
}

QColor blend(const QColor &from, const QColor &towards, double fraction) {
    auto mix = [fraction](float a, float b) { return static_cast<float>(a + (b - a) * fraction); };
    return QColor::fromRgbF(mix(from.redF(), towards.redF()), mix(from.greenF(), towards.greenF()),
                            mix(from.blueF(), towards.blueF()), mix(from.alphaF(), towards.alphaF()));
}

} // namespace

QColor blendedAccent(const QColor &accent, DrawingAppearance appearance, double lightFraction, double darkFraction) {
    QColor rgb = accent.toRgb();
    if (appearance == DrawingAppearance::dark) {
        return blend(rgb, Qt::white, darkFraction);
    }
    return blend(rgb, Qt::black, lightFraction);
}

QColor VeltoColor::resolved(DrawingAppearance appearance, const QColor &accent) const {
    bool isDark = appearance == DrawingAppearance::dark;
    switch (kind) {
    case Kind::adaptive:
        return isDark ? fromComponents(dark) : grey(lightGrey);
    case Kind::label:
        return isDark ? grey(1.0, 0.85) : grey(0.0, 0.85);
    case Kind::secondaryLabel:
        return isDark ? grey(1.0, 0.55) : grey(0.0, 0.5);
    case Kind::accent:
        return accent.toRgb();
    case Kind::adjustedAccent:
        return blendedAccent(accent, appearance, lightFraction, darkFraction);
    case Kind::textOnAccent:
        return Qt::white;
    }
    return grey(lightGrey);
}

QColor VeltoColor::resolved() const {
    return resolved(VeltoAppearance::shared().current(), desktopAccentColor());
}

namespace {

double relativeLuminance(const QColor &color) {
    auto linear = [](double component) {
        return component <= 0.04045 ? component / 12.92 : std::pow((component + 0.055) / 1.055, 2.4);
    };
    QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

} // namespace

double contrastRatio(const QColor &first, const QColor &second) {
    double lighter = relativeLuminance(first);
    double darker = relativeLuminance(second);
    if (lighter < darker) {
        std::swap(lighter, darker);
    }
    return (lighter + 0.05) / (darker + 0.05);
}

QColor paintedOver(const QColor &color, const QColor &background) {
    QColor top = color.toRgb();
    QColor bottom = background.toRgb();
    double alpha = top.alphaF();
    auto mix = [alpha](double over, double under) { return over * alpha + under * (1 - alpha); };
    return QColor::fromRgbF(static_cast<float>(mix(top.redF(), bottom.redF())),
                            static_cast<float>(mix(top.greenF(), bottom.greenF())),
                            static_cast<float>(mix(top.blueF(), bottom.blueF())));
}

QColor withContrast(const QColor &color, const QColor &against, double ratio, const QColor &towards) {
    constexpr int steps = 40;
    QColor blended = color;
    for (int step = 1; step <= steps && contrastRatio(blended, against) < ratio; ++step) {
        QColor target = towards;
        target.setAlphaF(static_cast<float>(step) / steps);
        blended = paintedOver(target, color);
    }
    return blended;
}

QColor desktopAccentColor() {
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) == nullptr) {
        return QColor(0x35, 0x84, 0xe4);
    }
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
}

} // namespace velto
