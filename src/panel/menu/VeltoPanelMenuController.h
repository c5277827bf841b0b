#pragma once

#include "library/load/LoadResult.h"
#include "model/Page.h"
#include "panel/feedback/SaveProblem.h"
#include "panel/menu/PanelMenu.h"
#include "platform/Clock.h"
#include "preferences/LocalShortcutRouter.h"

#include <QtCore/QObject>

#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class QMenu;

namespace velto {

class VeltoStore;
class VeltoCommandRegistry;

/// A question asked before a page-wide action; answered true when the user chose the action.
struct PanelMenuConfirmation {
    QString message;
    QString informativeText;
    QString actionButton;
    friend bool operator==(const PanelMenuConfirmation &, const PanelMenuConfirmation &) = default;
};

/// Builds the menu of the tray icon's secondary click: the save-problem, unreadable-files and conflict lines when
/// there are any, a line about the current page, "Start New Page", the "Browse Pages" submenu with the recent pages,
/// the archived pages (50 at a time, later ones in submenus filled when opened) and the page-wide actions,
/// and "Settings…". Every choice becomes one call of `Actions`. Main thread only.
class VeltoPanelMenuController : public QObject {
public:
    struct Actions {
        std::function<void()> createNewPage;
        std::function<void(Uuid)> selectPage;
        std::function<void(Uuid)> restoreArchivedPage;
        std::function<void()> archiveOtherPages;
        std::function<void(std::set<Uuid>)> deleteConfirmedArchivedPages;
        std::function<void()> showBrowsePages;
        std::function<void(std::vector<Uuid>)> reviewConflictCopies;
        std::function<void()> showSettings;
        /// Selects the current page's file in the file manager.
        std::function<void()> showCurrentPageInFinder;
        /// Opens the Pages folder in the file manager.
        std::function<void()> openPagesFolder;
    };
    struct Options {
        const Clock *clock = nullptr; // nullptr: the system clock
        /// The commands' shortcuts as the user set them; empty: the stored ones.
        std::function<CommandShortcuts()> commandShortcuts;
        /// Asks before archiving or deleting; empty: a message box.
        std::function<bool(const PanelMenuConfirmation &)> confirm;
        /// Says why a chosen page cannot be opened (message, informative text); empty: a message box.
        std::function<void(const QString &, const QString &)> inform;
    };

    /// Where the text that saves could not write is kept, for the status menu's line of failing saves.
    void setKeptText(const SaveProblem::KeptText &kept) { keptText_ = kept; }

    static constexpr std::size_t archivedBatchSize = 50;
    static constexpr std::size_t titleLength = 48;

    VeltoPanelMenuController(VeltoStore &store, VeltoCommandRegistry &commands,
                             std::function<std::string()> currentText, Actions actions, Options options);

    /// The whole menu, described; the current text is handed to the store first so that the menu describes
    /// what is on screen.
    PanelMenu makeStatusMenuModel();
    /// The same menu as a QMenu, owned by the caller.
    QMenu *makeStatusMenu();

    // ---- the texts of the menu ----

    /// "12 words · Saved 3 min. ago", or "0 words · New page" for a page never updated; "12 words · Not saved"
    /// while the page's last edit is not on disk: its save failed, waits or is still to come.
    static QString metadataDescription(std::string_view text, std::optional<Date> updatedAt, Date now,
                                       bool notSaved = false);
    /// Runs of text between white space and line breaks.
    static std::size_t wordCount(std::string_view text);
    /// The page's title, a middle dot between blanks and its compact recency ("Notes  ·  2h"); a page whose
    /// file cannot be read is named by its file ("Can’t be read: 2026-01-05-1a2b3c4d.md  ·  Jan 5").
    static QString pageDescription(const VeltoPage &page, Date now,
                                   const std::optional<VeltoUnreadablePageFile> &unreadable = std::nullopt);
    /// The sentence that says why a page exists, then an excerpt of its text; for a page whose file cannot be
    /// read, why. A recovered page names the file it was recovered from, when that is known (`recoveredFrom`).
    static QString pageToolTip(const VeltoPage &page,
                               const std::optional<VeltoUnreadablePageFile> &unreadable = std::nullopt,
                               const std::optional<VeltoUnreadablePageFile> &recoveredFrom = std::nullopt);

    // ---- what menu items do ----

    void selectPage(const QString &pageIDText);
    void restoreArchivedPage(const QString &pageIDText);
    void reviewConflictCopies();
    void confirmArchiveOtherPages();
    void confirmDeleteArchivedPages();

private:
    Date now() const { return clock_->now(); }
    PanelMenuItem commandItem(VeltoCommandID id) const;
    /// "⚠ Some Files Can’t Be Read or Changed", whose submenu lists the files of the Pages folder held aside.
    PanelMenuItem unreadableFilesItem() const;
    PanelMenu makeBrowsePagesMenu();
    PanelMenu makeArchivedPagesMenu(std::shared_ptr<const std::vector<VeltoPage>> pages);
    void addArchivedPageBatch(PanelMenu &menu, const std::shared_ptr<const std::vector<VeltoPage>> &pages,
                              std::size_t start, std::size_t end);
    void addOlderArchivedPages(PanelMenu &menu, std::shared_ptr<const std::vector<VeltoPage>> pages,
                               std::size_t startIndex);
    PanelMenuItem pageItem(const VeltoPage &page, std::function<void(const QString &)> choose) const;
    bool confirm(const PanelMenuConfirmation &confirmation) const;
    /// Says why the page cannot be opened when its file cannot be read; false for any other page.
    bool refusedAsUnreadable(const Uuid &pageID) const;

    VeltoStore &store_;
    VeltoCommandRegistry &commands_;
    std::function<std::string()> currentText_;
    SaveProblem::KeptText keptText_;
    Actions actions_;
    Options options_;
    const Clock *clock_;
};

} // namespace velto
