#pragma once

#include "platform/FileSystem.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace VeltoPageLibrary {

/// The file inside the folder whose relative path is canonically equal to the given one, for names that
/// are not found byte for byte: a folder synced from another platform may spell "Café.md" with a decomposed
/// "é" while the metadata holds the composed one. Each missing component is matched against its directory's
/// entries; entries whose names are not valid UTF-8 are never matched. The exact path when it exists;
/// nothing when no entry matches or a directory cannot be listed.
std::optional<std::filesystem::path> canonicallyMatchingFileURL(const std::filesystem::path &folderURL,
                                                                std::string_view relativePath,
                                                                velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
