#pragma once

#include "settings/SettingsPresenters.h"

#include <functional>

namespace velto {

/// One alert of the shell, of the same shape as the Settings window's: a title, an optional message, a style
/// and its buttons in order, answered by the response code of the button chosen (1000 for the first).
using ShellAlert = SettingsAlert;

inline constexpr int firstAlertButton = firstButtonResponse;

/// Shows an alert and answers its response code; tests put a recorder in its place.
using ShellAlertPresenter = std::function<int(const ShellAlert &)>;

/// The alert run modally, with Velto's icon.
int presentShellAlertModally(const ShellAlert &alert);

} // namespace velto
