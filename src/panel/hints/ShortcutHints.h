#pragma once

#include "preferences/CommandCatalog.h"
#include "preferences/CommandRegistry.h"

#include <QtCore/QStringList>

#include <variant>
#include <vector>

namespace velto {

/// One entry of the shortcut hints: its keycaps (empty when the command has no shortcut), its title and
/// when it can run.
struct ShortcutHintDescriptor {
    /// When the entry's action can run: a command's catalog rule, always, or when the editor can undo or redo.
    struct Availability {
        enum class Kind { command, always, undo, redo };
        Kind kind = Kind::always;
        VeltoCommandID command = VeltoCommandID::newPage; // meaningful for `command` only

        static Availability of(VeltoCommandID id) { return {Kind::command, id}; }
        friend bool operator==(const Availability &, const Availability &) = default;
    };

    QStringList keys;
    QString title;
    Availability availability;
    friend bool operator==(const ShortcutHintDescriptor &, const ShortcutHintDescriptor &) = default;
};

/// Whether an entry can run now.
bool isHintAvailable(const ShortcutHintDescriptor::Availability &availability, const VeltoCommandContext &context,
                     bool canUndo, bool canRedo);

/// The hints of the panel's shortcuts, in display order.
namespace VeltoShortcutHints {

/// Every catalog command with a hint, with the user's current keys, and the four fixed entries (Undo,
/// Redo, Find in page, Reload from disk), sorted by the hints' order. Read afresh on every call.
std::vector<ShortcutHintDescriptor> descriptors();

} // namespace VeltoShortcutHints

/// Where the hold-Ctrl hints stand; moved by the panel's hint monitoring.
enum class ShortcutHintPhase { hidden, waiting, visible, suppressedUntilCommandRelease };

struct ShortcutHintState {
    ShortcutHintPhase phase = ShortcutHintPhase::hidden;
    friend bool operator==(const ShortcutHintState &, const ShortcutHintState &) = default;
};

} // namespace velto
