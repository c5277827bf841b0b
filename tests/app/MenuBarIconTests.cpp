// The tray icon's pulse: its keyframes, and that it plays once and never while motion is to be reduced; the
// icon is made again only when the appearance calls for the other variant or a pulse drew over it.
#include "AppTestSupport.h"
#include "app/menus/MenuBarIcon.h"
#include "platform/desktop/DisplayOptions.h"
#include "support/TemporaryFolder.h"
#include "support/async/EventLoopWaits.h"

#include <QtWidgets/QSystemTrayIcon>
#include <gtest/gtest.h>

#include <optional>

namespace velto {
namespace {

TEST(MenuBarIconPulse, TheScaleGrowsToItsPeakAtTheSecondKeyframeAndSettlesBackToFullSize) {
    EXPECT_DOUBLE_EQ(MenuBarIcon::pulseScale(0.0), 1.0);
    EXPECT_NEAR(MenuBarIcon::pulseScale(0.42), 1.08, 1e-6);
    EXPECT_DOUBLE_EQ(MenuBarIcon::pulseScale(1.0), 1.0);
    double previous = 1.0;
    for (double progress = 0.02; progress <= 0.42; progress += 0.02) {
        double scale = MenuBarIcon::pulseScale(progress);
        EXPECT_GE(scale, previous - 1e-9) << progress;
        previous = scale;
    }
    for (double progress = 0.44; progress <= 1.0; progress += 0.02) {
        double scale = MenuBarIcon::pulseScale(progress);
        EXPECT_LE(scale, previous + 1e-9) << progress;
        previous = scale;
    }
    // The first segment eases out: most of the growth comes early.
    EXPECT_GT(MenuBarIcon::pulseScale(0.21), 1.06);
}

TEST(MenuBarIconPulse, APulsePlaysOnceAndNotAtAllWhenMotionIsReduced) {
    testing::widgetApplication();
    QSystemTrayIcon tray;
    MenuBarIcon icon(&tray);
    icon.configure();
    EXPECT_TRUE(tray.toolTip().endsWith(MenuBarIcon::accessibilityHelp));

    // Kept for the rest of the run: nothing puts the desktop's provider back.
    static FixedDisplayOptions options;
    options.set(DisplayOptions{false, true, false});
    setDisplayOptionsProvider(&options);
    icon.pulse();
    EXPECT_FALSE(icon.isPulsing());

    options.set(DisplayOptions{});
    icon.pulse();
    EXPECT_TRUE(icon.isPulsing());
    icon.pulse(); // ignored: one pulse at a time
    EXPECT_TRUE(testing::processEventsUntil([&] { return !icon.isPulsing(); }));
}

TEST(MenuBarIconVariant, TheIconIsMadeAgainOnlyForTheOtherAppearanceOrAfterAPulse) {
    testing::widgetApplication();
    testing::TemporaryFolder folder;
    auto preferences = testing::usePreferencesFile(folder / "preferences.json");
    static FixedDisplayOptions motion; // kept for the rest of the run, like the desktop's provider it replaces
    setDisplayOptionsProvider(&motion);
    QSystemTrayIcon tray;
    MenuBarIcon icon(&tray);

    struct Row {
        std::optional<AppearanceChoice> chosen; // before configuring
        bool pulsed;
        bool madeAgain;
    };
    const Row rows[] = {
        {std::nullopt, false, true},  {std::nullopt, false, false},           {AppearanceChoice::dark, false, true},
        {std::nullopt, false, false}, {AppearanceChoice::light, false, true}, {std::nullopt, true, true},
        {std::nullopt, false, false},
    };
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        if (rows[row].chosen) {
            VeltoPreferences::setAppearance(*rows[row].chosen);
        }
        if (rows[row].pulsed) {
            icon.pulse();
            ASSERT_TRUE(testing::processEventsUntil([&] { return !icon.isPulsing(); }));
        }
        const qint64 drawn = tray.icon().cacheKey();
        icon.configure();
        EXPECT_EQ(tray.icon().cacheKey() != drawn, rows[row].madeAgain) << "row " << row;
    }
    VeltoPreferences::useStorage(nullptr);
}

} // namespace
} // namespace velto
