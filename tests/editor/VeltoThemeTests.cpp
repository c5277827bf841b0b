#include "editor/VeltoTheme.h"

#include <gtest/gtest.h>

using namespace velto::editor;

TEST(VeltoThemeTests, ChoiceOverridesSystemAppearance) {
    const VeltoTheme dark = VeltoTheme::resolve(AppearanceChoice::dark, Appearance::aqua, false);
    EXPECT_EQ(dark.appearance, Appearance::darkAqua);
    EXPECT_EQ(dark.editorBackgroundColor, Color::sRGB(0.098, 0.106, 0.125));
    EXPECT_EQ(dark.textColor, Color::sRGB(0.88, 0.9, 0.93));
    const VeltoTheme light = VeltoTheme::resolve(AppearanceChoice::light, Appearance::darkAqua, false);
    EXPECT_EQ(light.appearance, Appearance::aqua);
    EXPECT_EQ(light.panelBackgroundColor, Color::sRGB(0.95, 0.95, 0.95));
}

TEST(VeltoThemeTests, SystemChoiceFollowsGivenAppearanceHighContrastDarkIncluded) {
    const VeltoTheme theme =
        VeltoTheme::resolve(AppearanceChoice::system, Appearance::accessibilityHighContrastDarkAqua, false);
    EXPECT_EQ(theme.appearance, Appearance::accessibilityHighContrastDarkAqua);
    EXPECT_EQ(theme.borderColor, Color::sRGB(0.22, 0.235, 0.275));
    EXPECT_EQ(VeltoTheme::resolve(AppearanceChoice::system, Appearance::vibrantLight, false).textColor,
              Color::sRGB(0.12, 0.12, 0.12));
}

TEST(VeltoThemeTests, IncreasedContrastMovesBorderRuleAndTextOnly) {
    struct Row {
        Appearance appearance;
        Color border, rule, text;
    };
    const Row rows[] = {
        {Appearance::aqua, Color::sRGB(0.6, 0.6, 0.6), Color::sRGB(0.62, 0.62, 0.62), Color::sRGB(0.03, 0.03, 0.03)},
        {Appearance::darkAqua, Color::sRGB(0.38, 0.4, 0.45), Color::sRGB(0.52, 0.54, 0.59),
         Color::sRGB(0.98, 0.985, 0.99)},
    };
    for (const Row &row : rows) {
        const VeltoTheme plain = VeltoTheme::resolve(AppearanceChoice::system, row.appearance, false);
        const VeltoTheme contrast = VeltoTheme::resolve(AppearanceChoice::system, row.appearance, true);
        EXPECT_EQ(contrast.borderColor, row.border);
        EXPECT_EQ(contrast.ruleColor, row.rule);
        EXPECT_EQ(contrast.textColor, row.text);
        EXPECT_EQ(contrast.panelBackgroundColor, plain.panelBackgroundColor);
        EXPECT_EQ(contrast.editorBackgroundColor, plain.editorBackgroundColor);
        EXPECT_EQ(VeltoTheme::resolve(AppearanceChoice::system, row.appearance, true), contrast);
    }
}
