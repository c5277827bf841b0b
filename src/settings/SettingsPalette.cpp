#include "settings/SettingsPalette.h"

#include "ui/VeltoUI.h"

namespace velto::SettingsPalette {

namespace {

// Label colours are translucent; the toolkit's controls draw best with opaque ones of the same look.
QColor over(const QColor &colour, const QColor &background) {
    double alpha = colour.alphaF();
    auto mix = [alpha](float front, float back) { return static_cast<float>(front * alpha + back * (1.0 - alpha)); };
    return QColor::fromRgbF(mix(colour.redF(), background.redF()), mix(colour.greenF(), background.greenF()),
                            mix(colour.blueF(), background.blueF()));
}

} // namespace

QPalette resolved() {
    using namespace VeltoUI;
    const QColor canvas = Colors::canvas.resolved();
    const QColor surface = Colors::surface.resolved();
    const QColor text = over(Colors::label.resolved(), canvas);
    const QColor secondary = over(Colors::secondaryLabel.resolved(), canvas);
    QPalette palette;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, canvas);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Base, Colors::field.resolved());
        palette.setColor(group, QPalette::AlternateBase, surface);
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::PlaceholderText, secondary);
        palette.setColor(group, QPalette::Button, Colors::plainActionIdle.resolved());
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::BrightText, text);
        palette.setColor(group, QPalette::Light, Colors::surface.resolved().lighter(115));
        palette.setColor(group, QPalette::Midlight, Colors::subtleBorder.resolved());
        palette.setColor(group, QPalette::Mid, Colors::border.resolved());
        palette.setColor(group, QPalette::Dark, Colors::strongBorder.resolved());
        palette.setColor(group, QPalette::Shadow, Colors::strongBorder.resolved().darker(150));
        palette.setColor(group, QPalette::Highlight, Colors::accent.resolved());
        palette.setColor(group, QPalette::HighlightedText, Colors::textOnAccent.resolved());
        palette.setColor(group, QPalette::ToolTipBase, Colors::tooltip.resolved());
        palette.setColor(group, QPalette::ToolTipText, text);
    }
    // Disabled controls keep their shapes and dim their texts.
    palette.setColor(QPalette::Disabled, QPalette::Window, canvas);
    palette.setColor(QPalette::Disabled, QPalette::Base, Colors::field.resolved());
    palette.setColor(QPalette::Disabled, QPalette::Button, Colors::plainActionIdle.resolved());
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                                     QPalette::PlaceholderText, QPalette::BrightText}) {
        palette.setColor(QPalette::Disabled, role, secondary);
    }
    palette.setColor(QPalette::Disabled, QPalette::Highlight, Colors::selection.resolved());
    palette.setColor(QPalette::Disabled, QPalette::HighlightedText, text);
    return palette;
}

} // namespace velto::SettingsPalette
