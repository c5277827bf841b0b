#pragma once

#include "settings/SettingsCallbacks.h"

#include <filesystem>
#include <optional>
#include <string>

namespace velto::launchAtLogin {

/// The file name of Velto's entry in the desktop's autostart folder.
inline constexpr char entryFileName[] = "app.velto.Velto.desktop";

/// "$XDG_CONFIG_HOME/autostart/app.velto.Velto.desktop" ("~/.config" when the variable is unset or relative);
/// nothing when there is no configuration folder to put it in.
std::optional<std::filesystem::path> autostartEntryFile();

/// Whether the entry starts this executable at login: no entry, a hidden or switched-off entry, or one naming a
/// program that is gone are disabled; no configuration folder is unavailable.
LaunchAtLoginStatus status(const std::optional<std::filesystem::path> &entryFile,
                           const std::filesystem::path &executable);

/// Writes the entry (atomically) so that it starts the executable; throws with the sentence shown to the user.
void registerEntry(const std::filesystem::path &entryFile, const std::filesystem::path &executable);
/// Removes the entry; an entry already gone is fine. Throws with the sentence shown to the user.
void unregisterEntry(const std::filesystem::path &entryFile);

/// The entry's "Exec" value for the executable: quoted when the path holds spaces or other reserved characters.
std::string execValue(const std::filesystem::path &executable);
/// The program an "Exec" value names (its first argument, unquoted); nothing when it is malformed.
std::optional<std::filesystem::path> execProgram(const std::string &value);

/// Over the autostart entry of the running executable.
LaunchAtLoginService live();

/// Registers or unregisters so that launching at login is as wanted, then answers the status read again.
/// Throws what registering or unregistering throws.
LaunchAtLoginStatus applyWantedState(const LaunchAtLoginService &service, bool wanted);

} // namespace velto::launchAtLogin
