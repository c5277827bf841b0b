#pragma once

#include "preferences/GlobalShortcut.h"
#include "preferences/ShortcutRegistrationAvailability.h"

#include <QtCore/QString>

#include <optional>

namespace velto {

/// Why a global shortcut shown in Settings does nothing, said under its row in place of what it does; nothing while
/// it works or is not set. `isToggle` picks the show/hide shortcut, else the clipboard one, which is never
/// registered while the show/hide shortcut is not.
std::optional<QString> globalShortcutUnavailability(bool isToggle, const std::optional<GlobalShortcut> &shortcut,
                                                    const ShortcutRegistrationAvailability &availability);

} // namespace velto
