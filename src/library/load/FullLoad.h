#pragma once

#include "library/folder/IOObservation.h"
#include "library/load/FolderChangeReplay.h"
#include "library/load/LoadResult.h"
#include "library/load/PageAvailability.h"
#include "platform/Clock.h"
#include "platform/Date.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <memory>

// The load room owns reading a Pages folder into a document: discovering its Markdown files, loading and
// summarising pages, reconciling them with the metadata, the loads after a change on disk, the files passed over,
// rebuilding metadata that cannot serve, and the load's result and the sentence of its failure. It calls the rooms
// below it (folder, metadata, removal, which tidies what a killed write left as the load goes) and, to adopt what a
// killed copy left, the copy room; it never writes a page file's text.
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
