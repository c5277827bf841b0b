#pragma once

#include "library/SaveRequest.h"
#include "model/LibraryManifest.h"
#include "model/ReconciliationCheckpoint.h"

#include <optional>

namespace VeltoPageLibrary {

/// The base manifest of a save: the manifest found on disk with only what this save changed applied to it
/// (its removals, its changed pages' records, and the current page and order when the save changed them),
/// so that a save never overwrites what other writers recorded meanwhile. The files of removed pages and
/// of pages this save emptied become pending deletions. Without a manifest on disk the document alone,
/// with the given checkpoint. Reads and writes no file.
velto::VeltoLibraryManifest
mergedManifest(const VeltoSaveRequest &request, const std::optional<velto::VeltoLibraryManifest> &existingManifest,
               const std::optional<velto::VeltoLibraryReconciliationCheckpoint> &initialReconciliationCheckpoint);

} // namespace VeltoPageLibrary
