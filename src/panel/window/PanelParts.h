#pragma once

#include "editor/highlight/CodeSyntaxHighlighting.h"
#include "panel/pages/PageOperationUndoLedger.h"
#include "panel/window/PanelPopover.h"
#include "platform/desktop/Scheduler.h"
#include "preferences/CommandCatalog.h"
#include "preferences/LocalShortcutRouter.h"

#include <QtCore/QString>

#include <functional>
#include <memory>

namespace velto {

class PageEditingSession;
class PageOperations;
class PageOperationsPresenter;
class PanelBanners;
class PanelCommandHost;
class PanelCommands;
class PanelEditorLook;
class PanelMenus;
class PanelSizeControl;
class ShortcutHintMonitor;
class ShortcutHintsHost;
class SpellingService;
class TextViewCoordinatorView;
class VeltoCommandRegistry;
class VeltoPanelView;
class VeltoStore;
namespace editor {
class EditorCoordinatorPanel;
class EditorSettingsFeed;
class SpellChecker;
class TextViewCommandHost;
class VeltoEditorCoordinator;
} // namespace editor

/// The services the panel works with, chosen by whoever assembles the application.
struct PanelServices {
    PopoverBehavior popoverBehavior = PopoverBehavior::transient;
    /// The editor's debouncing; nullptr means Qt timers.
    VeltoScheduler *editorScheduler = nullptr;
    /// The shortcut hints' dwell; nullptr means Qt timers.
    VeltoScheduler *hintScheduler = nullptr;
    /// Highlights the code blocks; nullptr leaves them unhighlighted. The application gives highlight.js.
    std::shared_ptr<editor::CodeSyntaxHighlighting> codeHighlighter;
    /// Checks and corrects the spelling; nullptr leaves it unchecked. The application gives the desktop's.
    std::shared_ptr<SpellingService> spellingService;
    /// The panel's commands and their shortcuts; empty means the catalog's with the user's keys.
    std::function<CommandShortcuts()> commandShortcuts;
    /// The system beep; empty means QApplication::beep.
    std::function<void()> beep;
    /// Asks before a destructive choice in Browse Pages or the tray menu (message, informative text, action
    /// button); true to go on. Empty means a message box.
    std::function<bool(const QString &, const QString &, const QString &)> confirm;
    std::size_t undoByteLimit = PageOperationUndoLedger::defaultByteLimit;
};

/// What the parts report to and ask of the controller that routes among them; it outlives them.
struct PanelPartsHosts {
    editor::TextViewCommandHost &textViewCommands;
    editor::EditorCoordinatorPanel &coordinatorPanel;
    PageOperationsPresenter &presenter;
    PanelCommandHost &commands;
    ShortcutHintsHost &shortcutHints;
};

/// The panel's parts over one store: its window with the panel view and the editor, the editor coordinator with
/// its settings and spelling, the page-editing session, the page operations and the command registry, and over
/// them the panel's size, the editor's look, the shortcut hints, the banners and the page menus. They go in the reverse
/// of the order they were made in, the page operations before the coordinator they work with.
struct PanelParts {
    PanelParts();
    PanelParts(PanelParts &&) noexcept;
    PanelParts &operator=(PanelParts &&) noexcept;
    ~PanelParts();

    /// First: the settings are installed for styling before the views are made, and go last.
    std::unique_ptr<editor::EditorSettingsFeed> editorSettingsFeed;
    std::shared_ptr<SpellingService> spellingService;
    // Before the views: the editor keeps pointers to the checker until it goes.
    std::unique_ptr<editor::SpellChecker> spellChecker;
    /// Owned by the window.
    VeltoPanelView *panelView = nullptr;
    std::unique_ptr<PanelPopover> popover;
    std::unique_ptr<TextViewCoordinatorView> coordinatorView;
    std::unique_ptr<editor::VeltoEditorCoordinator> editorCoordinator;
    std::unique_ptr<PageEditingSession> pageEditingSession;
    std::unique_ptr<PageOperations> pageOperations;
    std::unique_ptr<PanelSizeControl> sizeControl;
    std::unique_ptr<PanelEditorLook> editorLook;
    std::unique_ptr<PanelCommands> commands;
    std::unique_ptr<VeltoCommandRegistry> commandRegistry;
    std::unique_ptr<ShortcutHintMonitor> shortcutHintMonitor;
    std::unique_ptr<PanelBanners> banners;
    std::unique_ptr<PanelMenus> menus;
    /// The commands' shortcuts and the beep, never empty.
    std::function<CommandShortcuts()> commandShortcuts;
    std::function<void()> beep;
};

/// Builds the panel's parts over the store with the given services, reporting to the hosts.
PanelParts makePanelParts(VeltoStore &store, const PanelPartsHosts &hosts, const PanelServices &services);

/// How a panel controller gets its parts: it hands over itself as the hosts, since the parts report to it.
using PanelAssembly = std::function<PanelParts(VeltoStore &, const PanelPartsHosts &)>;

/// The assembly that builds the parts with `services`.
PanelAssembly panelAssembly(PanelServices services);

} // namespace velto
