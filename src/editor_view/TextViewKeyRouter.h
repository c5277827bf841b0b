#pragma once

#include "editor/editing/UndoManager.h"
#include "editor/text/TextRange.h"
#include "editor_view/TextViewCallbacks.h"
#include "preferences/LocalKeyEvent.h"

#include <QtCore/QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velto::editor {

/// The side of the text view the key routing acts on; the view implements it.
class TextViewKeyHost {
public:
    virtual ~TextViewKeyHost() = default;
    virtual bool isEditable() const = 0;
    virtual TextRange selectedRange() const = 0;
    virtual std::u16string substring(TextRange range) const = 0;
    /// The one path of rule-made edits: one undo step, then the selection.
    virtual bool replaceText(TextRange range, std::u16string_view replacement, TextRange selection) = 0;
    virtual void selectAll() = 0;
    virtual void copy() = 0;
    virtual void cut() = 0;
    virtual void paste() = 0;
    virtual void pasteAsPlainText() = 0;
    virtual void changeIndentation(bool outdent) = 0;
    virtual bool isInsideFencedCode(std::size_t location) const = 0;
    /// Runs body with the code attributes merged into the typing attributes.
    virtual void withCodeTypingAttributes(const std::function<void()> &body) = 0;
    virtual UndoManager *undoManager() = 0;
    /// The manager holding the redo of an undone page operation, when it is not the active page's.
    virtual UndoManager *pageTransitionRedoManager() = 0;
};

/// The text view's keyboard and command entry points, without a display: key equivalents (which the view
/// runs on Qt's shortcut-override event, so that menu actions with the same shortcut do not fire first),
/// key-down, modifier changes that end a page cycle, Escape, and menu commands with their validation.
class TextViewKeyRouter {
public:
    explicit TextViewKeyRouter(TextViewKeyHost &host)
        : host_(host) {}

    TextViewCallbacks callbacks;

    /// True when the event was consumed; false leaves it to the default handling.
    bool performKeyEquivalent(const LocalKeyEvent &event);
    /// Runs `defaultKeyDown` (typing, editing and navigation keys) unless a page shortcut or Tab takes the
    /// event; inside fenced code it runs with the code typing attributes.
    void keyDown(const LocalKeyEvent &event, const std::function<void()> &defaultKeyDown);
    /// The held modifiers changed; releasing one of those that started a page cycle ends the cycle.
    void flagsChanged(std::uint64_t modifierFlags);
    /// Escape: asks the owner to close the panel.
    void cancelOperation();

    /// A menu item's action: runs the command its identifier names ("page.new"); other identifiers do nothing.
    void performVeltoCommand(const QString &identifier);
    /// Whether a menu item naming a command is enabled; nothing for items that name no command (the
    /// view's own answer applies to those).
    std::optional<bool> validateVeltoCommand(const QString &identifier) const;

    /// The modifiers of the page-cycling shortcut that started the current cycle.
    std::optional<std::uint64_t> activePageCycleModifiers() const { return activePageCycleModifiers_; }

private:
    bool routePageNavigationShortcut(const LocalKeyEvent &event);
    bool wrapSelectionInMarkers(const LocalKeyEvent &event);
    bool performShortcutAction(const LocalKeyEvent &event);
    void report(const EditorEvent &event);

    TextViewKeyHost &host_;
    std::optional<std::uint64_t> activePageCycleModifiers_;
};

} // namespace velto::editor
