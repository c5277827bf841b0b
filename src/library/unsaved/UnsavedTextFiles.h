#pragma once

#include "platform/Date.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where typed text goes that could not be saved as a page when Velto quits (a page past the size limit, a Pages folder
// that refuses writes): one plain file per page in a folder of Velto's own, outside the Pages folder, so that the
// library never takes it for a page. The folder also lists the files written since the user was last told of them,
// so that the next launch names each once. The unsaved room calls the removal room only: a file left behind goes
// by its rule.
namespace VeltoPageLibrary {

/// "Shopping list 2026-12-10 17.04.05.md" for a text whose first line is "# Shopping list", kept on 10 December 2026
/// at 17:04:05 UTC; "Untitled …" for a text without words. Never holds a "/" or starts with ".", and never longer than
/// the 255 bytes a file name may have: a long first line is cut between characters.
std::string unsavedTextFileName(std::string_view text, velto::Date keptAt);

/// Writes the text whole into a new file of `folder` (made when missing, and only its owner may look into it) and
/// notes the file to be named; answers the file. A file of the name already there is left as it is: the name gets
/// " 2", " 3", …; a name the file system finds too long gives way to "Untitled …". The file gets the read and write
/// permissions of the page's file (`pagePermissions`), its owner's always. The text is written atomically, so a
/// failure leaves no part of it behind and throws FileSystemError; the file counts as kept only once it is whole.
std::filesystem::path keepUnsavedText(velto::FileSystem &fileSystem, const std::filesystem::path &folder,
                                      std::string_view text, velto::Date keptAt,
                                      std::optional<std::filesystem::perms> pagePermissions = std::nullopt);

/// Brings back what a Velto killed while it kept or took back a text left hidden in `folder`, as files the user finds
/// and the next launch names. A kept file taken aside to be removed goes back to its name, or beside it under the
/// "(kept …)" name where another file has come there. The text of a write that never went into place comes under the
/// name it was written for, or beside a file there under the "(kept …)" name, never over it; it goes only when that
/// file holds every line of it in order and as often, its last line without a line break only where a line of that
/// file begins with it (it may be torn by the kill, or be typed text, which usually ends so). One written for the
/// folder's list of names holds no one's words: the files it names are named, and it goes. Before anything is kept in
/// the folder: a write under way would look left behind. Never fails: what cannot be brought back now stays for a later
/// launch.
void restoreUnsavedTextLeftBehind(velto::FileSystem &fileSystem, const std::filesystem::path &folder);

/// The kept files the user has not been told of yet, oldest first; a noted file that is gone is left out.
std::vector<std::filesystem::path> unsavedTextFilesToName(velto::FileSystem &fileSystem,
                                                          const std::filesystem::path &folder);

/// No longer names the file at the next launch: its text reached a page after all. Other notes stay.
void forgetUnsavedTextFile(velto::FileSystem &fileSystem, const std::filesystem::path &folder,
                           const std::filesystem::path &file);

/// Forgets the notes once the user has been told: the files themselves stay.
void forgetUnsavedTextFilesNamed(velto::FileSystem &fileSystem, const std::filesystem::path &folder);

} // namespace VeltoPageLibrary
