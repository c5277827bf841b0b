#include "panel/menu/PanelMenus.h"

#include "page_editor/EditorCoordinator.h"
#include "panel/browse/BrowsePagesWindow.h"
#include "panel/menu/VeltoPanelMenuController.h"
#include "panel/pages/PageOperations.h"
#include "store/Store.h"

#include <QtCore/QPointer>

namespace velto {

PanelMenus::PanelMenus(VeltoStore &store, PageOperations &pageOperations,
                       editor::VeltoEditorCoordinator &editorCoordinator, VeltoCommandRegistry &commandRegistry,
                       Options options)
    : store_(store)
    , pageOperations_(pageOperations)
    , editorCoordinator_(editorCoordinator)
    , commandRegistry_(commandRegistry)
    , options_(std::move(options)) {}

PanelMenus::~PanelMenus() = default;

QMenu *PanelMenus::makeStatusMenu() {
    return panelMenuController().makeStatusMenu();
}

BrowsePagesWindow &PanelMenus::browsePagesWindow() {
    if (browsePagesWindow_) {
        return *browsePagesWindow_;
    }
    QPointer<PanelMenus> self(this);
    BrowsePagesWindow::Callbacks callbacks;
    callbacks.openPage = [self](Uuid pageID) {
        if (self) {
            self->pageOperations_.selectPageAndOpenEditor(pageID);
        }
    };
    callbacks.resolve = [self](Uuid copyPageID,
                               VeltoConflictResolution resolution) -> QCoro::Task<VeltoConflictResolutionOutcome> {
        if (!self) {
            co_return VeltoConflictResolutionOutcome::unavailable;
        }
        co_return co_await self->pageOperations_.resolveConflict(copyPageID, resolution);
    };
    callbacks.beep = [self] {
        if (self) {
            self->options_.beep();
        }
    };
    callbacks.confirm = options_.confirm;
    browsePagesWindow_ = std::make_unique<BrowsePagesWindow>(store_.document(), std::move(callbacks));
    BrowsePagesWindow *window = browsePagesWindow_.get();
    connect(&store_, &VeltoStoreSignals::libraryReloaded, window, [window] { window->libraryChanged(); });
    return *browsePagesWindow_;
}

VeltoPanelMenuController &PanelMenus::panelMenuController() {
    if (panelMenuController_) {
        return *panelMenuController_;
    }
    // The menus the shell holds may outlive the panel: every action asks whether it is still there.
    QPointer<PanelMenus> self(this);
    VeltoPanelMenuController::Actions actions;
    actions.createNewPage = [self] {
        if (self) {
            emit self->newPageRequested();
        }
    };
    actions.selectPage = [self](Uuid pageID) {
        if (self) {
            self->pageOperations_.selectPageAndOpenEditor(pageID);
        }
    };
    actions.restoreArchivedPage = [self](Uuid pageID) {
        if (self) {
            self->pageOperations_.reportingFailure(self->pageOperations_.restorePageFromArchive(pageID));
        }
    };
    actions.archiveOtherPages = [self] {
        if (self) {
            self->pageOperations_.reportingFailure(self->pageOperations_.archiveOtherPagesFromMenu());
        }
    };
    actions.deleteConfirmedArchivedPages = [self](std::set<Uuid> pageIDs) {
        if (self) {
            PageOperations &operations = self->pageOperations_;
            operations.reportingFailure(operations.deleteConfirmedArchivedPages(std::move(pageIDs)),
                                        QStringLiteral("Couldn’t delete archived pages"));
        }
    };
    actions.showBrowsePages = [self] {
        if (self) {
            self->browsePagesWindow().showAllPages();
        }
    };
    actions.reviewConflictCopies = [self](std::vector<Uuid> pageIDs) {
        if (self) {
            self->browsePagesWindow().showConflictCopies(pageIDs);
        }
    };
    actions.showSettings = [self] {
        if (self) {
            emit self->settingsRequested();
        }
    };
    // The shell saves first, then shows the page's file in the file manager.
    actions.showCurrentPageInFinder = [self] {
        if (self) {
            emit self->revealCurrentPageRequested();
        }
    };
    actions.openPagesFolder = [self] {
        if (self) {
            emit self->pagesFolderOpenRequested();
        }
    };
    VeltoPanelMenuController::Options menuOptions;
    menuOptions.commandShortcuts = options_.commandShortcuts;
    if (options_.confirm) {
        menuOptions.confirm = [confirm = options_.confirm](const PanelMenuConfirmation &question) {
            return confirm(question.message, question.informativeText, question.actionButton);
        };
    }
    // The editor hands its text over first, so the store's current page is what is on screen.
    auto currentText = [self]() -> std::string {
        if (!self) {
            return {};
        }
        self->editorCoordinator_.flushPendingChanges();
        return self->store_.document().currentPage.visibleText();
    };
    panelMenuController_ = std::make_unique<VeltoPanelMenuController>(store_, commandRegistry_, currentText,
                                                                      std::move(actions), std::move(menuOptions));
    return *panelMenuController_;
}

} // namespace velto
