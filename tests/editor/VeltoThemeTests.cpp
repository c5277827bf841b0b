#include "ColorContrast.h"

#include "editor/text/VeltoTheme.h"

#include <gtest/gtest.h>

using namespace velto::editor;
using velto::editor::testing::contrastRatio;
using velto::editor::testing::relativeLuminance;

namespace {

const Appearance allAppearances[] = {Appearance::aqua,
                                     Appearance::darkAqua,
                                     Appearance::vibrantLight,
                                     Appearance::vibrantDark,
                                     Appearance::accessibilityHighContrastAqua,
                                     Appearance::accessibilityHighContrastDarkAqua,
                                     Appearance::accessibilityHighContrastVibrantLight,
                                     Appearance::accessibilityHighContrastVibrantDark};

/// Theme colours are fixed sRGB colours: their light and dark components are the same.
RGBComponents shown(const Color &color) {
    return color.light;
}

} // namespace

TEST(VeltoThemeTests, ChoiceOverridesTheSystemAppearanceWhichSystemFollows) {
    for (Appearance system : allAppearances) {
        EXPECT_EQ(VeltoTheme::resolve(AppearanceChoice::light, system, false).appearance, Appearance::aqua);
        EXPECT_EQ(VeltoTheme::resolve(AppearanceChoice::dark, system, false).appearance, Appearance::darkAqua);
        EXPECT_EQ(VeltoTheme::resolve(AppearanceChoice::system, system, false).appearance, system);
    }
}

TEST(VeltoThemeTests, TextIsLegibleAndRulesVisibleInEveryAppearance) {
    for (Appearance appearance : allAppearances) {
        for (bool increaseContrast : {false, true}) {
            const VeltoTheme theme = VeltoTheme::resolve(AppearanceChoice::system, appearance, increaseContrast);
            SCOPED_TRACE(static_cast<int>(appearance) * 2 + int(increaseContrast));
            const RGBComponents editor = shown(theme.editorBackgroundColor);
            const RGBComponents panel = shown(theme.panelBackgroundColor);
            const RGBComponents text = shown(theme.textColor);
            EXPECT_EQ(relativeLuminance(text) > relativeLuminance(editor), matchesDarkAqua(appearance));
            EXPECT_GE(contrastRatio(text, editor), 7.0);
            EXPECT_GE(contrastRatio(text, panel), 7.0);
            EXPECT_GE(contrastRatio(shown(theme.borderColor), panel), 1.3);
            EXPECT_GE(contrastRatio(shown(theme.ruleColor), editor), 1.3);
        }
    }
}

TEST(VeltoThemeTests, IncreasedContrastMovesBorderRuleAndTextAwayFromUnchangedBackgrounds) {
    for (Appearance appearance : {Appearance::aqua, Appearance::darkAqua}) {
        const VeltoTheme plain = VeltoTheme::resolve(AppearanceChoice::system, appearance, false);
        const VeltoTheme contrast = VeltoTheme::resolve(AppearanceChoice::system, appearance, true);
        const RGBComponents editor = shown(plain.editorBackgroundColor);
        EXPECT_EQ(contrast.panelBackgroundColor, plain.panelBackgroundColor);
        EXPECT_EQ(contrast.editorBackgroundColor, plain.editorBackgroundColor);
        EXPECT_GT(contrastRatio(shown(contrast.textColor), editor), contrastRatio(shown(plain.textColor), editor));
        EXPECT_GT(contrastRatio(shown(contrast.ruleColor), editor), contrastRatio(shown(plain.ruleColor), editor));
        const RGBComponents panel = shown(plain.panelBackgroundColor);
        EXPECT_GT(contrastRatio(shown(contrast.borderColor), panel), contrastRatio(shown(plain.borderColor), panel));
    }
}
