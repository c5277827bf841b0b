// The page operations and their gate; their undo is in PageOperationsUndo.cpp.
#include "panel/pages/PageOperations.h"

#include "editor_view/view/VeltoTextView.h"
#include "page_editor/EditorCoordinator.h"
#include "panel/pages/PageEditingSession.h"
#include "panel/view/VeltoPanelView.h"
#include "platform/Clock.h"
#include "store/Store.h"

namespace velto {

namespace {

Date now() {
    return systemClock().now();
}

} // namespace

PageOperations::PageOperations(VeltoStore &store, editor::VeltoEditorCoordinator &editorCoordinator,
                               VeltoPanelView &panelView, PageEditingSession &pageEditingSession,
                               PageOperationsPresenter &presenter, std::size_t undoByteLimit)
    : store_(store)
    , editorCoordinator_(editorCoordinator)
    , panelView_(panelView)
    , pageEditingSession_(pageEditingSession)
    , presenter_(presenter)
    , undoLedger_(undoByteLimit) {}

PageOperations::~PageOperations() = default;

editor::VeltoTextView &PageOperations::textView() const {
    return *panelView_.textView();
}

// ---- the gate ----

bool PageOperations::begin() {
    if (running_) {
        presenter_.beep();
        return false;
    }
    running_ = true;
    transitionOwedAfterOperation_ = false;
    editorCoordinator_.flushPendingChanges();
    textView().setEditable(false);
    return true;
}

void PageOperations::end() {
    running_ = false;
    const VeltoPage &current = store_.document().currentPage;
    std::optional<Uuid> shown = editorCoordinator_.loadedPageID();
    if (transitionOwedAfterOperation_ || !shown || *shown != current.id) {
        showCurrentPage(std::nullopt);
    }
    textView().setEditable(store_.document().currentPage.content.asLoaded() != nullptr);
    panelView_.updateEmptyPageHint();
}

void PageOperations::currentPageChangedOutsideOperation() {
    if (running_) {
        transitionOwedAfterOperation_ = true; // the operation shows the page when it ends
        return;
    }
    pageEditingSession_.transitionToCurrentPage(std::nullopt, nullptr, std::nullopt);
}

void PageOperations::leaveShownPage() {
    pageEditingSession_.navigation.session.reset();
    pageEditingSession_.prepareForTransition();
}

void PageOperations::showCurrentPage(std::optional<PanelFeedback> feedback,
                                     std::optional<PageEditorViewState> viewState, UndoManagerPointer undoManager) {
    transitionOwedAfterOperation_ = false;
    pageEditingSession_.transitionToCurrentPage(viewState, std::move(undoManager), std::move(feedback));
}

// ---- the operations ----

template <typename MakeChange> bool PageOperations::performUndoableChange(MakeChange makeChange, const QString &done) {
    PageEditorViewState viewState = pageEditingSession_.currentViewState();
    auto change = makeChange();
    if (!change) {
        return false;
    }
    showCurrentPage(PanelFeedback::confirmation(done));
    keepForUndo(*change, viewState);
    return true;
}

void PageOperations::createNewPage() {
    Scope scope(*this);
    if (!scope.isOpen()) {
        return;
    }
    leaveShownPage();
    performUndoableChange([this] { return store_.createNewPage(now()); }, QStringLiteral("New page · Ctrl+Z to undo"));
}

void PageOperations::archivePage() {
    Scope scope(*this);
    if (!scope.isOpen()) {
        return;
    }
    leaveShownPage();
    performUndoableChange([this] { return store_.archiveCurrentPage(now()); },
                          QStringLiteral("Page archived · Ctrl+Z to undo"));
}

QCoro::Task<void> PageOperations::cyclePage(bool reverse) {
    Scope scope(*this);
    if (!scope.isOpen()) {
        co_return;
    }
    QCoro::Task<int> archiving = store_.autoArchiveEligiblePages(now());
    co_await archiving;
    if (!scope.isAlive()) {
        co_return;
    }
    // The snapshot of pages is what cycling walks through: it stays.
    pageEditingSession_.prepareForTransition();
    PageNavigationOutcome outcome = pageEditingSession_.navigation.selectNextPage(reverse);
    if (!outcome.selection) {
        presenter_.beep();
        co_return;
    }
    showCurrentPage(PanelFeedback::pagePosition(outcome.selection->position, outcome.selection->count));
}

void PageOperations::selectPageAndOpenEditor(const Uuid &pageID) {
    {
        Scope scope(*this);
        if (!scope.isOpen()) {
            return;
        }
        leaveShownPage();
        if (store_.document().currentPage.id != pageID &&
            !performUndoableChange([this, &pageID] { return store_.selectPageOperation(pageID); },
                                   QStringLiteral("Page selected"))) {
            return; // the editor is not opened for a page that cannot be selected
        }
    }
    presenter_.openEditor();
}

QCoro::Task<void> PageOperations::restorePageFromArchive(Uuid pageID) {
    bool restored = false;
    {
        Scope scope(*this);
        if (!scope.isOpen()) {
            co_return;
        }
        leaveShownPage();
        QCoro::Task<bool> restoring = store_.restoreArchivedPage(pageID, now());
        restored = co_await restoring;
        if (!scope.isAlive()) {
            co_return;
        }
        if (restored) {
            showCurrentPage(PanelFeedback::confirmation(QStringLiteral("Page restored")));
        }
    }
    if (restored) {
        presenter_.openEditor();
    }
}

QCoro::Task<void> PageOperations::archiveOtherPagesFromMenu() {
    Scope scope(*this);
    if (!scope.isOpen()) {
        co_return;
    }
    leaveShownPage();
    // A page whose save is still on its way would be read back older than the store holds it, and left
    // active; the saves land first.
    try {
        QCoro::Task<void> flushing = store_.flush();
        co_await flushing;
    } catch (const std::exception &) {
        // the save error is reported where saves report it; the pages are archived all the same
    }
    if (!scope.isAlive()) {
        co_return;
    }
    QCoro::Task<int> archiving = store_.archiveOtherPages(now());
    int count = co_await archiving;
    if (!scope.isAlive()) {
        co_return;
    }
    // Pages counted when the user confirmed may have become unreadable since: the answer still gets a reply.
    QString message = count < 1 ? QStringLiteral("No pages archived")
                                : QStringLiteral("%1 %2 archived").arg(count).arg(count == 1 ? "page" : "pages");
    presenter_.showFeedback(PanelFeedback::confirmation(message));
}

QCoro::Task<int> PageOperations::deleteConfirmedArchivedPages(std::set<Uuid> pageIDs) {
    Scope scope(*this);
    if (!scope.isOpen()) {
        co_return 0;
    }
    leaveShownPage();
    QCoro::Task<int> deleting = store_.deleteConfirmedArchivedPagesAfterReload(std::move(pageIDs));
    int count = co_await deleting;
    if (!scope.isAlive()) {
        co_return count;
    }
    QString message = count == 0
                          ? QStringLiteral("No archived pages deleted")
                          : QStringLiteral("%1 archived %2 deleted").arg(count).arg(count == 1 ? "page" : "pages");
    showCurrentPage(PanelFeedback::confirmation(message));
    co_return count;
}

QCoro::Task<void> PageOperations::reloadFromDisk() {
    Scope scope(*this);
    if (!scope.isOpen()) {
        co_return;
    }
    QCoro::Task<void> flushing = store_.flush();
    co_await flushing;
    if (!scope.isAlive()) {
        co_return;
    }
    QCoro::Task<void> reloading = store_.reloadFromDisk(true, std::nullopt);
    co_await reloading;
    if (!scope.isAlive()) {
        co_return;
    }
    // The editor put what changed on disk in place around the caret: on the same page the user stays where they
    // are, not where they were when they last left the page.
    std::optional<PageEditorViewState> stayingOnPage;
    if (editorCoordinator_.loadedPageID() == store_.document().currentPage.id) {
        stayingOnPage = pageEditingSession_.currentViewState();
    }
    textView().undoHistories().discardAllPageUndoHistories();
    undoLedger_.evictAll();
    showCurrentPage(PanelFeedback::confirmation(QStringLiteral("Reloaded from disk")), stayingOnPage);
}

QCoro::Task<VeltoConflictResolutionOutcome> PageOperations::resolveConflict(Uuid copyPageID,
                                                                            VeltoConflictResolution resolution) {
    if (copyPageID == store_.document().currentPage.id || !begin()) {
        co_return VeltoConflictResolutionOutcome::unavailable;
    }
    QPointer<PageOperations> self(this);
    try {
        co_await store_.flush();
    } catch (const std::exception &) {
        // A failed save leaves the editor's text in the store; the resolution still sees it.
    }
    if (!self) {
        co_return VeltoConflictResolutionOutcome::unavailable;
    }
    const Uuid currentID = store_.document().currentPage.id;
    const std::string textBefore = store_.document().currentPage.visibleText();
    VeltoConflictResolutionOutcome outcome = co_await store_.resolveConflict(copyPageID, resolution, now());
    if (!self) {
        co_return outcome;
    }
    const bool currentTextChanged =
        store_.document().currentPage.id != currentID || store_.document().currentPage.visibleText() != textBefore;
    if (currentTextChanged) {
        textView().undoHistories().resetUndoHistory(store_.document().currentPage.id);
        showCurrentPage(std::nullopt);
    }
    end();
    co_return outcome;
}

} // namespace velto
