#pragma once

#include "library/folder/PageFileLocation.h"
#include "library/load/LoadResult.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <optional>

namespace VeltoPageLibrary {

/// Why an entry of the Pages folder that is named like a page file is not read as one, for the notice that names
/// the files a load could not read: a named pipe, socket or device; a symbolic link that leads outside the folder,
/// round in a loop or nowhere; a name that is not UTF-8 (the metadata is JSON and cannot record it). The entry is
/// left as it is and never followed out of the folder. Nothing for a regular file with a UTF-8 name, a folder, a
/// link to a file inside the folder (discovered under its own name) and an entry gone since it was listed. The
/// path named is the entry's, with bytes that are not UTF-8 shown as replacement characters.
std::optional<VeltoUnreadablePageFile> passedOverEntry(const velto::DirectoryEntry &entry,
                                                       const std::filesystem::path &folderURL,
                                                       const PageURLResolver &pageURLs, velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
