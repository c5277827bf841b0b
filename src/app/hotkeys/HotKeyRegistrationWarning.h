#pragma once

#include "app/shell/ShellAlert.h"

#include <functional>

namespace velto {

/// "A Velto Shortcut Is Unavailable": which of the global shortcuts another program holds, and every shortcut left
/// unregistered with it, with "OK" and a button that opens Settings to choose another. A show/hide shortcut the
/// user never changed is named as the default, with its keys, since the user has not seen it yet.
ShellAlert hotKeyRegistrationWarning(bool toggleShortcutAvailable, bool clipboardShortcutAvailable);

/// The warning written to the error output too, and shown through `present`; `chooseAnother` runs when the user
/// asks to choose another shortcut.
void showHotKeyRegistrationWarning(bool toggleShortcutAvailable, bool clipboardShortcutAvailable,
                                   const ShellAlertPresenter &present, const std::function<void()> &chooseAnother);

} // namespace velto
