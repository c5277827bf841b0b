#pragma once

#include "library/load/FolderChangeReplay.h"
#include "library/load/LoadResult.h"
#include "library/load/PageAvailability.h"
#include "library/metadata/ManifestReading.h"
#include "model/Document.h"
#include "model/LibraryManifest.h"
#include "platform/Date.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <optional>
#include <set>
#include <string>

namespace VeltoPageLibrary {

/// Whether the manifest can stand in for a scan of the folder at launch: schema 3, a recorded checkpoint,
/// and every record's file size and archive flag known.
bool carriesLaunchIndex(const velto::VeltoLibraryManifest &manifest);

/// Turns the Pages folder into a document: reads the manifest, folds in every writer's journal and the
/// deletion index, reconciles with the Markdown files present (all, or only `changedRelativePaths`), loads
/// every page and makes the current page active. On the way it writes back what it tidied: the deletion
/// index, compacted journals, the reconciled manifest, missing-file observations and the launch index.
///
/// `reusing` lends pages already in memory that stand in for unchanged files. With `allowsLaunchIndex` a
/// manifest carrying the launch index and a replay that reports nothing changed skip the scan, and
/// archived pages are summarised from their records alone.
///
/// The manifest is always read again here; `readBeforeLocking`, the caller's reading of it before it took the
/// lock, spares decoding it again when its bytes have not changed since.
///
/// The caller holds the folder's exclusive library lock. Never throws: every failure is a failed result.
VeltoLibraryLoadResult loadWithoutLock(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                       velto::Date now, const velto::VeltoDocument *reusing,
                                       const std::optional<std::set<std::string>> &changedRelativePaths,
                                       bool allowsLaunchIndex, const ReplayOperation &replayOperation,
                                       const CheckpointOperation &checkpointOperation,
                                       const AvailabilityOperation &availabilityOperation,
                                       const ReadManifest *readBeforeLocking = nullptr);

} // namespace VeltoPageLibrary
