#include "editor_view/input/TextViewKeyRouter.h"

#include "platform/desktop/KeyEventTranslation.h"

namespace velto::editor {

using Kind = LocalShortcutAction::Kind;

void TextViewKeyRouter::carryOut(const KeyDecision &decision, const std::function<void()> &own) {
    if (!decision.ordinaryKeyDown) {
        carryOutOnce(decision, own);
        return;
    }
    // Every key but the page shortcuts and Tab ends a page cycle for the owner; the recorded modifiers stay
    // until released.
    host_.editorEvent(EditorEvent::endPageCycle());
    if (target_.isInsideFencedCode(static_cast<std::ptrdiff_t>(target_.selectedRange().location))) {
        target_.withCodeTypingAttributes([&] { carryOutOnce(decision, own); });
    } else {
        carryOutOnce(decision, own);
    }
}

void TextViewKeyRouter::carryOutOnce(const KeyDecision &decision, const std::function<void()> &own) {
    switch (decision.kind) {
    case KeyDecision::Kind::ignore:
    case KeyDecision::Kind::claim:
        break;
    case KeyDecision::Kind::veltoCommand:
        run(decision.velto);
        break;
    case KeyDecision::Kind::viewCommand:
        if (decision.view.kind == ViewKeyCommand::Kind::keyBinding) {
            own();
        } else {
            perform(decision.view);
        }
        break;
    case KeyDecision::Kind::typedText:
        own();
        break;
    }
}

void TextViewKeyRouter::run(const VeltoKeyCommand &command) {
    switch (command.kind) {
    case VeltoKeyCommand::Kind::run:
        host_.performCommand(command.id);
        break;
    case VeltoKeyCommand::Kind::cyclePage:
        activePageCycleModifiers_ = command.modifierFlags;
        host_.editorEvent(EditorEvent::cyclePage(command.id == VeltoCommandID::previousPage));
        break;
    case VeltoKeyCommand::Kind::modifiersChanged:
        modifiersChanged(command.modifierFlags);
        break;
    }
}

void TextViewKeyRouter::perform(const ViewKeyCommand &command) {
    switch (command.kind) {
    case ViewKeyCommand::Kind::keyBinding:
        break; // the view's own
    case ViewKeyCommand::Kind::keyEquivalent:
        performKeyEquivalent(command.equivalent);
        break;
    case ViewKeyCommand::Kind::wrapInMarkers:
        wrapSelectionInMarkers(command.marker);
        break;
    case ViewKeyCommand::Kind::changeIndentation:
        target_.changeIndentation(command.outdent);
        break;
    }
}

void TextViewKeyRouter::performKeyEquivalent(LocalShortcutAction::Kind equivalent) {
    bool editable = target_.isEditable();
    switch (equivalent) {
    case Kind::command:
        break; // a Velto command, never the text's
    case Kind::selectAll:
        target_.selectAllText();
        break;
    case Kind::copy:
        target_.copyToClipboard();
        break;
    case Kind::cut:
        if (editable) {
            target_.cutToClipboard();
        }
        break;
    case Kind::paste:
        if (editable) {
            target_.pasteFromClipboard();
        }
        break;
    case Kind::undo:
        if (editable) {
            target_.undoLastChange();
        }
        break;
    case Kind::redo:
        if (editable) {
            target_.redoLastUndoneChange();
        }
        break;
    case Kind::pasteAndMatchStyle:
        if (editable) {
            target_.pasteAsPlainTextFromClipboard();
        }
        break;
    }
}

/// The key is the view's whether or not anything can be wrapped.
void TextViewKeyRouter::wrapSelectionInMarkers(std::u16string_view marker) {
    TextRange selection = target_.selectedRange();
    if (!target_.isEditable() || selection.length == 0) {
        return;
    }
    std::u16string wrapped(marker);
    wrapped += target_.storage().substring(selection);
    wrapped += marker;
    target_.replaceText(selection, wrapped, TextRange{selection.location + marker.size(), selection.length});
}

void TextViewKeyRouter::modifiersChanged(std::uint64_t modifierFlags) {
    if (!activePageCycleModifiers_) {
        return;
    }
    std::uint64_t held = modifierFlags & deviceIndependentFlagsMask;
    if ((*activePageCycleModifiers_ & held) != *activePageCycleModifiers_) {
        activePageCycleModifiers_.reset();
        host_.editorEvent(EditorEvent::endPageCycle());
    }
}

void TextViewKeyRouter::performVeltoCommand(const QString &identifier) {
    if (std::optional<VeltoCommandID> id = commandIDFromRawValue(identifier)) {
        host_.performCommand(*id);
    }
}

std::optional<bool> TextViewKeyRouter::validateVeltoCommand(const QString &identifier) const {
    std::optional<VeltoCommandID> id = commandIDFromRawValue(identifier);
    if (!id) {
        return std::nullopt;
    }
    return host_.isCommandAvailable(*id);
}

} // namespace velto::editor
