#include "editor_view/input/KeyDispatch.h"

#include "preferences/GlobalShortcut.h"

#include <QtGui/QKeyEvent>

namespace velto::editor {

namespace {

constexpr std::uint32_t tabKeyCode = 48;
/// Every device-independent flag but Shift: with none of these held, Tab indents (Shift-Tab outdents).
constexpr std::uint64_t flagsThatStopIndentation = 0xFFFD0000;

struct MarkerRow {
    std::uint64_t flags;
    const char *character;
    std::u16string_view marker;
};

/// Wrapping the selection in Markdown markers; the flags must match exactly, so Caps Lock prevents a match. A row
/// held with Shift matches the key that bears its character on either level: Shift turns the US layout's "`"
/// into "~", and other layouts need Shift to type "`" at all.
constexpr MarkerRow markerRows[] = {
    {ModifierFlags::shift | ModifierFlags::command, "`", u"`"},
    {ModifierFlags::command, "b", u"**"},
    {ModifierFlags::command, "i", u"_"},
};

KeyDecision decided(KeyDecision::Kind kind) {
    KeyDecision decision;
    decision.kind = kind;
    return decision;
}

KeyDecision veltoCommand(VeltoKeyCommand command) {
    KeyDecision decision = decided(KeyDecision::Kind::veltoCommand);
    decision.velto = command;
    return decision;
}

KeyDecision viewCommand(ViewKeyCommand command) {
    KeyDecision decision = decided(KeyDecision::Kind::viewCommand);
    decision.view = command;
    return decision;
}

QString lowered(const std::optional<QString> &characters) {
    return characters ? characters->toLower() : QString();
}

std::optional<KeyDecision> pageCycleDecision(const LocalKeyEvent &event, const CommandShortcuts &shortcuts) {
    for (const auto &[id, shortcut] : shortcuts) {
        if (id != VeltoCommandID::nextPage && id != VeltoCommandID::previousPage) {
            continue;
        }
        if (!shortcut || !shortcut->matchesLocal(event)) {
            continue;
        }
        return veltoCommand({VeltoKeyCommand::Kind::cyclePage, id, shortcut->modifiers});
    }
    return std::nullopt;
}

/// A marker shortcut is the view's whether or not anything can be wrapped.
std::optional<KeyDecision> markerDecision(const LocalKeyEvent &event) {
    std::uint64_t flags = event.modifierFlags & deviceIndependentFlagsMask;
    QString characters = lowered(event.charactersIgnoringModifiers);
    QString charactersWithoutShift = lowered(event.charactersIgnoringShift);
    for (const MarkerRow &row : markerRows) {
        if (flags != row.flags) {
            continue;
        }
        bool heldWithShift = (row.flags & ModifierFlags::shift) != 0;
        if (characters == QLatin1String(row.character) ||
            (heldWithShift && charactersWithoutShift == QLatin1String(row.character))) {
            return viewCommand(ViewKeyCommand::wrapInMarkers(row.marker));
        }
    }
    return std::nullopt;
}

std::optional<KeyDecision> shortcutActionDecision(const LocalKeyEvent &event, const CommandShortcuts &shortcuts) {
    std::optional<LocalShortcutAction> action = LocalShortcutRouter::action(event, shortcuts);
    if (!action) {
        return std::nullopt;
    }
    if (action->kind == LocalShortcutAction::Kind::command) {
        return veltoCommand({VeltoKeyCommand::Kind::run, action->commandID, 0});
    }
    return viewCommand(ViewKeyCommand::keyEquivalent(action->kind));
}

// A key pressed with Ctrl, Alt or Super held types nothing, as in the desktop's other text fields: such a key
// is a shortcut or nothing, never a character (AltGr, which types characters, is no Alt here). Alt+Space, the
// usual show-or-hide shortcut, would otherwise type a space into the page once it is no longer the shortcut.
bool isTypedText(const QKeyEvent &event) {
    const QString text = event.text();
    if (text.isEmpty() || (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        return false;
    }
    for (const QChar character : text) {
        if (character.unicode() < 0x20 || character.unicode() == 0x7F) {
            return false;
        }
    }
    return true;
}

/// Escape closes the panel only alone: with Shift, Ctrl, Alt or Super held it is another key, which the text
/// leaves alone (Caps Lock, Num Lock and the keypad flag play no part).
bool isPlainEscape(const QKeyEvent &event) {
    constexpr Qt::KeyboardModifiers held = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    return event.key() == Qt::Key_Escape && (event.modifiers() & held) == Qt::NoModifier;
}

/// The view's own handling of a press: Escape, the desktop's key bindings, typed text.
KeyDecision ownKeyDownDecision(const QKeyEvent &event) {
    KeyDecision decision;
    if (isPlainEscape(event)) {
        decision = veltoCommand({VeltoKeyCommand::Kind::run, VeltoCommandID::closePanel, 0});
    } else if (const std::optional<TextViewCommand> binding = textViewCommandFor(event)) {
        decision = viewCommand(ViewKeyCommand::keyBinding(*binding));
    } else if (isTypedText(event)) {
        decision = decided(KeyDecision::Kind::typedText);
        const QString text = event.text();
        decision.text =
            std::u16string(reinterpret_cast<const char16_t *>(text.utf16()), static_cast<std::size_t>(text.size()));
    }
    decision.ordinaryKeyDown = true;
    return decision;
}

KeyDecision shortcutOverrideDecision(const QKeyEvent &event, const KeyContext &context) {
    if (!isModifierKey(event.key())) {
        if (std::optional<KeyDecision> equivalent =
                keyEquivalentDecision(localKeyEvent(event, context.typedText), context.commandShortcuts())) {
            return *equivalent;
        }
    }
    // Keys the text takes itself are claimed too, before a menu or window action with the same shortcut.
    if (textViewCommandFor(event) || isTypedText(event)) {
        return decided(KeyDecision::Kind::claim);
    }
    return decided(KeyDecision::Kind::ignore);
}

KeyDecision pressDecision(const QKeyEvent &event, const KeyContext &context) {
    if (event.key() == Qt::Key_Escape && context.composing) {
        return decided(KeyDecision::Kind::ignore); // the input method's: it must not close the panel
    }
    if (context.equivalentRanOnOverride) {
        return decided(KeyDecision::Kind::claim);
    }
    if (isModifierKey(event.key())) {
        return veltoCommand(
            {VeltoKeyCommand::Kind::modifiersChanged, VeltoCommandID::closePanel, modifierFlags(event)});
    }
    if (std::optional<KeyDecision> before =
            keyDownDecision(localKeyEvent(event, context.typedText), context.commandShortcuts())) {
        return *before;
    }
    return ownKeyDownDecision(event);
}

KeyDecision releaseDecision(const QKeyEvent &event) {
    if (isModifierKey(event.key())) {
        return veltoCommand(
            {VeltoKeyCommand::Kind::modifiersChanged, VeltoCommandID::closePanel, modifierFlags(event)});
    }
    return decided(KeyDecision::Kind::ignore);
}

} // namespace

KeyDecision dispatchKey(const QKeyEvent &event, const KeyContext &context) {
    switch (context.phase) {
    case KeyPhase::shortcutOverride:
        return shortcutOverrideDecision(event, context);
    case KeyPhase::press:
        return pressDecision(event, context);
    case KeyPhase::release:
        return releaseDecision(event);
    }
    return decided(KeyDecision::Kind::ignore);
}

std::optional<KeyDecision> keyEquivalentDecision(const LocalKeyEvent &event, const CommandShortcuts &shortcuts) {
    if (std::optional<KeyDecision> cycle = pageCycleDecision(event, shortcuts)) {
        return cycle;
    }
    if (std::optional<KeyDecision> marker = markerDecision(event)) {
        return marker;
    }
    return shortcutActionDecision(event, shortcuts);
}

std::optional<KeyDecision> keyDownDecision(const LocalKeyEvent &event, const CommandShortcuts &shortcuts) {
    if (std::optional<KeyDecision> cycle = pageCycleDecision(event, shortcuts)) {
        return cycle;
    }
    if (event.keyCode == tabKeyCode && (event.modifierFlags & flagsThatStopIndentation) == 0) {
        const bool outdent = (event.modifierFlags & ModifierFlags::shift) != 0;
        return viewCommand(ViewKeyCommand::changeIndentation(outdent));
    }
    return std::nullopt;
}

} // namespace velto::editor
