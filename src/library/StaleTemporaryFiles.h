#pragma once

#include "platform/Date.h"
#include "platform/FileSystem.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

namespace VeltoPageLibrary {

/// How old a temporary file of an atomic write must be before it is taken for the leftover of a write that
/// never finished: a write in progress renames its file within moments.
inline constexpr std::chrono::minutes staleTemporaryFileAge{5};

/// Whether the name is one that an atomic write gives its temporary file: ".page.md.tmp-" or ".velto.tmp-"
/// followed by twelve lower-case hexadecimal digits.
bool isTemporaryFileName(const std::string &name);

/// Whether the name is one that a removal gives a file it takes aside to prove: ".page.md.aside-" or ".velto.aside-"
/// followed by twelve lower-case hexadecimal digits.
bool isAsideFileName(const std::string &name);

/// The file that a temporary or taken-aside file was made beside: "page.md" for ".page.md.tmp-3f2a9c01b2d4"; nothing
/// for the short form ".velto.tmp-3f2a9c01b2d4" of a name too long to take the prefix, which names no file.
std::optional<std::filesystem::path> fileOfHiddenSibling(const std::filesystem::path &sibling);

/// Removes the temporary files of writes that never finished (a process killed between writing and renaming)
/// from the Pages folder, the page folders given (relative paths) and the metadata folders, so that sync clients
/// stop carrying them about. Only files of our own naming that are older than staleTemporaryFileAge by `now`
/// go. One beside page files may hold another program's text instead (the page's previous file, left by a
/// replacement that met that program's change): it goes only while every line it holds is in its page file, as
/// proven at the moment it goes, and is otherwise kept as a conflict copy. A last line without its line break may be
/// a write's text cut off by a kill: where the page's file ends with a line break, or one of its lines begins with
/// it, it is a torn piece that makes no copy. Never fails: a file that cannot be looked at or removed stays. The
/// caller holds the exclusive library lock, so no write of this library is under way.
void removeStaleTemporaryFiles(const std::filesystem::path &folderURL, const std::set<std::string> &pageFolders,
                               velto::Date now, velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
