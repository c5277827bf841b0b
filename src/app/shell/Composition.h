#pragma once

#include "app/hotkeys/GlobalHotKeys.h"
#include "app/lifecycle/ApplicationTestLaunchConfiguration.h"
#include "app/menus/TrayIcon.h"
#include "app/shell/AppDelegate.h"
#include "panel/window/PanelPopover.h"

#include <memory>

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

/// The tray icon and the global shortcuts, for the shell to put in place at launch.
AppDelegate::Parts makeShellParts();

/// The panel the application shows over a loaded store: the text view's measuring in place, code highlighted by
/// highlight.js within the editor's limits, spelling checked by the desktop's dictionaries.
AppDelegate::PanelFactory productionPanelFactory(PopoverBehavior popoverBehavior);

} // namespace velto
