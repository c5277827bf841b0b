#pragma once

#include <filesystem>
#include <optional>

// Who may read a file Velto writes beside the user's own: a copy of a private page's text stays as private as the
// page.
namespace velto {

/// The file's permission bits (links followed); nothing when the file is not there or cannot be looked at.
std::optional<std::filesystem::perms> filePermissions(const std::filesystem::path &path);

/// Gives the file or folder exactly these permission bits; FileSystemError when it cannot.
void setFilePermissions(const std::filesystem::path &path, std::filesystem::perms permissions);

} // namespace velto
