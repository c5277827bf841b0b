#include "editor_view/input/TextViewKeyInput.h"

#include "editor_view/view/TextViewEditingCommands.h"
#include "editor_view/view/VeltoTextView.h"

#include <QKeyEvent>

namespace velto::editor {

TextViewKeyInput::TextViewKeyInput(VeltoTextView &view, TextViewEditingCommands &commands, TextViewCommandHost &host)
    : view_(view)
    , commands_(commands)
    , router_(view, host)
    , events_([&host] { return host.commandShortcuts(); }) {}

bool TextViewKeyInput::shortcutOverride(QKeyEvent &event) {
    // Keys the text takes itself are claimed here too.
    const KeyDecision decision = events_.shortcutOverride(event);
    if (decision.kind == KeyDecision::Kind::ignore) {
        return false;
    }
    carryOut(decision);
    return true;
}

void TextViewKeyInput::keyPress(QKeyEvent &event) {
    const KeyDecision decision = events_.keyPress(event, view_.hasMarkedText());
    event.setAccepted(decision.kind != KeyDecision::Kind::ignore);
    carryOut(decision);
}

void TextViewKeyInput::keyRelease(QKeyEvent &event) {
    carryOut(events_.keyRelease(event));
}

bool TextViewKeyInput::validateMenuItem(const QString &identifier) const {
    return router_.validateVeltoCommand(identifier).value_or(true);
}

void TextViewKeyInput::carryOut(const KeyDecision &decision) {
    router_.carryOut(decision, [this, &decision] {
        if (decision.kind == KeyDecision::Kind::viewCommand) {
            commands_.perform(decision.view.binding);
        } else if (decision.kind == KeyDecision::Kind::typedText) {
            commands_.typeText(decision.text);
        }
    });
}

} // namespace velto::editor
