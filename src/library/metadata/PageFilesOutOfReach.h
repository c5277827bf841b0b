#pragma once

#include "model/LibraryErrors.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <set>
#include <string>
#include <vector>

// Names that the metadata keeps of files it no longer holds as pages: the deleted pages' names in the deletion
// records and the manifest's pending deletions. Such a name may come to lead, through a symbolic link another
// program or the user made on disk, out of the Pages folder, round in a loop or to nothing. The record stays sound
// (the page stays deleted); only that one file cannot be had, so it is named once to the user with its reason and
// left out of what the load and the saves do with files, while they go on for every other name.
namespace VeltoPageLibrary {

/// The files of the names that cannot be had through the links on disk now, each as the PageFileError::unreadable
/// that pageFileURL names it with ("It lies in a folder that is a symbolic link to a place outside the Pages
/// folder.", …), in the order of the names. A name that is not a managed page file name is passed over: the metadata's
/// own checks refuse it. The folder's own links are resolved once, and a name only costs a second look when a link
/// is on its way or at its end.
std::vector<velto::PageFileError> pageFilesOutOfReach(const std::set<std::string> &names,
                                                      const std::filesystem::path &folderURL,
                                                      velto::FileSystem &fileManager = velto::defaultFileSystem());

} // namespace VeltoPageLibrary
