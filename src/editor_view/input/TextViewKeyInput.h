#pragma once

#include "editor_view/input/TextViewKeyEvents.h"
#include "editor_view/input/TextViewKeyRouter.h"

#include <QString>

class QKeyEvent;

namespace velto::editor {

class TextViewEditingCommands;
class VeltoTextView;

/// The text view's key pipeline: each key event becomes one decision (a Velto command, a command for the
/// text, typed text, or nothing), which the router carries out; the view's own part of it, its key
/// bindings and typed text, goes to the editing commands.
class TextViewKeyInput {
public:
    TextViewKeyInput(VeltoTextView &view, TextViewEditingCommands &commands, TextViewCommandHost &host);

    /// Key equivalents run here, before any menu or window action with the same shortcut may fire; true
    /// when the view takes the key.
    bool shortcutOverride(QKeyEvent &event);
    void keyPress(QKeyEvent &event);
    void keyRelease(QKeyEvent &event);

    /// A menu item's action: runs the command its identifier names ("page.new").
    void performVeltoCommand(const QString &identifier) { router_.performVeltoCommand(identifier); }
    /// Whether a menu item is enabled: for one naming a command, whether the command is available; other
    /// items are always enabled here.
    bool validateMenuItem(const QString &identifier) const;

private:
    void carryOut(const KeyDecision &decision);

    VeltoTextView &view_;
    TextViewEditingCommands &commands_;
    TextViewKeyRouter router_;
    TextViewKeyEvents events_;
};

} // namespace velto::editor
