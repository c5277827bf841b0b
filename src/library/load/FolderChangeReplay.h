#pragma once

#include "model/ReconciliationCheckpoint.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <variant>

/// What changed in a Pages folder since a known point: the Markdown paths relative to the folder ("/"-separated,
/// possibly none), or a demand to look at the whole folder again.
struct VeltoFolderChangeNotification {
    struct FullRescan {
        friend bool operator==(const FullRescan &, const FullRescan &) = default;
    };

    std::variant<std::set<std::string>, FullRescan> value = FullRescan{};

    static VeltoFolderChangeNotification paths(std::set<std::string> relativePaths) {
        return {std::move(relativePaths)};
    }
    static VeltoFolderChangeNotification fullRescan() { return {FullRescan{}}; }

    /// The changed paths; nullptr for a full rescan.
    const std::set<std::string> *changedPaths() const { return std::get_if<std::set<std::string>>(&value); }

    friend bool operator==(const VeltoFolderChangeNotification &, const VeltoFolderChangeNotification &) = default;
};

namespace VeltoPageLibrary {

/// Tells what changed in the folder since the checkpoint. The full load takes one so that tests can stand in
/// for a folder history that proves nothing (or only some files) changed.
using ReplayOperation = std::function<VeltoFolderChangeNotification(
    const std::filesystem::path &folderURL, const velto::VeltoLibraryReconciliationCheckpoint &checkpoint)>;

/// Takes the folder's current checkpoint, or none when there is no history to resume from.
using CheckpointOperation =
    std::function<std::optional<velto::VeltoLibraryReconciliationCheckpoint>(const std::filesystem::path &folderURL)>;

/// The replay of the folder's change history since the checkpoint. Linux keeps no history of file-system
/// events that a later process could read back, so nothing can prove that a folder stayed unchanged: the
/// answer is always a full rescan. A checkpoint written on another machine is thereby never trusted either.
VeltoFolderChangeNotification replayFolderChanges(const std::filesystem::path &folderURL,
                                                  const velto::VeltoLibraryReconciliationCheckpoint &checkpoint);

/// replayFolderChanges, as the operation production callers pass.
const ReplayOperation &productionReplay();

/// currentReconciliationCheckpoint, as the operation production callers pass.
const CheckpointOperation &productionCheckpoint();

} // namespace VeltoPageLibrary
