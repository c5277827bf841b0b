#pragma once

#include "preferences/CommandCatalog.h"
#include "preferences/LocalShortcutRouter.h"

class QUrl;

namespace velto::editor {

/// Events the text view's owner reacts to at once.
struct EditorEvent {
    enum class Kind { cyclePage, endPageCycle, interpretPastedMarkdown };
    Kind kind = Kind::endPageCycle;
    bool reverse = false; // cyclePage: toward the previous page

    static EditorEvent cyclePage(bool reverse) { return {Kind::cyclePage, reverse}; }
    static EditorEvent endPageCycle() { return {Kind::endPageCycle, false}; }
    static EditorEvent interpretPastedMarkdown() { return {Kind::interpretPastedMarkdown, false}; }
    friend bool operator==(const EditorEvent &, const EditorEvent &) = default;
};

/// What the text view asks of its owner about Velto's commands, and tells it of page cycles; handed to the
/// view when it is made. The answers here are those of a view nobody configured: commands never run,
/// every command is available, the catalog's commands have their current shortcuts (read afresh at every
/// call, so user changes apply at once), events go nowhere, and links open in the desktop's handler for
/// their address. An owner overrides what it carries out.
class TextViewCommandHost {
public:
    virtual ~TextViewCommandHost() = default;

    /// The host of a view nobody configured (tests, tools).
    static TextViewCommandHost &unconfigured() {
        static TextViewCommandHost host;
        return host;
    }

    /// Runs a command: a key equivalent typed in the view or a menu item's action.
    virtual void performCommand(VeltoCommandID) {}
    /// Whether a menu item naming the command is enabled.
    virtual bool isCommandAvailable(VeltoCommandID) const { return true; }
    /// The commands and their shortcuts, asked at every key.
    virtual CommandShortcuts commandShortcuts() const { return LocalShortcutRouter::currentCommandShortcuts(); }
    virtual void editorEvent(const EditorEvent &) {}
    /// Opens a link Ctrl+clicked in the view; whether something opened it.
    virtual bool openLink(const QUrl &url);
};

} // namespace velto::editor
