#pragma once

#include "panel/feedback/PanelFeedback.h"
#include "panel/pages/PageEditorViewState.h"
#include "panel/pages/PageOperationUndoLedger.h"
#include "store/ConflictResolution.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <qcoro/qcorotask.h>

#include <memory>
#include <set>

namespace velto {

class PageEditingSession;
class VeltoPanelView;
class VeltoStore;
namespace editor {
class VeltoEditorCoordinator;
class VeltoTextView;
class UndoManager;
} // namespace editor

/// What a page operation asks of the panel it runs in.
class PageOperationsPresenter {
public:
    virtual ~PageOperationsPresenter() = default;
    virtual void beep() = 0;
    virtual void showFeedback(const PanelFeedback &feedback) = 0;
    /// The operation chose a page the user wants to write on: the panel comes up.
    virtual void openEditor() = 0;
};

/// The user's page actions as store operations framed by page transitions, with their banners and their
/// page-level undo. Main thread only.
///
/// One page operation runs at a time. While one runs (some await the disk), the editor is read-only, and
/// other page operations are refused with a beep, so that nothing typed lands on a page the store is
/// replacing; the operation's transition, or its failure, makes the editor editable again.
class PageOperations : public QObject {
public:
    PageOperations(VeltoStore &store, editor::VeltoEditorCoordinator &editorCoordinator, VeltoPanelView &panelView,
                   PageEditingSession &pageEditingSession, PageOperationsPresenter &presenter,
                   std::size_t undoByteLimit);
    ~PageOperations() override;

    void createNewPage();
    void archivePage();
    QCoro::Task<void> cyclePage(bool reverse);
    void selectPageAndOpenEditor(const Uuid &pageID);
    QCoro::Task<void> restorePageFromArchive(Uuid pageID);
    QCoro::Task<void> archiveOtherPagesFromMenu();
    QCoro::Task<int> deleteConfirmedArchivedPages(std::set<Uuid> pageIDs);
    /// Hands the editor's text over, reloads the whole library and shows the current page again; the undo of
    /// every page is gone, as the texts it would restore may be.
    QCoro::Task<void> reloadFromDisk();
    /// Settles a saved conflict copy against its original: what the editor holds is handed to the store and
    /// saved first, so the editor's text cannot overwrite the chosen version, and when the current page's text
    /// changed the editor shows the new text without a banner and with a fresh undo history (the old steps
    /// would undo into a text that is gone). The copy must not be the current page: nothing is done then.
    QCoro::Task<VeltoConflictResolutionOutcome> resolveConflict(Uuid copyPageID, VeltoConflictResolution resolution);

    /// A page operation is under way: the editor is read-only until it ends.
    bool isRunning() const { return running_; }
    /// The store changed the current page by another road: shown now, or when a running operation ends.
    void currentPageChangedOutsideOperation();
    const PageOperationUndoLedger &undoLedger() const { return undoLedger_; }

    /// Runs a page operation that a menu or a key started and nobody awaits: should it fail, the user hears
    /// the beep and reads `failureBanner` when there is one, instead of the failure vanishing with the task.
    template <typename Result>
    QCoro::Task<void> reportingFailure(QCoro::Task<Result> operation, QString failureBanner = {});

private:
    using Direction = VeltoPageOperationDirection;
    using Entry = PageOperationUndoLedger::Entry;
    using UndoManagerPointer = std::shared_ptr<editor::UndoManager>;
    /// Replays a kept step in one direction, with the view state to show and the manager it was registered on.
    using Replay = void (PageOperations::*)(const std::shared_ptr<Entry> &entry, Direction direction,
                                            PageEditorViewState viewState, UndoManagerPointer undoManager);
    class Scope;

    editor::VeltoTextView &textView() const;
    /// Opens the gate: false (with a beep) while another operation runs.
    bool begin();
    void end();
    /// The gate is open: the page snapshot used to cycle pages goes, and the shown page's state is kept.
    void leaveShownPage();
    /// Shows the store's current page (with the view state and undo manager of a replayed step, when given)
    /// and the banner.
    void showCurrentPage(std::optional<PanelFeedback> feedback, std::optional<PageEditorViewState> viewState = {},
                         UndoManagerPointer undoManager = nullptr);

    /// One undoable page operation once its gate is open: the view as it was, the store's change, the page it
    /// leaves current shown with the banner `done`, and the change kept for undo. False when the store refused.
    template <typename MakeChange> bool performUndoableChange(MakeChange makeChange, const QString &done);
    void keepForUndo(const VeltoPageOperation &operation, PageEditorViewState viewState);
    void keepForUndo(const VeltoArchiveTransition &transition, PageEditorViewState viewState);

    /// Puts the step's replay in `direction` on the undo manager (the active page's when none is given) under
    /// `actionName`. A step registered by the user's own action, not by a replay, ends the reach of an
    /// undone step's redo.
    void registerUndoStep(std::shared_ptr<Entry> entry, Direction direction, PageEditorViewState viewState,
                          UndoManagerPointer undoManager, Replay replay, const QString &actionName);
    void applyPageOperation(const std::shared_ptr<Entry> &entry, Direction direction, PageEditorViewState viewState,
                            UndoManagerPointer undoManager);
    void applyArchiveTransition(const std::shared_ptr<Entry> &entry, Direction direction, PageEditorViewState viewState,
                                UndoManagerPointer undoManager);
    QCoro::Task<void> finishArchiveTransition(std::shared_ptr<Entry> entry, Direction direction,
                                              PageEditorViewState viewState, UndoManagerPointer undoManager);
    /// After a replayed step: redo stays reachable from the page now shown.
    void updatePageTransitionRedoManager(const UndoManagerPointer &undoManager);

    VeltoStore &store_;
    editor::VeltoEditorCoordinator &editorCoordinator_;
    VeltoPanelView &panelView_;
    PageEditingSession &pageEditingSession_;
    PageOperationsPresenter &presenter_;
    PageOperationUndoLedger undoLedger_;
    bool running_ = false;
    bool transitionOwedAfterOperation_ = false;
};

/// Holds the gate for one operation, across its awaits; lets it go however the operation ends (a refusal, an
/// error thrown on, the operations gone).
class PageOperations::Scope {
public:
    explicit Scope(PageOperations &operations)
        : operations_(&operations)
        , open_(operations.begin()) {}
    ~Scope() {
        if (open_ && operations_) {
            operations_->end();
        }
    }
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

    bool isOpen() const { return open_; }
    /// Whether the operations still exist after an await.
    bool isAlive() const { return !operations_.isNull(); }

private:
    QPointer<PageOperations> operations_;
    bool open_;
};

template <typename Result>
QCoro::Task<void> PageOperations::reportingFailure(QCoro::Task<Result> operation, QString failureBanner) {
    QPointer<PageOperations> self(this);
    bool failed = false;
    try {
        co_await operation;
    } catch (...) {
        failed = true; // the store keeps its own account of the error where it has one
    }
    if (!failed || !self) {
        co_return;
    }
    self->presenter_.beep();
    if (!failureBanner.isEmpty()) {
        self->presenter_.showFeedback(PanelFeedback::confirmation(failureBanner));
    }
}

} // namespace velto
