// The undo of page operations: each step is kept once in the ledger and registered on the page's undo manager,
// and each replay registers its inverse, so that undo and redo alternate over one entry.
#include "panel/pages/PageOperations.h"

#include "editor/editing/UndoManager.h"
#include "editor_view/view/VeltoTextView.h"
#include "panel/pages/PageEditingSession.h"
#include "platform/Text.h"
#include "store/Store.h"

namespace velto {

namespace {

VeltoPageOperationDirection opposite(VeltoPageOperationDirection direction) {
    return direction == VeltoPageOperationDirection::undo ? VeltoPageOperationDirection::redo
                                                          : VeltoPageOperationDirection::undo;
}

} // namespace

void PageOperations::keepForUndo(const VeltoPageOperation &operation, PageEditorViewState viewState) {
    std::shared_ptr<Entry> entry = undoLedger_.retain(operation);
    QString actionName = QString::fromStdString(entry->actionName);
    registerUndoStep(std::move(entry), Direction::undo, viewState, nullptr, &PageOperations::applyPageOperation,
                     actionName);
}

void PageOperations::keepForUndo(const VeltoArchiveTransition &transition, PageEditorViewState viewState) {
    registerUndoStep(undoLedger_.retain(transition), Direction::undo, viewState, nullptr,
                     &PageOperations::applyArchiveTransition, QStringLiteral("Archive Page"));
}

void PageOperations::registerUndoStep(std::shared_ptr<Entry> entry, Direction direction, PageEditorViewState viewState,
                                      UndoManagerPointer undoManager, Replay replay, const QString &actionName) {
    if (!undoManager) {
        undoManager = textView().undoHistories().activeUndoManager();
    }
    if (!undoManager) {
        return;
    }
    if (!undoManager->isUndoing() && !undoManager->isRedoing()) {
        textView().undoHistories().setPageTransitionRedoManager(nullptr);
    }
    std::weak_ptr<editor::UndoManager> registeredOn = undoManager;
    QPointer<PageOperations> self(this);
    undoManager->registerUndo([self, entry, direction, viewState, registeredOn, replay](editor::UndoManager &) {
        if (self) {
            (self.data()->*replay)(entry, direction, viewState, registeredOn.lock());
        }
    });
    undoManager->setActionName(actionName);
}

void PageOperations::applyPageOperation(const std::shared_ptr<Entry> &entry, Direction direction,
                                        PageEditorViewState viewState, UndoManagerPointer undoManager) {
    Scope scope(*this);
    if (!scope.isOpen()) {
        return;
    }
    PageEditorViewState shownState = pageEditingSession_.currentViewState();
    pageEditingSession_.prepareForTransition();
    std::optional<VeltoPageOperation> operation = entry->operation();
    // An entry whose documents were given up to the memory bound fails like one the library no longer matches.
    if (!operation || !store_.apply(*operation, direction)) {
        textView().undoHistories().setPageTransitionRedoManager(nullptr);
        presenter_.beep();
        return;
    }
    QString actionName = QString::fromStdString(entry->actionName);
    QString message = direction == Direction::undo ? actionName + QStringLiteral(" undone · Ctrl+Shift+Z to redo")
                                                   : actionName + QStringLiteral(" redone · Ctrl+Z to undo");
    showCurrentPage(PanelFeedback::confirmation(message), viewState, undoManager);
    registerUndoStep(entry, opposite(direction), shownState, undoManager, &PageOperations::applyPageOperation,
                     actionName);
    updatePageTransitionRedoManager(undoManager);
}

void PageOperations::applyArchiveTransition(const std::shared_ptr<Entry> &entry, Direction direction,
                                            PageEditorViewState viewState, UndoManagerPointer undoManager) {
    std::optional<VeltoArchiveTransition> transition = entry->archiveTransition();
    std::string liveText = text::toUTF8(textView().storage().string());
    if (running_ || !transition || !store_.canApplyArchive(*transition, direction == Direction::undo, liveText)) {
        presenter_.beep();
        return;
    }
    // The inverse goes on the manager now, while it is undoing (or redoing), so that it lands on the
    // opposite side; the store's move awaits the disk. Should the move fail, the inverse finds the library
    // on the wrong side and beeps.
    PageEditorViewState shownState = pageEditingSession_.currentViewState();
    registerUndoStep(entry, opposite(direction), shownState, undoManager, &PageOperations::applyArchiveTransition,
                     QStringLiteral("Archive Page"));
    reportingFailure(finishArchiveTransition(entry, direction, viewState, undoManager));
}

QCoro::Task<void> PageOperations::finishArchiveTransition(std::shared_ptr<Entry> entry, Direction direction,
                                                          PageEditorViewState viewState,
                                                          UndoManagerPointer undoManager) {
    Scope scope(*this);
    if (!scope.isOpen()) {
        co_return;
    }
    pageEditingSession_.prepareForTransition();
    std::optional<VeltoArchiveTransition> transition = entry->archiveTransition();
    bool redo = direction == Direction::redo;
    const VeltoDocument &expected = redo ? transition->before : transition->after;
    if (!store_.matchesArchiveTimelineState(expected, *transition)) {
        presenter_.beep();
        co_return;
    }
    QCoro::Task<bool> applying = store_.applyArchiveTransition(redo ? transition->after : transition->before);
    bool applied = co_await applying;
    if (!scope.isAlive()) {
        co_return;
    }
    if (!applied) {
        presenter_.beep();
        co_return;
    }
    QString message = redo ? QStringLiteral("Page archived · Ctrl+Z to undo")
                           : QStringLiteral("Previous page restored · Ctrl+Shift+Z to redo");
    showCurrentPage(PanelFeedback::confirmation(message), viewState, undoManager);
    updatePageTransitionRedoManager(undoManager);
}

void PageOperations::updatePageTransitionRedoManager(const UndoManagerPointer &undoManager) {
    editor::PageUndoHistories &histories = textView().undoHistories();
    if (histories.activeUndoManager() == undoManager) {
        histories.setPageTransitionRedoManager(nullptr);
    } else {
        histories.setPageTransitionRedoManager(undoManager);
    }
}

} // namespace velto
