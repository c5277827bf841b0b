#pragma once

#include "model/MissingFileObservation.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

// When a page's file vanishes the library writes down when it first saw it missing, one file per page in
// ".velto/missing-files", and drops the page only once the file has stayed away for a while: a file that a
// sync is replacing is gone only for a moment.
namespace VeltoPageLibrary {

/// ".velto/missing-files" of the folder.
std::filesystem::path missingFilesDirectory(const std::filesystem::path &folderURL);

/// One observation's text decoded.
velto::VeltoMissingFileObservation decodeMissingFileObservation(const std::string &text);

/// Every observation by page; of two files naming one page, the earlier first sighting wins. Empty when the
/// directory does not exist; a file that cannot be read or decoded is thrown.
std::map<velto::Uuid, velto::VeltoMissingFileObservation>
loadMissingFileObservations(const std::filesystem::path &folderURL,
                            velto::FileSystem &fileManager = velto::defaultFileSystem());

/// Writes each observation to its page's file ("<page id in lower case>.json"), replacing an older one. The
/// first failure is thrown; the files written before it stay. Creates nothing for an empty list.
void persistMissingFileObservations(const std::vector<velto::VeltoMissingFileObservation> &observations,
                                    const std::filesystem::path &folderURL,
                                    velto::FileSystem &fileManager = velto::defaultFileSystem());

/// Removes the page's observation file; a missing file or any other failure is ignored.
void removeMissingFileObservation(const velto::Uuid &pageID, const std::filesystem::path &folderURL,
                                  velto::FileSystem &fileManager = velto::defaultFileSystem()) noexcept;

} // namespace VeltoPageLibrary
