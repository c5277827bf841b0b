#pragma once

#include "app/shell/ShellAlert.h"

#include <QtCore/QRect>

#include <optional>

namespace velto {

class HotKeyController;
class PagesFinderWorkflow;
class VeltoPanelControlling;
class VeltoStore;

/// What the shell's windows and menus (the Welcome, the main menu, the Settings window) reach in the
/// application: its collaborators of the moment, each none before launching has finished, and the actions
/// they start.
class ApplicationShell {
public:
    virtual ~ApplicationShell() = default;

    virtual VeltoStore *store() const = 0;
    virtual VeltoPanelControlling *panelController() const = 0;
    virtual HotKeyController *hotKeyController() const = 0;
    virtual PagesFinderWorkflow *pagesFinderWorkflow() const = 0;
    /// Where the tray icon is; none where the tray does not say.
    virtual std::optional<QRect> statusItemGeometry() const = 0;

    /// Shows the alert (modally, or through the tests' presenter); answers the response code.
    virtual int presentAlert(const ShellAlert &alert) = 0;
    /// Shows the panel (never closes it).
    virtual void showPage() = 0;
    /// Shows Settings on its Shortcuts page with the show/hide recorder recording, to choose another shortcut.
    virtual void chooseShowOrHideShortcut() = 0;
    /// Asks for termination, which runs the final save first.
    virtual void quit() = 0;
    /// Saves, then reads the whole library again from disk.
    virtual void reloadFromDisk() = 0;
    virtual void showCurrentPageInFileManager() = 0;
    /// The icon and the panel follow the appearance preference.
    virtual void applyPreferredAppearance() = 0;
};

} // namespace velto
