#pragma once

#include "preferences/CommandCatalog.h"
#include "preferences/LocalShortcutRouter.h"

#include <functional>

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

/// Requests the text view's owner carries out. The view itself reports only interpretPastedMarkdown
/// (after Paste and Match Style changed the text); the others exist for the owner's own use.
struct TextViewAction {
    enum class Kind {
        cyclePage,
        adjustTextSize,
        adjustPanelSize,
        dismiss,
        newPage,
        archivePage,
        endPageCycle,
        resetTextSize,
        fitPanelToContent,
        toggleMarkdownFormatting,
        interpretPastedMarkdown,
    };
    Kind kind = Kind::dismiss;
    bool reverse = false; // cyclePage
    int step = 0;         // adjustTextSize, adjustPanelSize

    static TextViewAction cyclePage(bool reverse) { return {Kind::cyclePage, reverse, 0}; }
    static TextViewAction adjustTextSize(int step) { return {Kind::adjustTextSize, false, step}; }
    static TextViewAction adjustPanelSize(int step) { return {Kind::adjustPanelSize, false, step}; }
    static TextViewAction of(Kind kind) { return {kind, false, 0}; }
    friend bool operator==(const TextViewAction &, const TextViewAction &) = default;
};

/// What the text view reports upward, installed by its owner. The defaults are those of a view nobody has
/// configured yet: no handlers, commands that never run, every command available, and the catalog's
/// commands with their current shortcuts (read afresh at every call, so user changes apply at once).
struct TextViewCallbacks {
    std::function<void(const EditorEvent &)> editorEventHandler;
    std::function<void(const TextViewAction &)> actionHandler;
    std::function<bool(VeltoCommandID)> commandHandler = [](VeltoCommandID) { return false; };
    std::function<bool(VeltoCommandID)> commandAvailabilityHandler = [](VeltoCommandID) { return true; };
    std::function<CommandShortcuts()> commandShortcuts = [] { return LocalShortcutRouter::currentCommandShortcuts(); };
};

} // namespace velto::editor
