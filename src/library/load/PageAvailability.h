#pragma once

#include "platform/FileSystem.h"

#include <filesystem>
#include <functional>

/// The state of one page file.
enum class VeltoPageFileAvailability {
    available,              // the file exists and can be read now
    temporarilyUnavailable, // the file exists but its content is still on its way (a sync in progress)
    missing,                // there is no file at the path
};

namespace VeltoPageLibrary {

/// Asks about one page file. Loads, discovery and the rebuild take one, so that tests can stand in for
/// a cloud folder whose files are still downloading.
using AvailabilityOperation =
    std::function<VeltoPageFileAvailability(const std::filesystem::path &fileURL, velto::FileSystem &fileManager)>;

/// `missing` when no file is at the path, else `available`: Linux folders have no download state, so a
/// file that exists can be read.
VeltoPageFileAvailability fileAvailability(const std::filesystem::path &fileURL,
                                           velto::FileSystem &fileManager = velto::defaultFileSystem());

/// The availability operation that production callers use: fileAvailability.
const AvailabilityOperation &productionAvailability();

} // namespace VeltoPageLibrary
