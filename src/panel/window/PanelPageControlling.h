#pragma once

#include "platform/Uuid.h"
#include "preferences/CommandCatalog.h"

#include <qcoro/qcorotask.h>

#include <set>

class QWidget;

namespace velto {

/// What the shell's Settings window and main menu do to the panel's page and editor: the preferences they change
/// take effect, the library's pages change under it, the menu's commands and Find items run on the page, and the
/// panel's own window takes the application's keys. A panel without a page of its own (a test's recording panel)
/// offers none of this.
class VeltoPanelPageControlling {
public:
    virtual ~VeltoPanelPageControlling() = default;

    /// The panel takes the size the preferences hold now.
    virtual void applyPanelSizePreference() = 0;
    /// The editor takes the font, indentation, checking and formatting the preferences hold now.
    virtual void applyEditorPreferences() = 0;
    /// The shown page's place is kept before the archiving period changes and pages may leave navigation.
    virtual void prepareForAutoArchiveChange() = 0;
    /// Closes the panel before the Pages folder is replaced.
    virtual void prepareForPagesFolderChange() = 0;
    /// The store holds another folder's library: every page's undo and remembered place go, and its current
    /// page is shown.
    virtual void pagesFolderDidChange() = 0;

    /// Deletes the archived pages the user confirmed; how many went.
    virtual QCoro::Task<int> deleteConfirmedArchivedPages(std::set<Uuid> pageIDs) = 0;
    /// Saves, then reads the whole library again from disk; a failure is thrown.
    virtual QCoro::Task<void> reloadLibraryFromDisk() = 0;

    /// Runs one of the panel's commands, as its shortcut would.
    virtual void performCommand(VeltoCommandID id) = 0;
    /// Opens the find bar over the page.
    virtual void showFindBar() = 0;
    /// Goes to the next match (the previous one when `backwards`), opening the find bar first.
    virtual void findNextMatch(bool backwards) = 0;
    /// Puts the selected text into the find field and opens the find bar.
    virtual void findSelectedText() = 0;

    /// The panel's top-level widget, where the application's own keys (quit, reload) are installed.
    virtual QWidget &keyWindow() const = 0;
};

} // namespace velto
