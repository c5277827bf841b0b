#include "ui/WindowAppearance.h"

#include "platform/desktop/ColorScheme.h"

#include "ui/VeltoColor.h"
#include "ui/VeltoUI.h"

#include <QtCore/QEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QToolTip>
#include <QtWidgets/QWidget>

namespace velto {
namespace {

DrawingAppearance appearanceOf(const QPalette &palette) {
    return palette.color(QPalette::Active, QPalette::Window).lightnessF() < 0.5 ? DrawingAppearance::dark
                                                                                : DrawingAppearance::light;
}

QPalette kitPalette(DrawingAppearance appearance, const QColor &accent) {
    namespace Colors = VeltoUI::Colors;
    auto color = [&](const VeltoColor &kitColor) { return kitColor.resolved(appearance, accent); };
    QPalette palette;
    palette.setColor(QPalette::Window, color(Colors::canvas));
    palette.setColor(QPalette::WindowText, color(Colors::label));
    palette.setColor(QPalette::Base, color(Colors::field));
    palette.setColor(QPalette::AlternateBase, color(Colors::canvasEdge));
    palette.setColor(QPalette::Text, color(Colors::label));
    palette.setColor(QPalette::PlaceholderText, color(Colors::secondaryLabel));
    palette.setColor(QPalette::Button, color(Colors::interactiveIdle));
    palette.setColor(QPalette::ButtonText, color(Colors::label));
    palette.setColor(QPalette::Highlight, color(Colors::accent));
    palette.setColor(QPalette::HighlightedText, color(Colors::textOnAccent));
    palette.setColor(QPalette::Link, color(Colors::accent));
    palette.setColor(QPalette::ToolTipBase, color(Colors::tooltip));
    palette.setColor(QPalette::ToolTipText, color(Colors::label));
    // The shades a style draws frames and bevels with.
    palette.setColor(QPalette::Light, color(Colors::surface));
    palette.setColor(QPalette::Midlight, color(Colors::subtleBorder));
    palette.setColor(QPalette::Mid, color(Colors::border));
    palette.setColor(QPalette::Dark, color(Colors::strongBorder));
    palette.setColor(QPalette::Shadow, color(Colors::strongBorder));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, color(Colors::secondaryLabel));
    }
    return palette;
}

} // namespace

QPalette standardPalette(DrawingAppearance appearance, const QPalette &applicationPalette) {
    if (appearanceOf(applicationPalette) == appearance) {
        return applicationPalette;
    }
    return kitPalette(appearance, applicationPalette.color(QPalette::Active, QPalette::Highlight));
}

void followAppearance(QWidget *widget) {
    auto apply = [widget] {
        widget->setPalette(standardPalette(VeltoAppearance::shared().current(), desktopPalette()));
    };
    apply();
    QObject::connect(&VeltoAppearance::shared(), &VeltoAppearance::changed, widget, apply);
}

namespace {

/// Keeps the application palette, and the tooltips', in the appearance. Qt gives the tooltips the desktop
/// theme's palette again when it reads the theme, so each tooltip takes the appearance's as it shows.
class ApplicationAppearance : public QObject {
public:
    ApplicationAppearance() {
        apply();
        connect(&VeltoAppearance::shared(), &VeltoAppearance::changed, this, &ApplicationAppearance::apply);
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType() && watched->inherits("QTipLabel")) {
            auto *tip = static_cast<QWidget *>(watched);
            if (tip->palette() != palette_) {
                tip->setPalette(palette_);
            }
        }
        return false;
    }

private:
    void apply() {
        palette_ = standardPalette(VeltoAppearance::shared().current(), desktopPalette());
        setApplicationPalette(palette_);
        QToolTip::setPalette(palette_);
    }

    QPalette palette_;
};

} // namespace

void followAppearanceInEveryWindow() {
    static ApplicationAppearance *following = new ApplicationAppearance;
    (void)following;
}

} // namespace velto
