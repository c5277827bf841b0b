#pragma once

#include "editor_view/input/TextViewKeyBindings.h"
#include "platform/desktop/KeyEventTranslation.h"
#include "platform/desktop/LocalKeyEvent.h"
#include "preferences/CommandCatalog.h"
#include "preferences/LocalShortcutRouter.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QKeyEvent;

// What the text view does with a key event, decided from the event and a few facts about the view, with
// no effect of its own: the view carries the decision out once. Qt sends a press's shortcut override
// before menu and window shortcuts see the press; key equivalents run there, so that an action with the
// same shortcut does not fire first, and the press that follows is swallowed.
namespace velto::editor {

/// Which of a key's events is asked about.
enum class KeyPhase { shortcutOverride, press, release };

/// What deciding a key needs besides the event.
struct KeyContext {
    KeyPhase phase = KeyPhase::press;
    /// The commands with their current shortcuts, read only for keys that may be one.
    std::function<CommandShortcuts()> commandShortcuts;
    /// What a physical key types in the current layout.
    TypedTextLookup typedText;
    /// An input method is composing: Escape is the input method's, not the panel's.
    bool composing = false;
    /// This press's key equivalent already ran on its shortcut override.
    bool equivalentRanOnOverride = false;
};

/// A command for Velto, which the view's owner carries out.
struct VeltoKeyCommand {
    enum class Kind {
        run,              // a command of the catalog (Escape closes the panel)
        cyclePage,        // a page-cycling shortcut: the cycle lasts while its modifiers are held
        modifiersChanged, // a modifier key went down or up: releasing one of the cycle's ends the cycle
    };
    Kind kind = Kind::run;
    VeltoCommandID id = VeltoCommandID::closePanel; // run; cyclePage: nextPage or previousPage
    std::uint64_t modifierFlags = 0;                // cyclePage: the shortcut's; modifiersChanged: those held

    friend bool operator==(const VeltoKeyCommand &, const VeltoKeyCommand &) = default;
};

/// A command for the view's text.
struct ViewKeyCommand {
    enum class Kind {
        keyBinding,        // the desktop's editing and navigation keys, which the view itself performs
        keyEquivalent,     // select all, copy, cut, paste, undo, redo, paste and match style
        wrapInMarkers,     // wraps the selection in Markdown markers ("**" for Command-B)
        changeIndentation, // Tab and Shift-Tab
    };
    Kind kind = Kind::keyBinding;
    TextViewCommand binding = TextViewCommand::moveForward;
    LocalShortcutAction::Kind equivalent = LocalShortcutAction::Kind::selectAll;
    std::u16string_view marker;
    bool outdent = false;

    static ViewKeyCommand keyBinding(TextViewCommand binding) {
        ViewKeyCommand command;
        command.binding = binding;
        return command;
    }
    static ViewKeyCommand keyEquivalent(LocalShortcutAction::Kind equivalent) {
        ViewKeyCommand command;
        command.kind = Kind::keyEquivalent;
        command.equivalent = equivalent;
        return command;
    }
    static ViewKeyCommand wrapInMarkers(std::u16string_view marker) {
        ViewKeyCommand command;
        command.kind = Kind::wrapInMarkers;
        command.marker = marker;
        return command;
    }
    static ViewKeyCommand changeIndentation(bool outdent) {
        ViewKeyCommand command;
        command.kind = Kind::changeIndentation;
        command.outdent = outdent;
        return command;
    }
    friend bool operator==(const ViewKeyCommand &, const ViewKeyCommand &) = default;
};

/// The one decision for a key event.
struct KeyDecision {
    enum class Kind {
        ignore,       // not the view's: Qt passes the event on
        claim,        // the view's, with nothing to do now: the shortcut override of a key its press carries
                      // out, or the press of a key whose equivalent ran on the override
        veltoCommand, // `velto`
        viewCommand,  // `view`
        typedText,    // `text`, typed where the selection is
    };
    Kind kind = Kind::ignore;
    VeltoKeyCommand velto;
    ViewKeyCommand view;
    std::u16string text;
    /// A press that reached the view's own handling: it ends a page cycle, and inside fenced code it is
    /// carried out with the code typing attributes.
    bool ordinaryKeyDown = false;

    friend bool operator==(const KeyDecision &, const KeyDecision &) = default;
};

KeyDecision dispatchKey(const QKeyEvent &event, const KeyContext &context);

/// The key equivalent of a translated key (a page-cycling shortcut, a marker shortcut, or a shortcut
/// action), which runs on the shortcut override; none when the key is not one.
std::optional<KeyDecision> keyEquivalentDecision(const LocalKeyEvent &event, const CommandShortcuts &shortcuts);
/// What a translated key press does before the view's own handling: a page-cycling shortcut, or Tab and
/// Shift-Tab changing the indentation; none when the view's own handling decides.
std::optional<KeyDecision> keyDownDecision(const LocalKeyEvent &event, const CommandShortcuts &shortcuts);

} // namespace velto::editor
