#include "editor_view/TextViewKeyRouter.h"

#include "editor_view/KeyEventTranslation.h"
#include "preferences/GlobalShortcut.h"

namespace velto::editor {

namespace {

using Kind = LocalShortcutAction::Kind;

constexpr std::uint32_t tabKeyCode = 48;
/// Every device-independent flag but Shift: with none of these held, Tab indents (Shift-Tab outdents).
constexpr std::uint64_t flagsThatStopIndentation = 0xFFFD0000;

struct MarkerRow {
    std::uint64_t flags;
    const char *character;
    std::u16string_view marker;
};

/// Wrapping the selection in Markdown markers; the flags must match exactly, so Caps Lock prevents a match.
constexpr MarkerRow markerRows[] = {
    {ModifierFlags::shift | ModifierFlags::command, "`", u"`"},
    {ModifierFlags::command, "b", u"**"},
    {ModifierFlags::command, "i", u"_"},
};

QString loweredCharactersIgnoringModifiers(const LocalKeyEvent &event) {
    return event.charactersIgnoringModifiers ? event.charactersIgnoringModifiers->toLower() : QString();
}

} // namespace

bool TextViewKeyRouter::performKeyEquivalent(const LocalKeyEvent &event) {
    if (routePageNavigationShortcut(event)) {
        return true;
    }
    if (wrapSelectionInMarkers(event)) {
        return true;
    }
    return performShortcutAction(event);
}

bool TextViewKeyRouter::wrapSelectionInMarkers(const LocalKeyEvent &event) {
    std::uint64_t flags = event.modifierFlags & deviceIndependentFlagsMask;
    QString characters = loweredCharactersIgnoringModifiers(event);
    for (const MarkerRow &row : markerRows) {
        if (flags != row.flags || characters != QLatin1String(row.character)) {
            continue;
        }
        // The key is consumed whether or not anything can be wrapped.
        TextRange selection = host_.selectedRange();
        if (!host_.isEditable() || selection.length == 0) {
            return true;
        }
        std::u16string marker(row.marker);
        host_.replaceText(selection, marker + host_.substring(selection) + marker,
                          TextRange{selection.location + marker.size(), selection.length});
        return true;
    }
    return false;
}

bool TextViewKeyRouter::performShortcutAction(const LocalKeyEvent &event) {
    std::optional<LocalShortcutAction> action = LocalShortcutRouter::action(event, callbacks.commandShortcuts());
    if (!action) {
        return false; // the view's default handling decides
    }
    bool editable = host_.isEditable();
    switch (action->kind) {
    case Kind::command:
        callbacks.commandHandler(action->commandID);
        break;
    case Kind::selectAll:
        host_.selectAll();
        break;
    case Kind::copy:
        host_.copy();
        break;
    case Kind::cut:
        if (editable) {
            host_.cut();
        }
        break;
    case Kind::paste:
        if (editable) {
            host_.paste();
        }
        break;
    case Kind::undo:
        if (editable && host_.undoManager() != nullptr) {
            host_.undoManager()->undo();
        }
        break;
    case Kind::redo:
        if (!editable) {
            break;
        }
        if (UndoManager *manager = host_.undoManager(); manager != nullptr && manager->canRedo()) {
            manager->redo();
        } else if (UndoManager *transition = host_.pageTransitionRedoManager()) {
            transition->redo();
        }
        break;
    case Kind::pasteAndMatchStyle:
        if (editable) {
            host_.pasteAsPlainText();
        }
        break;
    }
    return true;
}

void TextViewKeyRouter::keyDown(const LocalKeyEvent &event, const std::function<void()> &defaultKeyDown) {
    if (routePageNavigationShortcut(event)) {
        return;
    }
    if (event.keyCode == tabKeyCode && (event.modifierFlags & flagsThatStopIndentation) == 0) {
        host_.changeIndentation((event.modifierFlags & ModifierFlags::shift) != 0);
        return;
    }
    // Every other key ends a page cycle for the owner; the recorded modifiers stay until released.
    report(EditorEvent::endPageCycle());
    if (host_.isInsideFencedCode(host_.selectedRange().location)) {
        host_.withCodeTypingAttributes(defaultKeyDown);
    } else {
        defaultKeyDown();
    }
}

void TextViewKeyRouter::flagsChanged(std::uint64_t modifierFlags) {
    if (!activePageCycleModifiers_) {
        return;
    }
    std::uint64_t held = modifierFlags & deviceIndependentFlagsMask;
    if ((*activePageCycleModifiers_ & held) != *activePageCycleModifiers_) {
        activePageCycleModifiers_.reset();
        report(EditorEvent::endPageCycle());
    }
}

void TextViewKeyRouter::cancelOperation() {
    callbacks.commandHandler(VeltoCommandID::closePanel);
}

void TextViewKeyRouter::performVeltoCommand(const QString &identifier) {
    if (std::optional<VeltoCommandID> id = commandIDFromRawValue(identifier)) {
        callbacks.commandHandler(*id);
    }
}

std::optional<bool> TextViewKeyRouter::validateVeltoCommand(const QString &identifier) const {
    std::optional<VeltoCommandID> id = commandIDFromRawValue(identifier);
    if (!id) {
        return std::nullopt;
    }
    return callbacks.commandAvailabilityHandler(*id);
}

bool TextViewKeyRouter::routePageNavigationShortcut(const LocalKeyEvent &event) {
    for (const auto &[id, shortcut] : callbacks.commandShortcuts()) {
        if (id != VeltoCommandID::nextPage && id != VeltoCommandID::previousPage) {
            continue;
        }
        if (!shortcut || !shortcut->matchesLocal(event)) {
            continue;
        }
        activePageCycleModifiers_ = shortcut->modifiers;
        report(EditorEvent::cyclePage(id == VeltoCommandID::previousPage));
        return true;
    }
    return false;
}

void TextViewKeyRouter::report(const EditorEvent &event) {
    if (callbacks.editorEventHandler) {
        callbacks.editorEventHandler(event);
    }
}

} // namespace velto::editor
