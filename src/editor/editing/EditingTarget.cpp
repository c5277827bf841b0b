#include "editor/editing/EditingTarget.h"

#include "editor/markdown/CodePositions.h"
#include "editor/markdown/MarkdownStyler.h"
#include "editor/rules/Indentation.h"

namespace velto::editor {

std::optional<char16_t> EditingTarget::characterAt(std::ptrdiff_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= storage().length()) {
        return std::nullopt;
    }
    return storage().characterAt(static_cast<std::size_t>(index));
}

bool EditingTarget::isInsideFencedCode(std::ptrdiff_t location) const {
    return CodePositions::isInsideFencedCode(storage(), location);
}

bool EditingTarget::isInsideMarkdownLiteralCode(std::ptrdiff_t location) const {
    return CodePositions::isInsideMarkdownLiteralCode(storage(), location);
}

void EditingTarget::changeIndentation(bool outdent) {
    Indentation::changeIndentation(*this, outdent);
}

void EditingTarget::undoLastChange() {
    if (UndoManager *manager = undoManager()) {
        manager->undo();
    }
}

void EditingTarget::redoLastUndoneChange() {
    if (UndoManager *manager = undoManager(); manager != nullptr && manager->canRedo()) {
        manager->redo();
    } else if (UndoManager *transition = pageTransitionRedoManager()) {
        transition->redo();
    }
}

void EditingTarget::withCodeTypingAttributes(const std::function<void()> &body) {
    const Attributes remembered = typingAttributes();
    setTypingAttributes(remembered.merging(MarkdownStyler::codeAttributes(codeTextColor(), styleSettings())));
    body();
    setTypingAttributes(remembered);
}

} // namespace velto::editor
