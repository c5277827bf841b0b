#pragma once

#include "preferences/LocalShortcutRouter.h"

#include <QtCore/QObject>
#include <QtCore/QString>

#include <functional>
#include <memory>

class QMenu;

namespace velto {

class BrowsePagesWindow;
class PageOperations;
class VeltoCommandRegistry;
class VeltoPanelMenuController;
class VeltoStore;
namespace editor {
class VeltoEditorCoordinator;
} // namespace editor

/// The panel's page lists outside the panel: the status menu's page items and the Browse Pages window, each made
/// on first use and kept. The pages chosen in them go to the page operations; what the panel itself does (a new
/// page, Settings, the page's file) is asked for by signal. Main thread only.
class PanelMenus : public QObject {
    Q_OBJECT

public:
    struct Options {
        /// The commands' shortcuts the menu shows.
        std::function<CommandShortcuts()> commandShortcuts;
        /// Asks before a destructive choice (message, informative text, action button); true to go on. Empty
        /// means a message box.
        std::function<bool(const QString &, const QString &, const QString &)> confirm;
        std::function<void()> beep;
    };

    PanelMenus(VeltoStore &store, PageOperations &pageOperations, editor::VeltoEditorCoordinator &editorCoordinator,
               VeltoCommandRegistry &commandRegistry, Options options);
    ~PanelMenus() override;

    VeltoPanelMenuController &panelMenuController();
    BrowsePagesWindow &browsePagesWindow();
    /// A new menu holding the status menu's page items.
    QMenu *makeStatusMenu();

signals:
    void newPageRequested();
    void settingsRequested();
    void revealCurrentPageRequested();
    void pagesFolderOpenRequested();

private:
    VeltoStore &store_;
    PageOperations &pageOperations_;
    editor::VeltoEditorCoordinator &editorCoordinator_;
    VeltoCommandRegistry &commandRegistry_;
    Options options_;
    std::unique_ptr<VeltoPanelMenuController> panelMenuController_;
    std::unique_ptr<BrowsePagesWindow> browsePagesWindow_;
};

} // namespace velto
