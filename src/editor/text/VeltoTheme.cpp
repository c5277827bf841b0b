#include "editor/text/VeltoTheme.h"

namespace velto::editor {

bool matchesDarkAqua(Appearance appearance) {
    switch (appearance) {
    case Appearance::darkAqua:
    case Appearance::vibrantDark:
    case Appearance::accessibilityHighContrastDarkAqua:
    case Appearance::accessibilityHighContrastVibrantDark:
        return true;
    default:
        return false;
    }
}

namespace {

Color gray(double level) {
    return Color::sRGB(level, level, level);
}

} // namespace

VeltoTheme VeltoTheme::resolve(AppearanceChoice preference, Appearance systemAppearance, bool increaseContrast) {
    VeltoTheme theme;
    switch (preference) {
    case AppearanceChoice::system:
        theme.appearance = systemAppearance;
        break;
    case AppearanceChoice::light:
        theme.appearance = Appearance::aqua;
        break;
    case AppearanceChoice::dark:
        theme.appearance = Appearance::darkAqua;
        break;
    }
    if (matchesDarkAqua(theme.appearance)) {
        theme.panelBackgroundColor = Color::sRGB(0.07, 0.078, 0.094);
        theme.editorBackgroundColor = Color::sRGB(0.098, 0.106, 0.125);
        theme.borderColor = increaseContrast ? Color::sRGB(0.38, 0.4, 0.45) : Color::sRGB(0.22, 0.235, 0.275);
        theme.ruleColor = increaseContrast ? Color::sRGB(0.52, 0.54, 0.59) : Color::sRGB(0.31, 0.33, 0.38);
        theme.textColor = increaseContrast ? Color::sRGB(0.98, 0.985, 0.99) : Color::sRGB(0.88, 0.9, 0.93);
    } else {
        theme.panelBackgroundColor = gray(0.95);
        theme.editorBackgroundColor = gray(1.0);
        theme.borderColor = gray(increaseContrast ? 0.6 : 0.82);
        theme.ruleColor = gray(increaseContrast ? 0.62 : 0.84);
        theme.textColor = gray(increaseContrast ? 0.03 : 0.12);
    }
    return theme;
}

} // namespace velto::editor
