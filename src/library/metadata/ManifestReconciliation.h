#pragma once

#include "model/DeletionIndex.h"
#include "model/LibraryManifest.h"
#include "model/WriterState.h"

#include <optional>
#include <vector>

namespace VeltoPageLibrary {

/// Folds every writer's journal and the tombstones in force over a base manifest into the one manifest that
/// every writer reading the same files computes alike: per page the causally preferred record, deleted pages
/// removed (their files, when they had content, listed as pending deletions), and the current page and page
/// order of the preferred writer structure; of two records that name one page file only the first in that
/// order stays. Schema 3 with the base's checkpoint. Nothing when no page record
/// survives. Reads and writes no file.
std::optional<velto::VeltoLibraryManifest>
reconciledManifest(const std::optional<velto::VeltoLibraryManifest> &base,
                   const std::vector<velto::VeltoWriterState> &writerStates,
                   const std::vector<velto::VeltoDeletionTombstone> &deletionTombstones);

} // namespace VeltoPageLibrary
