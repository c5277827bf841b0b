#pragma once

#include "library/save/SaveRequest.h"
#include "model/LibraryManifest.h"
#include "model/ReconciliationCheckpoint.h"

#include <optional>

#include <map>
#include <memory>
#include <string>

namespace VeltoPageLibrary {

/// The records of the request's changed pages that its document holds, by page; of two pages with one
/// identifier the later in document order speaks. Only these records are made: making a record checksums
/// the page's whole text, which for a full library is megabytes per save.
/// `writtenTexts`, when given, hold the persisted file text a save wrote for some of these pages, which their
/// records are made from instead of making the text again. Their checksums resume from the checkpoints of
/// the request's expected baselines; `checkpointsMade`, when given, receives those of the texts hashed now.
using ChangedPageRecords = std::map<velto::Uuid, velto::VeltoLibraryPageRecord>;
using ChecksumCheckpointsByPage = std::map<velto::Uuid, std::shared_ptr<const velto::ContentChecksumCheckpoints>>;
ChangedPageRecords changedPageRecords(const VeltoSaveRequest &request,
                                      const std::map<velto::Uuid, velto::WrittenFileText> *writtenTexts = nullptr,
                                      ChecksumCheckpointsByPage *checkpointsMade = nullptr);

/// The base manifest of a save: the manifest found on disk with only what this save changed applied to it
/// (its removals, its changed pages' records, and the current page and order when the save changed them),
/// so that a save never overwrites what other writers recorded meanwhile. The files of removed pages and
/// of pages this save emptied become pending deletions. Without a manifest on disk the document alone,
/// with the given checkpoint. `changedRecords`, when given, are changedPageRecords(request) made earlier.
/// Reads and writes no file.
velto::VeltoLibraryManifest
mergedManifest(const VeltoSaveRequest &request, const std::optional<velto::VeltoLibraryManifest> &existingManifest,
               const std::optional<velto::VeltoLibraryReconciliationCheckpoint> &initialReconciliationCheckpoint,
               const ChangedPageRecords *changedRecords = nullptr);

} // namespace VeltoPageLibrary
