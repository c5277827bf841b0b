#pragma once

#include "editor/editing/EditingTarget.h"
#include "editor_view/input/KeyDispatch.h"
#include "editor_view/view/TextViewCommandHost.h"

#include <QtCore/QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace velto::editor {

/// Carries out the text view's key decisions, but for the view's own part, and its menu commands, without a
/// display: Velto commands and page cycles reach the owner through its command host, key equivalents act on
/// the view's text, and a page cycle lasts while the modifiers of the shortcut that started it are held.
class TextViewKeyRouter {
public:
    TextViewKeyRouter(EditingTarget &target, TextViewCommandHost &host)
        : target_(target)
        , host_(host) {}

    /// Carries out the decision. `own` is the view's own part (its key bindings and typed text), which runs
    /// once, for those decisions only. An ordinary key-down ends a page cycle first and, inside fenced code,
    /// is carried out with the code typing attributes.
    void carryOut(const KeyDecision &decision, const std::function<void()> &own);

    /// A menu item's action: runs the command its identifier names ("page.new"); other identifiers do nothing.
    void performVeltoCommand(const QString &identifier);
    /// Whether a menu item naming a command is enabled; nothing for items that name no command (the
    /// view's own answer applies to those).
    std::optional<bool> validateVeltoCommand(const QString &identifier) const;

    /// The modifiers of the page-cycling shortcut that started the current cycle.
    std::optional<std::uint64_t> activePageCycleModifiers() const { return activePageCycleModifiers_; }

private:
    void carryOutOnce(const KeyDecision &decision, const std::function<void()> &own);
    void run(const VeltoKeyCommand &command);
    void perform(const ViewKeyCommand &command);
    void performKeyEquivalent(LocalShortcutAction::Kind equivalent);
    void wrapSelectionInMarkers(std::u16string_view marker);
    void modifiersChanged(std::uint64_t modifierFlags);

    EditingTarget &target_;
    TextViewCommandHost &host_;
    std::optional<std::uint64_t> activePageCycleModifiers_;
};

} // namespace velto::editor
