#include "editor_view/input/TextViewKeyEvents.h"

#include <QtGui/QKeyEvent>

#include <utility>

namespace velto::editor {

TextViewKeyEvents::TextViewKeyEvents(std::function<CommandShortcuts()> commandShortcuts, TypedTextLookup typedText)
    : commandShortcuts_(std::move(commandShortcuts))
    , typedText_(std::move(typedText)) {}

TextViewKeyEvents::PressIdentity TextViewKeyEvents::identityOf(const QKeyEvent &event) {
    return PressIdentity{event.key(), event.nativeScanCode(), event.modifiers()};
}

KeyContext TextViewKeyEvents::context(KeyPhase phase) const {
    KeyContext context;
    context.phase = phase;
    context.commandShortcuts = commandShortcuts_;
    context.typedText = typedText_;
    return context;
}

KeyDecision TextViewKeyEvents::shortcutOverride(const QKeyEvent &event) {
    consumedPress_.reset();
    KeyDecision decision = dispatchKey(event, context(KeyPhase::shortcutOverride));
    const bool equivalentRuns =
        decision.kind == KeyDecision::Kind::veltoCommand || decision.kind == KeyDecision::Kind::viewCommand;
    if (equivalentRuns) {
        consumedPress_ = identityOf(event);
    }
    return decision;
}

KeyDecision TextViewKeyEvents::keyPress(const QKeyEvent &event, bool composing) {
    KeyContext pressContext = context(KeyPhase::press);
    pressContext.composing = composing;
    pressContext.equivalentRanOnOverride = consumedPress_ && *consumedPress_ == identityOf(event);
    KeyDecision decision = dispatchKey(event, pressContext);
    // Escape left to the input method passes the view by; any other press is the view's and ends what the
    // override remembered.
    const bool leftToInputMethod = decision.kind == KeyDecision::Kind::ignore && !decision.ordinaryKeyDown;
    if (!leftToInputMethod) {
        consumedPress_.reset();
    }
    return decision;
}

KeyDecision TextViewKeyEvents::keyRelease(const QKeyEvent &event) {
    return dispatchKey(event, context(KeyPhase::release));
}

} // namespace velto::editor
