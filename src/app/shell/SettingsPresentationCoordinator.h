#pragma once

#include <functional>

namespace velto {

/// How Velto presents itself: only through its tray icon, or with the Settings window open as well.
enum class SettingsPresentationMode { menuBarOnly, settingsWindow };

/// Switches Velto's presentation while the Settings window opens and closes. The shell calls it with
/// `settingsWindow` when it shows the window and with `menuBarOnly` when the window closes.
struct SettingsPresentationCoordinator {
    std::function<void(SettingsPresentationMode)> setPresentationMode;

    /// On Linux there is no application-wide switch between a tray-only and a regular presentation: a window
    /// is listed in the task bar and the window switcher by itself, and the tray icon stays either way. The
    /// Settings window, a normal top-level window with the main menu as its menu bar, is listed while it is
    /// open and leaves the task bar when it closes; the panel and the alerts never are. So the production
    /// coordinator only remembers the mode for the rest of the shell to read.
    static SettingsPresentationCoordinator live();
    /// The mode the production coordinator was last set to.
    static SettingsPresentationMode currentLiveMode();
};

} // namespace velto
