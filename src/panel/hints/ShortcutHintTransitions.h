#pragma once

#include "panel/hints/ShortcutHints.h"

namespace velto {

/// What the panel's hint monitoring sees while the panel is shown.
struct ShortcutHintEvent {
    enum class Kind {
        keyDown,          ///< a key that is not a modifier went down
        modifiersChanged, ///< a modifier went down or up; `commandHeld` and `commandAlone` tell the state after it
        dwellElapsed,     ///< Ctrl has been held alone long enough, and the panel has the keyboard
        focusLost,        ///< the panel lost the keyboard, or the application lost activation
    };
    Kind kind = Kind::keyDown;
    /// Ctrl (the shortcuts' Command) is held.
    bool commandHeld = false;
    /// Of Shift, Ctrl, Alt and Super only Ctrl is held; Caps Lock and Num Lock play no part.
    bool commandAlone = false;

    static ShortcutHintEvent keyDown() { return {Kind::keyDown, false, false}; }
    static ShortcutHintEvent modifiers(bool commandHeld, bool commandAlone) {
        return {Kind::modifiersChanged, commandHeld, commandAlone};
    }
    static ShortcutHintEvent dwellElapsed() { return {Kind::dwellElapsed, false, false}; }
    static ShortcutHintEvent focusLost() { return {Kind::focusLost, false, false}; }
};

/// What a step of the hint monitoring does besides changing the phase.
struct ShortcutHintEffects {
    enum class Presentation {
        unchanged,
        hide,                     ///< hide the hints (animated)
        show,                     ///< show the hints again as they are
        showWithFreshAvailability ///< work out which entries can run, then show the hints
    };
    bool cancelDwell = false;
    bool scheduleDwell = false;
    Presentation presentation = Presentation::unchanged;
    friend bool operator==(const ShortcutHintEffects &, const ShortcutHintEffects &) = default;
};

struct ShortcutHintTransition {
    ShortcutHintPhase phase = ShortcutHintPhase::hidden;
    ShortcutHintEffects effects;
    friend bool operator==(const ShortcutHintTransition &, const ShortcutHintTransition &) = default;
};

/// The hold-Ctrl hints as a state machine: hidden → waiting (Ctrl alone pressed) → visible (the dwell
/// elapsed) → hidden (Ctrl released, focus lost); waiting or visible → suppressed until Ctrl is released
/// (any key pressed) → hidden.
ShortcutHintTransition nextShortcutHintState(ShortcutHintPhase phase, const ShortcutHintEvent &event);

} // namespace velto
