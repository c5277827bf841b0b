#pragma once

#include "editor_view/input/KeyDispatch.h"
#include "platform/desktop/KeyEventTranslation.h"

#include <functional>
#include <optional>

class QKeyEvent;

namespace velto::editor {

/// Asks `dispatchKey` about Qt's key events in the platform's order, and remembers the one thing a decision
/// needs from the event before: whether a press's key equivalent already ran on its shortcut override, in
/// which case the press is swallowed.
class TextViewKeyEvents {
public:
    explicit TextViewKeyEvents(std::function<CommandShortcuts()> commandShortcuts,
                               TypedTextLookup typedText = currentKeyboardTypedText());

    KeyDecision shortcutOverride(const QKeyEvent &event);
    /// `composing`: an input method is composing in the view.
    KeyDecision keyPress(const QKeyEvent &event, bool composing);
    KeyDecision keyRelease(const QKeyEvent &event);

private:
    struct PressIdentity {
        int key;
        quint32 scanCode;
        Qt::KeyboardModifiers modifiers;
        bool operator==(const PressIdentity &) const = default;
    };
    static PressIdentity identityOf(const QKeyEvent &event);
    KeyContext context(KeyPhase phase) const;

    std::function<CommandShortcuts()> commandShortcuts_;
    TypedTextLookup typedText_;
    std::optional<PressIdentity> consumedPress_;
};

} // namespace velto::editor
