#pragma once

#include "library/FolderChangeReplay.h"
#include "library/IOObservation.h"
#include "library/LoadResult.h"
#include "library/PageAvailability.h"
#include "platform/Clock.h"
#include "platform/Date.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <memory>

namespace VeltoPageLibrary {

/// Opens any Pages folder: a library loads under the exclusive library lock; a folder of Markdown files
/// without usable metadata is rebuilt into a library (a manifest that does not decode is kept under a
/// recovery name); a folder without either is `missing`, and nothing is created in it. A manifest of a
/// newer format is refused and a manifest that cannot be read is reported, both without writing anything.
///
/// The optional operations stand in for the production ones (an empty function means the production one):
/// a given availability operation also keeps the launch index from replacing the scan. The observer, when
/// given, counts the load's reads, including any rebuild. Never throws: every outcome is a result.
VeltoLibraryLoadResult
load(const std::filesystem::path &folderURL, velto::FileSystem &fileManager = velto::defaultFileSystem(),
     velto::Date now = velto::systemClock().now(), const AvailabilityOperation &availabilityOperation = nullptr,
     const ReplayOperation &replayOperation = nullptr, const CheckpointOperation &checkpointOperation = nullptr,
     std::shared_ptr<VeltoLibraryIOObserver> ioObserver = nullptr);

} // namespace VeltoPageLibrary
