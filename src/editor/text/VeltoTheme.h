#pragma once

#include "editor/text/TextAttributes.h"

namespace velto::editor {

enum class AppearanceChoice { system, light, dark };

/// The platform's named appearances that the editor distinguishes.
enum class Appearance {
    aqua,
    darkAqua,
    vibrantLight,
    vibrantDark,
    accessibilityHighContrastAqua,
    accessibilityHighContrastDarkAqua,
    accessibilityHighContrastVibrantLight,
    accessibilityHighContrastVibrantDark,
};

/// True when the appearance's best match among (darkAqua, aqua) is darkAqua.
bool matchesDarkAqua(Appearance appearance);

/// The resolved look of the panel and its editor.
struct VeltoTheme {
    Appearance appearance = Appearance::aqua;
    Color panelBackgroundColor;
    Color editorBackgroundColor;
    Color borderColor;
    Color ruleColor;
    Color textColor;
    bool operator==(const VeltoTheme &) const = default;

    static VeltoTheme resolve(AppearanceChoice preference, Appearance systemAppearance, bool increaseContrast);
};

} // namespace velto::editor
