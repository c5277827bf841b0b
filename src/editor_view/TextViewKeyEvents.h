#pragma once

#include "editor_view/KeyEventTranslation.h"
#include "editor_view/TextViewKeyRouter.h"

#include <functional>
#include <optional>

class QKeyEvent;

namespace velto::editor {

/// Feeds Qt's key events to the text view's routing in the platform's order. The key equivalents run on
/// the shortcut-override event that Qt sends before a key press reaches menu and action shortcuts: a
/// consumed one is accepted there (so no action with the same shortcut fires) and the key press that
/// follows is swallowed. Other key presses go to key-down; Escape there means cancel. Presses and
/// releases of modifier keys are modifier changes, never key-downs.
class TextViewKeyEvents {
public:
    explicit TextViewKeyEvents(TextViewKeyRouter &router, TypedTextLookup typedText = currentKeyboardTypedText());

    /// True when the view should accept the shortcut-override event.
    bool shortcutOverride(const QKeyEvent &event);
    /// `defaultKeyDown` is the view's own handling of the key (typing, editing and navigation keys).
    void keyPress(const QKeyEvent &event, const std::function<void()> &defaultKeyDown);
    void keyRelease(const QKeyEvent &event);

    static bool isModifierKey(const QKeyEvent &event);

private:
    struct PressIdentity {
        int key;
        quint32 scanCode;
        Qt::KeyboardModifiers modifiers;
        bool operator==(const PressIdentity &) const = default;
    };
    static PressIdentity identityOf(const QKeyEvent &event);

    TextViewKeyRouter &router_;
    TypedTextLookup typedText_;
    std::optional<PressIdentity> consumedPress_;
};

} // namespace velto::editor
