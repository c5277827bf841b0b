#pragma once

#include "editor/editing/PageUndoHistories.h"
#include "panel/feedback/PanelFeedback.h"
#include "panel/pages/PageEditorViewState.h"
#include "panel/pages/PageNavigation.h"

#include <QtCore/QObject>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace velto {

class VeltoStore;
class VeltoPanelView;
namespace editor {
class VeltoEditorCoordinator;
class VeltoTextView;
class UndoManager;
} // namespace editor

/// Moves the panel's one editor from page to page. Before the store's current page changes it hands the
/// editor's text to the store and remembers where the user was on the page being left; afterwards it puts the
/// new current page into the editor with its own undo history, its remembered selection and scroll position,
/// and an optional banner. When the page's text changed elsewhere meanwhile, the remembered selection is kept
/// as far as the new text reaches and brought into view. Main thread only.
class PageEditingSession : public QObject {
public:
    /// A remembered view state and the text it was taken on.
    struct RememberedViewState {
        PageEditorViewState state;
        editor::PageTextFingerprint text;
    };

    PageEditingSession(VeltoStore &store, editor::VeltoEditorCoordinator &editorCoordinator,
                       editor::VeltoTextView &textView, VeltoPanelView &panelView,
                       std::function<void(const PanelFeedback &)> showFeedback);

    PageNavigationCoordinator navigation;

    /// Before the store's current page changes: the pending edit reaches the store, and the page shown keeps
    /// its selection and scroll position.
    void prepareForTransition();
    /// After the store's current page changed (or was reloaded): shows it. The given view state wins over the
    /// remembered one; a page never shown opens at its start.
    void transitionToCurrentPage(std::optional<PageEditorViewState> viewState,
                                 std::shared_ptr<editor::UndoManager> undoHistoryFallback,
                                 std::optional<PanelFeedback> feedback);

    /// The selection and scroll origin the editor shows now.
    PageEditorViewState currentViewState() const;

    const std::map<Uuid, RememberedViewState> &viewStates() const { return viewStates_; }
    /// After the Pages folder changed: nothing remembered applies to the new library.
    void forgetViewStates() { viewStates_.clear(); }

private:
    void pageIdentifiersReplaced(const std::map<Uuid, Uuid> &replacements);

    VeltoStore &store_;
    editor::VeltoEditorCoordinator &editorCoordinator_;
    editor::VeltoTextView &textView_;
    VeltoPanelView &panelView_;
    std::function<void(const PanelFeedback &)> showFeedback_;
    std::map<Uuid, RememberedViewState> viewStates_;
};

} // namespace velto
