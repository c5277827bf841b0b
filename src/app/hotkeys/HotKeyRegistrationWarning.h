#pragma once

namespace velto {

/// "A Velto Shortcut Is Unavailable": which of the saved global shortcuts another program holds, written to the
/// error output too, and shown in a modal alert.
void showHotKeyRegistrationWarning(bool toggleShortcutAvailable, bool clipboardShortcutAvailable);

} // namespace velto
