#pragma once

#include "app/shell/ShellAlert.h"

namespace velto {

/// "A Velto Shortcut Is Unavailable": which of the global shortcuts another program holds. A show/hide shortcut
/// the user never changed is named as the default, with its keys, since the user has not seen it yet.
ShellAlert hotKeyRegistrationWarning(bool toggleShortcutAvailable, bool clipboardShortcutAvailable);

/// The warning written to the error output too, and shown through `present`.
void showHotKeyRegistrationWarning(bool toggleShortcutAvailable, bool clipboardShortcutAvailable,
                                   const ShellAlertPresenter &present);

} // namespace velto
