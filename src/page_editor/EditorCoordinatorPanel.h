#pragma once

namespace velto::editor {

/// What the editor coordinator reports to, and asks of, the panel around its text view. The panel implements
/// it; tests give a stand-in.
class EditorCoordinatorPanel {
public:
    virtual ~EditorCoordinatorPanel() = default;

    /// The page's undo history changed: the commands that undo and redo may have become available or not.
    virtual void updateCommandAvailability(bool canUndo, bool canRedo) = 0;
    /// The text or its layout changed under the scroll indicators.
    virtual void updateScrollIndicators() = 0;
    /// Whether the view shows the end of the text, so that a style pass keeps it there.
    virtual bool isPinnedToBottom() const = 0;
    virtual void pinToBottom() = 0;
    /// The store made another page current: the panel's page transition (activate the page's history, load its
    /// text, restore its view state). Answers false when the panel leaves it to the coordinator, which then
    /// activates the history and loads the text itself.
    virtual bool transitionToCurrentPage() = 0;
};

} // namespace velto::editor
