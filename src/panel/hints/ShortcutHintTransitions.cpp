#include "panel/hints/ShortcutHintTransitions.h"

namespace velto {

namespace {

using Presentation = ShortcutHintEffects::Presentation;

ShortcutHintTransition to(ShortcutHintPhase phase, bool cancelDwell, bool scheduleDwell, Presentation presentation) {
    return {phase, {cancelDwell, scheduleDwell, presentation}};
}

ShortcutHintTransition afterModifiersChanged(ShortcutHintPhase phase, const ShortcutHintEvent &event) {
    if (!event.commandHeld) {
        return to(ShortcutHintPhase::hidden, true, false, Presentation::hide);
    }
    switch (phase) {
    case ShortcutHintPhase::hidden:
        if (event.commandAlone) {
            return to(ShortcutHintPhase::waiting, false, true, Presentation::hide);
        }
        return to(ShortcutHintPhase::hidden, true, false, Presentation::hide);
    case ShortcutHintPhase::waiting:
        if (event.commandAlone) {
            return to(ShortcutHintPhase::waiting, false, false, Presentation::hide); // the dwell keeps running
        }
        return to(ShortcutHintPhase::hidden, true, false, Presentation::hide);
    case ShortcutHintPhase::visible:
        // Shown hints stay while Ctrl is held, whatever modifiers join it.
        return to(ShortcutHintPhase::visible, true, false, Presentation::show);
    case ShortcutHintPhase::suppressedUntilCommandRelease:
        return to(ShortcutHintPhase::suppressedUntilCommandRelease, true, false, Presentation::hide);
    }
    return to(phase, false, false, Presentation::unchanged);
}

} // namespace

ShortcutHintTransition nextShortcutHintState(ShortcutHintPhase phase, const ShortcutHintEvent &event) {
    switch (event.kind) {
    case ShortcutHintEvent::Kind::keyDown:
        if (phase == ShortcutHintPhase::hidden) {
            return to(phase, false, false, Presentation::unchanged);
        }
        return to(ShortcutHintPhase::suppressedUntilCommandRelease, true, false, Presentation::hide);
    case ShortcutHintEvent::Kind::modifiersChanged:
        return afterModifiersChanged(phase, event);
    case ShortcutHintEvent::Kind::dwellElapsed:
        if (phase == ShortcutHintPhase::waiting || phase == ShortcutHintPhase::visible) {
            return to(ShortcutHintPhase::visible, false, false, Presentation::showWithFreshAvailability);
        }
        return to(phase, false, false, Presentation::unchanged);
    case ShortcutHintEvent::Kind::focusLost:
        return to(ShortcutHintPhase::hidden, true, false, Presentation::hide);
    }
    return to(phase, false, false, Presentation::unchanged);
}

} // namespace velto
