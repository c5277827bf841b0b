#include "platform/desktop/ColorScheme.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QPalette>

namespace velto {

namespace {

/// The portal's scheme when it states one, else the application palette's.
class SystemColorScheme : public ColorSchemeSource {
public:
    SystemColorScheme()
        : scheme_(read()) {
        connect(&DesktopSettingsPortal::shared(), &DesktopSettingsPortal::changed, this, &SystemColorScheme::refresh);
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::instance()->installEventFilter(this);
        }
    }
    ColorScheme current() const override { return scheme_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange) {
            refresh();
        }
        return false;
    }

private:
    static ColorScheme read() {
        if (std::optional<ColorScheme> stated = colorSchemeFromPortal(DesktopSettingsPortal::shared().values())) {
            return *stated;
        }
        if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) == nullptr) {
            return ColorScheme::light;
        }
        return colorSchemeFromPalette(desktopPalette());
    }
    void refresh() {
        ColorScheme fresh = read();
        if (fresh != scheme_) {
            scheme_ = fresh;
            emit changed();
        }
    }

    ColorScheme scheme_;
};

ColorSchemeSource *installedSource = nullptr;

/// Kept once Velto replaces the application palette, which then no longer tells the desktop's scheme.
std::optional<QPalette> &keptDesktopPalette() {
    static std::optional<QPalette> palette;
    return palette;
}

} // namespace

QPalette desktopPalette() {
    return keptDesktopPalette().value_or(QGuiApplication::palette());
}

void setApplicationPalette(const QPalette &palette) {
    if (!keptDesktopPalette()) {
        keptDesktopPalette() = QGuiApplication::palette();
    }
    QGuiApplication::setPalette(palette);
}

std::optional<ColorScheme> colorSchemeFromPortal(const PortalSettingValues &values) {
    QVariant value = values.value(
        DesktopSettingsPortal::key(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme")));
    if (!value.isValid()) {
        return std::nullopt;
    }
    switch (value.toUInt()) {
    case 1:
        return ColorScheme::dark;
    case 2:
        return ColorScheme::light;
    default:
        return std::nullopt;
    }
}

ColorScheme colorSchemeFromPalette(const QPalette &palette) {
    return palette.color(QPalette::Window).lightness() < 128 ? ColorScheme::dark : ColorScheme::light;
}

void FixedColorScheme::set(ColorScheme scheme) {
    if (scheme == scheme_) {
        return;
    }
    scheme_ = scheme;
    emit changed();
}

ColorSchemeSource &colorSchemeSource() {
    if (installedSource == nullptr) {
        installedSource = new SystemColorScheme;
    }
    return *installedSource;
}

void setColorSchemeSource(ColorSchemeSource *source) {
    installedSource = source;
}

} // namespace velto
