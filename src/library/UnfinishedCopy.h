#pragma once

#include "model/Document.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <string>

// A copy writes a whole library into a folder; a process killed on the way leaves page files, journals and a
// deletion index there, but no manifest, and the folder would be refused by every later copy. Before it writes,
// a copy leaves a note in ".velto" naming the page files it is about to write, and takes it away once its manifest
// is written. A later copy that finds the note knows an unfinished copy of Velto's own, and clears it instead of
// refusing the folder.
namespace VeltoPageLibrary {

/// The note's name in ".velto".
inline constexpr const char *unfinishedCopyNoteName = "unfinished-copy.json";

/// Whether ".velto" may hold the entry in a folder that holds no library: the lock file, which a writer that only
/// locked leaves behind, or the temporary file of a write that never finished.
bool isLeftWithoutLibrary(const std::string &metadataEntryName);

/// Whether the folder holds a copy that never returned: its note is there, with or without the manifest. Never
/// fails: a folder that cannot be looked at holds none.
bool holdsUnfinishedCopy(const std::filesystem::path &folderURL, velto::FileSystem &fileManager);

/// Leaves the note naming the page files the copy of `document` writes into the folder.
void noteUnfinishedCopy(const velto::VeltoDocument &document, const std::filesystem::path &folderURL,
                        velto::FileSystem &fileManager);

/// The copy's manifest is written: the note goes.
void finishCopy(const std::filesystem::path &folderURL, velto::FileSystem &fileManager);

/// A library loaded as the user's own is no unfinished copy any more, whatever a copy killed on its way left: its
/// note goes, so that a later copy never clears it. Never fails: a note that stays is taken away by the next load.
void adoptUnfinishedCopy(const std::filesystem::path &folderURL, velto::FileSystem &fileManager);

/// Takes out what an unfinished copy wrote: the page files the note names that still carry the noted page, with
/// the temporary files of their writes, then everything in ".velto" but its lock file, the note last. The caller
/// holds the folder's exclusive library lock. Errors are thrown; what could not be removed stays noted.
void clearUnfinishedCopy(const std::filesystem::path &folderURL, velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
