#pragma once

#include "library/load/LoadResult.h"
#include "library/load/PageAvailability.h"
#include "model/Document.h"
#include "platform/Date.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <set>
#include <string>

namespace VeltoPageLibrary {

/// Reloads the library after the folder monitor reported changed Markdown files (paths relative to the
/// folder, "/"-separated): the same pipeline as the full load, under the exclusive library lock, with
/// discovery limited to those paths and the pages of `reusing` standing in for files that did not change.
/// A path that cannot be a page file (".velto/manifest.json", "../x.md", "") is ignored. No changed page file
/// path: `reusing` comes back as it is, without touching the folder. No rebuild is ever tried: a
/// library without page records is `missing`, a lost ".velto" directory fails as unreadable. An empty
/// availability operation means the production one. Never throws.
VeltoLibraryLoadResult loadChanges(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                   const velto::VeltoDocument &reusing,
                                   const std::set<std::string> &changedRelativePaths, velto::Date now,
                                   const AvailabilityOperation &availabilityOperation = nullptr);

} // namespace VeltoPageLibrary
