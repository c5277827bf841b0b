#pragma once

namespace velto::editor {

class UndoManager;

/// Keeps the undo histories the editing core registers on, when the core does not keep its own (the text
/// view keeps one history per page).
class UndoHistorySource {
public:
    /// The manager the next change registers on.
    virtual UndoManager *undoManager() = 0;
    /// An undo or redo step of the manager found its range outside the text or holding other characters than
    /// the step left there (the text was changed by another road). The step changed nothing; the history it
    /// came from can no longer be trusted.
    virtual void undoStepDidNotMatch(UndoManager &manager) = 0;

protected:
    ~UndoHistorySource() = default;
};

} // namespace velto::editor
