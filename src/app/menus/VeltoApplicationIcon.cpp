#include "app/menus/VeltoApplicationIcon.h"

#include "platform/ApplicationBundle.h"
#include "preferences/Preferences.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QPainter>
#include <QtGui/QPalette>
#include <QtSvg/QSvgRenderer>

namespace velto::VeltoApplicationIcon {

namespace {

QImage renderSvg(const std::filesystem::path &file, int pixels) {
    QSvgRenderer renderer(QString::fromStdString(file.string()));
    if (!renderer.isValid()) {
        return {};
    }
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

} // namespace

QImage loadImage(const QString &name, int pixels) {
    std::string fileName = name.toStdString() + ".svg";
    QImage image = renderSvg(applicationBundle::current().resourcesFolder() / fileName, pixels);
    if (image.isNull()) {
        image = renderSvg(std::filesystem::path(VELTO_SOURCE_DIR) / "resources" / "icons" / fileName, pixels);
    }
    return image;
}

Variants loadVariants(int pixels) {
    Variants variants;
    variants.lightBackground = loadImage(QStringLiteral("Velto"), pixels);
    if (variants.lightBackground.isNull()) {
        variants.lightBackground = QImage(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
        variants.lightBackground.fill(Qt::transparent);
    }
    variants.darkBackground = loadImage(QStringLiteral("VeltoIconLight"), pixels);
    if (variants.darkBackground.isNull()) {
        variants.darkBackground = variants.lightBackground;
    }
    return variants;
}

bool prefersDarkAppearance() {
    switch (VeltoPreferences::appearance()) {
    case AppearanceChoice::dark:
        return true;
    case AppearanceChoice::light:
        return false;
    case AppearanceChoice::system:
        break;
    }
    QPalette palette = QGuiApplication::palette();
    return palette.color(QPalette::Window).lightness() < 128;
}

QIcon adaptiveImage() {
    static const Variants variants = loadVariants();
    return QIcon(QPixmap::fromImage(prefersDarkAppearance() ? variants.darkBackground : variants.lightBackground));
}

} // namespace velto::VeltoApplicationIcon
