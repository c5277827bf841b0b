#include "panel/pages/PageEditingSession.h"

#include "editor_view/view/VeltoTextView.h"
#include "page_editor/EditorCoordinator.h"
#include "panel/view/VeltoPanelView.h"
#include "store/Store.h"

#include <algorithm>
#include <set>

namespace velto {

PageEditingSession::PageEditingSession(VeltoStore &store, editor::VeltoEditorCoordinator &editorCoordinator,
                                       editor::VeltoTextView &textView, VeltoPanelView &panelView,
                                       std::function<void(const PanelFeedback &)> showFeedback)
    : navigation(store)
    , store_(store)
    , editorCoordinator_(editorCoordinator)
    , textView_(textView)
    , panelView_(panelView)
    , showFeedback_(std::move(showFeedback)) {
    connect(&store_, &VeltoStoreSignals::pageIdentifiersReplaced, this,
            [this](const std::map<Uuid, Uuid> &replacements) { pageIdentifiersReplaced(replacements); });
}

PageEditorViewState PageEditingSession::currentViewState() const {
    return {textView_.selectedRange(), textView_.visibleRect().topLeft(), textView_.scrollAnchor()};
}

void PageEditingSession::prepareForTransition() {
    editorCoordinator_.flushPendingChanges();
    // The state belongs to the page the editor shows, which is the store's current page unless the store
    // moved on without the editor.
    std::optional<Uuid> shown = editorCoordinator_.loadedPageID();
    Uuid pageID = shown ? *shown : store_.document().currentPage.id;
    viewStates_[pageID] = {currentViewState(), editor::PageTextFingerprint::of(textView_.storage().string())};
}

void PageEditingSession::transitionToCurrentPage(std::optional<PageEditorViewState> viewState,
                                                 std::shared_ptr<editor::UndoManager> undoHistoryFallback,
                                                 std::optional<PanelFeedback> feedback) {
    const VeltoDocument &document = store_.document();
    const VeltoPage &page = document.currentPage;
    std::set<Uuid> retaining{page.id};
    for (const VeltoPage &other : document.pages) {
        retaining.insert(other.id);
    }
    editor::PageTextFingerprint pageText = editor::PageTextFingerprint::ofUTF8(page.visibleTextView());
    textView_.undoHistories().activateUndoHistory(page.id, retaining, std::move(undoHistoryFallback), pageText);
    editorCoordinator_.loadCurrentPageText();
    panelView_.updateEmptyPageHint();

    PageEditorViewState state;
    bool textChangedSinceLeft = false;
    if (viewState) {
        state = *viewState;
    } else if (auto remembered = viewStates_.find(page.id); remembered != viewStates_.end()) {
        state = remembered->second.state;
        textChangedSinceLeft = remembered->second.text != pageText;
    }
    // A page that got shorter elsewhere keeps the place as far as its text now reaches.
    std::size_t length = textView_.storage().length();
    std::size_t location = std::min(state.selection.location, length);
    textView_.setSelectedRange({location, std::min(state.selection.length, length - location)});
    if (textChangedSinceLeft) {
        // The remembered scroll position belongs to the old text; the caret is what the user comes back to.
        textView_.scrollRangeToVisible(textView_.selectedRange());
    } else {
        // The text that stood at the top stands there again, wherever estimated heights above it put the origin.
        textView_.scrollToAnchor(state.scrollAnchor);
    }
    panelView_.updateScrollIndicators();
    if (feedback && showFeedback_) {
        showFeedback_(*feedback);
    }
}

void PageEditingSession::pageIdentifiersReplaced(const std::map<Uuid, Uuid> &replacements) {
    for (const auto &[oldID, newID] : replacements) {
        auto found = viewStates_.find(oldID);
        if (found == viewStates_.end()) {
            continue;
        }
        RememberedViewState state = found->second;
        viewStates_.erase(found);
        viewStates_[newID] = state;
    }
}

} // namespace velto
