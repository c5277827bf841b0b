#pragma once

#include "preferences/CommandCatalog.h"

#include <QtCore/QList>
#include <QtGui/QKeySequence>

#include <functional>
#include <optional>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace velto {

/// The actions of the Find submenu.
enum class TextFinderAction { showFindInterface, nextMatch, previousMatch, setSearchString };

/// What the shell's items of the main menu do, and whether they may run now. A linux tray application has no
/// global menu bar: the menu is the Settings window's menu bar. Each item is validated when its menu is about
/// to show, and its handler checks again, since a key can reach an item whose menu has not shown for a while.
struct MainMenuActions {
    std::function<void()> showAbout;
    std::function<void()> sendFeedback;
    std::function<void()> quit;
    /// "Open Pages Folder": the file manager shows the Pages folder with the current page's file selected, or
    /// the folder alone when the page has no file.
    std::function<void()> revealCurrentPage;
    std::function<void()> reloadFromDisk;
    /// Empty without an updater: then there is no "Check for Updates…" item.
    std::function<void()> checkForUpdates;
    /// The command of "Settings…", "Close Window" and the View items.
    std::function<void(VeltoCommandID)> performCommand;
    /// Whether the library is loaded: "Reload from Disk" needs it.
    std::function<bool()> hasLibrary = [] { return false; };
    /// Whether the library is loaded and its folder can be shown: "Open Pages Folder" needs it.
    std::function<bool()> canOpenPagesFolder = [] { return false; };
    /// "Find…", "Find Next", "Find Previous" and "Use Selection for Find", on the panel's page.
    std::function<void(TextFinderAction)> performFindAction;
    /// Whether a feedback recipient is configured.
    std::function<bool()> canSendFeedback = [] { return false; };
    /// Whether the View and Find items have a page to act on: the panel's text view, which the menu reaches
    /// even while the Settings window has the focus (a tray application's menu bar is that window's).
    std::function<bool()> hasCommandResponder = [] { return false; };
};

/// The key sequence of a shortcut: Command is Ctrl, Option is Alt, Control is Super (Qt's Meta); nothing for
/// a key Qt has no name for.
std::optional<QKeySequence> menuKeySequence(const GlobalShortcut &shortcut);

/// The fixed shortcut of "Reload from Disk": Ctrl+R, whatever the preferences say.
const GlobalShortcut &reloadFromDiskShortcut();

/// Builds the main menu afresh, with the user's current shortcuts: the application menu ("Velto"), File, Edit
/// and View. Keys the hosting window takes itself are shown beside their items but not taken by the menu:
/// Qt fires neither of two shortcuts for the same key in one window.
class VeltoMainMenuBuilder {
public:
    VeltoMainMenuBuilder(MainMenuActions actions, QList<QKeySequence> keysTakenByWindow = {});

    QMenuBar *makeMenuBar(QWidget *parent = nullptr) const;

    QMenu *applicationMenu(QWidget *parent) const;
    QMenu *fileMenu(QWidget *parent) const;
    QMenu *editMenu(QWidget *parent) const;
    QMenu *viewMenu(QWidget *parent) const;

private:
    using Validation = std::function<bool()>;
    QAction *addItem(QMenu *menu, const QString &title, std::function<void()> handler, Validation validation = {},
                     std::optional<QKeySequence> keys = std::nullopt) const;
    QAction *addCommandItem(QMenu *menu, VeltoCommandID id, Validation validation = {}) const;
    /// An Edit item: runs the slot of the focused widget that takes it ("cut", "undo"...).
    QAction *addEditItem(QMenu *menu, const QString &title, const char *slot, std::optional<QKeySequence> keys) const;

    MainMenuActions actions_;
    QList<QKeySequence> keysTakenByWindow_;
};

/// Every item's title with its shortcut, one line per item, "-" for a separator, submenus indented; disabled
/// items end in " (disabled)". What tests and the curious compare.
QStringList describeMenu(const QMenu &menu, int depth = 0);

/// Validates every item of the menu and its submenus now, as showing them does.
void validateMenu(QMenu &menu);

} // namespace velto
