#pragma once

#include "platform/desktop/LocalKeyEvent.h"
#include "preferences/CommandCatalog.h"
#include "preferences/GlobalShortcut.h"

#include <optional>
#include <utility>
#include <vector>

namespace velto {

/// What a key event inside the panel means: one of seven standard editing actions, or a command.
struct LocalShortcutAction {
    enum class Kind { command, selectAll, copy, cut, paste, undo, redo, pasteAndMatchStyle };
    Kind kind = Kind::command;
    VeltoCommandID commandID = VeltoCommandID::newPage; // meaningful only for Kind::command

    static LocalShortcutAction command(VeltoCommandID id) { return {Kind::command, id}; }
    static LocalShortcutAction editing(Kind kind) { return {kind, VeltoCommandID::newPage}; }
    friend bool operator==(const LocalShortcutAction &, const LocalShortcutAction &) = default;
};

using CommandShortcuts = std::vector<std::pair<VeltoCommandID, std::optional<GlobalShortcut>>>;

/// Decides what key events inside the panel mean; pure functions of the event and the shortcuts.
namespace LocalShortcutRouter {

/// Every shortcut command of the catalog, in catalog order, with its current shortcut.
CommandShortcuts currentCommandShortcuts();

/// The editing action of the event, which always wins; else the first command whose shortcut matches it.
std::optional<LocalShortcutAction> action(const LocalKeyEvent &event, const CommandShortcuts &commands);
std::optional<LocalShortcutAction> action(const LocalKeyEvent &event);

/// Whether the shortcut belongs to a native command of the text system or the application (Command-C,
/// Command-Q, Command-R and the others); reads the modifiers and label only.
bool isReservedForNativeCommand(const GlobalShortcut &shortcut);

} // namespace LocalShortcutRouter

} // namespace velto
