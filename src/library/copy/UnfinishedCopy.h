#pragma once

#include "model/Document.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <map>
#include <set>
#include <string>

// A copy writes a whole library into a folder; a process killed on the way leaves page files, journals and a
// deletion index there, but no manifest, and the folder would be refused by every later copy. Before it writes,
// a copy leaves a note in ".velto" naming each file it is about to write with the checksum of the bytes it writes
// there, and takes the note away once its manifest is written. A later copy that finds the note clears what the
// unfinished copy wrote instead of refusing the folder: a file goes only when its bytes prove it the copy's, so
// that a page the user edited by hand since is never taken for the copy's.
namespace VeltoPageLibrary {

/// The note's name in ".velto".
inline constexpr const char *unfinishedCopyNoteName = "unfinished-copy.json";

/// What a copy writes into the folder: each file by its path relative to the folder ("2026-01-05-a1b2c3d4.md",
/// ".velto/manifest.json"), with the SHA-256 of every content it writes there (a manifest may be written twice).
struct UnfinishedCopyNote {
    std::map<std::string, std::set<std::string>> checksumsByFile;

    /// Adds the checksum of `bytes` for the file; whether it was new.
    bool add(const std::string &relativePath, std::string_view bytes);
};

/// Whether ".velto" may hold the entry in a folder that holds no library: the lock file, which a writer that only
/// locked leaves behind, or the temporary file of a write that never finished.
bool isLeftWithoutLibrary(const std::string &metadataEntryName);

/// Whether the folder holds a copy that never returned: its note is there, with or without the manifest. Never
/// fails: a folder that cannot be looked at holds none.
bool holdsUnfinishedCopy(const std::filesystem::path &folderURL, velto::FileSystem &fileManager);

/// The note of a copy of `document`: the page files it writes, each with the checksum of its text.
UnfinishedCopyNote unfinishedCopyNote(const velto::VeltoDocument &document);

/// Leaves the note in the folder's ".velto", replacing the one there.
void noteUnfinishedCopy(const UnfinishedCopyNote &note, const std::filesystem::path &folderURL,
                        velto::FileSystem &fileManager);

/// The copy's manifest is written: the note goes.
void finishCopy(const std::filesystem::path &folderURL, velto::FileSystem &fileManager);

/// A library loaded as the user's own is no unfinished copy any more, whatever a copy killed on its way left: its
/// note goes, so that a later copy never clears it. Never fails: a note that stays is taken away by the next load.
void adoptUnfinishedCopy(const std::filesystem::path &folderURL, velto::FileSystem &fileManager);

/// Takes out what an unfinished copy wrote: the noted files that hold exactly what the copy wrote there, the
/// temporary files of its writes and the folders it made in ".velto", the note last. A noted file that holds
/// anything else, one the note gives no checksum for (a note of an earlier version names its page files
/// without), and anything in ".velto" the note does not name, are not proven the copy's: then nothing is removed,
/// and VeltoLibraryConnectionError::unfinishedCopyChanged names them. The caller holds the folder's exclusive
/// library lock. Other errors are thrown; what could not be removed stays noted.
void clearUnfinishedCopy(const std::filesystem::path &folderURL, velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
