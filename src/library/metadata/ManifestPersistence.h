#pragma once

#include "model/LibraryManifest.h"
#include "model/ReconciliationCheckpoint.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <optional>

namespace VeltoPageLibrary {

/// Writes the manifest to ".velto/manifest.json" in one atomic step, and only when its bytes change, so
/// that a load that changed nothing touches nothing. The ".velto" directory must exist.
void persist(const velto::VeltoLibraryManifest &manifest, const std::filesystem::path &folderURL,
             velto::FileSystem &fileManager = velto::defaultFileSystem());

/// The folder-event position to resume from after a full reconciliation. Linux keeps no history of
/// file-system events that a later process could replay, so there is never one: every load that needs
/// to know what changed meanwhile reconciles the whole folder.
std::optional<velto::VeltoLibraryReconciliationCheckpoint>
currentReconciliationCheckpoint(const std::filesystem::path &folderURL);

} // namespace VeltoPageLibrary
