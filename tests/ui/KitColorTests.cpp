#include "platform/desktop/ColorScheme.h"
#include "platform/desktop/DisplayOptions.h"
#include "support/ui/WidgetTestEnvironment.h"
#include "ui/HoverButton.h"
#include "ui/VeltoUI.h"

#include <QtGui/QPalette>
#include <gtest/gtest.h>

namespace velto {
namespace {

using enum DrawingAppearance;

std::string rgba(const QColor &color) {
    return QStringLiteral("%1 %2 %3 %4")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha())
        .toStdString();
}

TEST(AppearanceResolution, PreferenceWinsOverTheSystemScheme) {
    struct Case {
        AppearanceChoice preference;
        ColorScheme system;
        DrawingAppearance expected;
    };
    const Case cases[] = {
        {AppearanceChoice::system, ColorScheme::light, light},
        {AppearanceChoice::system, ColorScheme::dark, dark},
        {AppearanceChoice::light, ColorScheme::dark, light},
        {AppearanceChoice::dark, ColorScheme::light, dark},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(resolveAppearance(c.preference, c.system), c.expected);
    }
}

TEST(AppearanceResolution, FollowsTheSystemSchemeWhenItChanges) {
    testing::resetDesktop();
    int changes = 0;
    QObject listener; // the connection ends with the test: the appearance outlives it
    QObject::connect(&VeltoAppearance::shared(), &VeltoAppearance::changed, &listener, [&changes] { ++changes; });
    testing::testColorScheme().set(ColorScheme::dark);
    EXPECT_EQ(VeltoAppearance::shared().current(), dark);
    EXPECT_EQ(VeltoUI::Colors::surface.resolved(), QColor::fromRgbF(0.09f, 0.10f, 0.12f));
    VeltoAppearance::shared().setPreference(AppearanceChoice::light);
    EXPECT_EQ(VeltoUI::Colors::surface.resolved(), QColor(Qt::white));
    EXPECT_EQ(changes, 2);
    testing::resetDesktop();
}

TEST(AdaptiveColor, LightIsOneGreyLevelAndDarkItsTriple) {
    QColor accent(0, 100, 200);
    EXPECT_EQ(rgba(VeltoUI::Colors::border.resolved(light, accent)), "219 219 219 255");
    EXPECT_EQ(rgba(VeltoUI::Colors::border.resolved(dark, accent)), "64 69 79 255");
    EXPECT_EQ(rgba(VeltoUI::Colors::label.resolved(light, accent)), "0 0 0 217");
    EXPECT_EQ(rgba(VeltoUI::Colors::label.resolved(dark, accent)), "255 255 255 217");
}

TEST(AdaptiveColor, AccentIsBlendedTowardsBlackInLightAndWhiteInDark) {
    QColor accent(0, 100, 200);
    const VeltoUI::ActionPalette &primary = VeltoUI::Colors::primaryAction;
    struct Case {
        VeltoColor color;
        DrawingAppearance appearance;
        std::string expected;
    };
    const Case cases[] = {
        {primary.idleBackground, light, "0 100 200 255"},
        {primary.hoverBackground, light, "0 92 184 255"},    // 8 % black
        {primary.pressedBackground, light, "0 84 168 255"},  // 16 % black
        {primary.hoverBackground, dark, "31 119 207 255"},   // 12 % white
        {primary.pressedBackground, dark, "15 109 203 255"}, // 6 % white
    };
    for (const Case &c : cases) {
        EXPECT_EQ(rgba(c.color.resolved(c.appearance, accent)), c.expected);
    }
}

TEST(DesktopSettings, PortalValuesGiveDisplayOptionsAndScheme) {
    auto key = [](const char *ns, const char *name) {
        return DesktopSettingsPortal::key(QString::fromLatin1(ns), QString::fromLatin1(name));
    };
    struct Case {
        PortalSettingValues values;
        DisplayOptions options;
        std::optional<ColorScheme> scheme;
    };
    const Case cases[] = {
        {{}, {}, std::nullopt},
        {{{key("org.freedesktop.appearance", "color-scheme"), 1u}}, {}, ColorScheme::dark},
        {{{key("org.freedesktop.appearance", "color-scheme"), 2u}}, {}, ColorScheme::light},
        {{{key("org.freedesktop.appearance", "color-scheme"), 0u}}, {}, std::nullopt},
        {{{key("org.freedesktop.appearance", "contrast"), 1u}}, {true, false, false}, std::nullopt},
        {{{key("org.gnome.desktop.a11y.interface", "high-contrast"), true}}, {true, false, false}, std::nullopt},
        {{{key("org.gnome.desktop.interface", "enable-animations"), false}}, {false, true, false}, std::nullopt},
        {{{key("org.gnome.desktop.interface", "enable-animations"), true}}, {}, std::nullopt},
        {{{key("org.kde.kdeglobals.KDE", "AnimationDurationFactor"), 0.0}}, {false, true, false}, std::nullopt},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(displayOptionsFromPortal(c.values), c.options);
        EXPECT_EQ(colorSchemeFromPortal(c.values), c.scheme);
    }
}

TEST(DesktopSettings, PaletteLightnessDecidesWithoutAPortal) {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(30, 30, 30));
    EXPECT_EQ(colorSchemeFromPalette(palette), ColorScheme::dark);
    palette.setColor(QPalette::Window, QColor(240, 240, 240));
    EXPECT_EQ(colorSchemeFromPalette(palette), ColorScheme::light);
}

TEST(HoverButtonStyle, StateOptionsAndProminenceMakeTheStyle) {
    using P = HoverButton::Prominence;
    using S = HoverButton::InteractionState;
    EXPECT_EQ(HoverButton::interactionState(true, true, true), S::pressed);
    EXPECT_EQ(HoverButton::interactionState(true, false, true), S::hovered);
    EXPECT_EQ(HoverButton::interactionState(false, true, true), S::idle) << "a disabled button never shows hover";

    struct Case {
        P prominence;
        S state;
        bool enabled;
        bool contrast;
        VeltoColor background;
        bool bordered;
        double borderWidth;
        double opacity;
    };
    namespace C = VeltoUI::Colors;
    const Case cases[] = {
        {P::plain, S::idle, true, false, C::plainActionIdle, false, 1, 1},
        {P::plain, S::hovered, true, false, C::plainActionHover, false, 1, 1},
        {P::secondary, S::pressed, true, false, C::interactivePressed, true, 1, 1},
        {P::secondary, S::idle, true, true, C::surface, true, 2, 1},
        {P::secondary, S::idle, false, false, C::surface, true, 1, 0.45},
        {P::primary, S::hovered, true, false, VeltoColor::adjustedAccent(0.08, 0.12), false, 1, 1},
    };
    for (const Case &c : cases) {
        HoverButton::VisualStyle style = HoverButton::resolveVisualStyle(c.prominence, c.state, c.enabled, c.contrast);
        EXPECT_EQ(style.background, c.background);
        EXPECT_EQ(style.borderColor.has_value(), c.bordered);
        EXPECT_EQ(style.borderWidth, c.borderWidth);
        EXPECT_EQ(style.opacity, c.opacity);
    }
}

TEST(ContrastRatio, FollowsTheWebsAccessibilityGuidelines) {
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::black, Qt::white), 21.0);
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::white, Qt::black), 21.0);
    EXPECT_DOUBLE_EQ(contrastRatio(QColor(0x77, 0x77, 0x77), QColor(0x77, 0x77, 0x77)), 1.0);
    EXPECT_NEAR(contrastRatio(QColor(0x76, 0x76, 0x76), Qt::white), 4.54, 0.01); // the lightest AA grey on white
    QColor half(255, 255, 255, 128);
    EXPECT_NEAR(paintedOver(half, Qt::black).redF(), 0.5, 0.01);
    EXPECT_EQ(paintedOver(QColor(10, 20, 30), Qt::white), QColor(10, 20, 30));
}

TEST(ContrastRatio, WithContrastBlendsOnlyAsFarAsNeeded) {
    const QColor accent(0x35, 0x84, 0xe4);
    EXPECT_EQ(withContrast(accent, Qt::black, 3.0, Qt::white), accent) << "already enough";
    QColor darkened = withContrast(accent, Qt::white, 4.5, Qt::black);
    EXPECT_GE(contrastRatio(darkened, Qt::white), 4.5);
    EXPECT_LT(contrastRatio(darkened, Qt::white), 5.5) << "not darker than needed";
    EXPECT_EQ(withContrast(Qt::white, Qt::white, 30.0, Qt::black), QColor(Qt::black)) << "stops at the end";
}

} // namespace
} // namespace velto
