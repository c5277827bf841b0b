// The shell's parts the composition makes, as the shell relies on them before and after the launch puts them in
// place, in a session without a display server or a tray.
#include "AppTestSupport.h"
#include "app/hotkeys/GlobalHotKeys.h"
#include "app/menus/TrayIcon.h"
#include "app/shell/Composition.h"
#include "support/TemporaryFolder.h"
#include "support/async/EventLoopWaits.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

TEST(ShellParts, TheTrayIconCountsAsShownFromItsShowingOnAndHasNoPlaceWithoutATray) {
    testing::widgetApplication();
    AppDelegate::Parts parts = makeShellParts();
    TrayIcon &icon = *parts.trayIcon;
    ASSERT_FALSE(TrayIcon::isTrayAvailable());
    EXPECT_FALSE(TrayIcon::hostEmbedsIcon()); // nothing to wait for
    EXPECT_FALSE(icon.wasShown());
    icon.configure(); // before showing, the image waits for the icon
    icon.pulse();
    EXPECT_FALSE(icon.isPulsing());
    icon.show();
    EXPECT_TRUE(icon.wasShown());
    EXPECT_EQ(icon.geometry(), std::nullopt);
    icon.hide();
    EXPECT_TRUE(icon.wasShown()); // a launch that began stays begun
}

// A launch waits for the tray host to place the icon before the panel holds the event loop; with no host that
// embeds icons, there is nothing to wait for beyond the loop's next turn.
TEST(ShellParts, WithoutATrayHostTheWaitForTheIconToDockEndsAtTheNextTurn) {
    testing::widgetApplication();
    AppDelegate::Parts parts = makeShellParts();
    parts.trayIcon->show();
    int calls = 0;
    parts.trayIcon->whenDocked(std::chrono::hours(1), [&] { calls += 1; });
    EXPECT_EQ(calls, 0); // from the event loop, never inside the call
    EXPECT_TRUE(testing::processEventsUntil([&] { return calls > 0; }));
    testing::processEventsFor(std::chrono::milliseconds(50));
    EXPECT_EQ(calls, 1);
}

TEST(ShellParts, HotKeysWithoutAnXServerAreReportedUsableAndReleasedWithTheirController) {
    testing::widgetApplication();
    testing::TemporaryFolder folder;
    auto preferences = testing::usePreferencesFile(folder / "Velto.json");
    VeltoPreferences::registerDefaults();
    AppDelegate::Parts parts = makeShellParts();
    GlobalHotKeys &hotKeys = *parts.hotKeys;
    EXPECT_EQ(hotKeys.controller(), nullptr); // nothing reaches the session before the launch registers them
    EXPECT_EQ(hotKeys.registerDefaults(), (ShortcutRegistrationAvailability{true, true}));
    EXPECT_NE(hotKeys.controller(), nullptr);
    hotKeys.holdKeyboardUntilFocused(nullptr, 1); // no X server: nothing to hold
    hotKeys.release();
    EXPECT_EQ(hotKeys.controller(), nullptr);
    VeltoPreferences::useStorage(nullptr);
}

} // namespace
} // namespace velto
