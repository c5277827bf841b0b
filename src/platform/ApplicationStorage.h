#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Where the application keeps its own files in the user's home, following the XDG base directories.
namespace velto::applicationStorage {

/// The user's data folder: $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share.
/// Empty when neither can be found (no home folder), so callers never write relative to the working folder.
std::filesystem::path userDataDirectory();

/// The same rule with the two environment values given, for callers and tests that do not read the environment.
std::filesystem::path userDataDirectory(std::string_view xdgDataHome, std::string_view home);

/// The name of the application's folder inside the user's data folder: the bundle's name when it is exactly
/// one plain path component, else "Velto" (so "../x", "a/b" or "/abs" can never move the Pages folder out of the
/// user's data folder).
std::string applicationFolderName(std::string_view bundleFolderName = {});

/// The folder name this process's bundle gives under "VeltoApplicationSupportDirectory" ("Velto" when it gives
/// none or one that is not a single path component). Read once.
const std::string &applicationSupportDirectoryName();

/// "~/.local/share/Velto/Pages" for a user without XDG_DATA_HOME, with the bundle's folder name. Creates nothing.
std::filesystem::path defaultPagesFolder();

/// The same with the folder name given.
std::filesystem::path defaultPagesFolder(std::string_view bundleFolderName);

/// "~/.local/share/Velto/Unsaved Text": where text that could not be saved as a page is kept when Velto quits, beside
/// the default Pages folder but never inside a Pages folder. Empty without a home folder. Creates nothing.
std::filesystem::path unsavedTextFolder();

} // namespace velto::applicationStorage
