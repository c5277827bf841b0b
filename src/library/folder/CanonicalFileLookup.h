#pragma once

#include "platform/FileSystem.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace VeltoPageLibrary {

/// The relative path as the folder spells it: a folder synced from another platform may hold "Café.md" with
/// a decomposed "é" while the metadata holds the composed one. From the folder down, each component that is
/// not there byte for byte is replaced by a canonically equal entry of its directory; from the first
/// component without one (a file or folder not made yet) the rest stays as written. Names that are not valid
/// UTF-8, on either side, never match; a directory that cannot be listed matches nothing.
///
/// "Cafe\u0301/new.md" for "Café/new.md" when only the folder "Cafe\u0301" exists.
std::string canonicallyMatchingRelativePath(const std::filesystem::path &folderURL, std::string_view relativePath,
                                            velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
