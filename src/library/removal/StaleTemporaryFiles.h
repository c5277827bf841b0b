#pragma once

#include "library/removal/RecordedPageVersions.h"
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
/// go. One beside a page file that holds exactly a text `recorded` for that file is what a killed exchange took out
/// of its place, and goes. Any other may be the only copy of someone's words (the text of a save killed before its
/// exchange, the page's previous file with another program's lines, left by a replacement that met that program's
/// change): it goes only while the page's file holds every line of it in order, as often as it has it, as proven at
/// the moment it goes; a last line without its line break is held only where a line of the page begins with it.
/// Otherwise it is kept as one conflict copy of that page. Never fails: a file that cannot be looked at or removed
/// stays. The caller holds the exclusive library lock, so no write of this library is under way.
void removeStaleTemporaryFiles(const std::filesystem::path &folderURL, const std::set<std::string> &pageFolders,
                               const RecordedPageVersions &recorded, velto::Date now, velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
