#pragma once

#include "app/hotkeys/GlobalHotKeys.h"
#include "app/lifecycle/ApplicationTestLaunchConfiguration.h"
#include "app/lifecycle/ShellTermination.h"
#include "app/menus/TrayIcon.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/SettingsPresentationCoordinator.h"
#include "panel/window/PanelPopover.h"
#include "preferences/KeyboardInputSourceMonitor.h"
#include "settings/SettingsCallbacks.h"

#include <QtCore/QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace velto {

/// Builds the application: the shell with its tray icon and hot keys, and the panel over the loaded store with
/// the editor's services (highlighting and its limits, spelling). Each part is given only what it uses; the
/// shell runs the launch in its own order (the tray icon and the hot keys before the library is loaded).
class Composition {
public:
    explicit Composition(ApplicationTestLaunchConfiguration testLaunchConfiguration);

    AppDelegate &delegate() const { return *delegate_; }

private:
    std::unique_ptr<AppDelegate> delegate_;
};

/// What the shell's parts use of the desktop; each left empty is the desktop's own.
struct ShellServices {
    std::function<void(int exitStatus)> exitApplication; // empty: leaves the event loop with the status
    std::chrono::milliseconds terminationTimeout{2000};
    ShellAlertPresenter presentAlert;                         // the menus' alerts; empty: a modal alert
    std::function<bool(const QUrl &)> openURL;                // a web page, a "mailto:" link; empty: QDesktopServices
    std::optional<LaunchAtLoginService> launchAtLoginService; // none: the desktop's autostart entry
    std::optional<SettingsPresentationCoordinator> settingsPresentation; // none: the production one
};

/// The shell's parts over the services: the tray icon and the global shortcuts, for the shell to put in place at
/// launch, the quitting, the keyboard layout's watch where an X server runs, and the Welcome, the menus and the
/// Settings window, made over the shell.
AppDelegate::Parts makeShellParts(ShellServices services = {});

/// The panel the application shows over a loaded store: the text view's measuring in place, code highlighted by
/// highlight.js within the editor's limits, spelling checked by the desktop's dictionaries.
AppDelegate::PanelFactory productionPanelFactory(PopoverBehavior popoverBehavior);

} // namespace velto
