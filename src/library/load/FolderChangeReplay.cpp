#include "library/load/FolderChangeReplay.h"

#include "library/metadata/ManifestPersistence.h"

namespace VeltoPageLibrary {

VeltoFolderChangeNotification replayFolderChanges(const std::filesystem::path &,
                                                  const velto::VeltoLibraryReconciliationCheckpoint &) {
    return VeltoFolderChangeNotification::fullRescan();
}

const ReplayOperation &productionReplay() {
    static const ReplayOperation operation = replayFolderChanges;
    return operation;
}

const CheckpointOperation &productionCheckpoint() {
    static const CheckpointOperation operation = currentReconciliationCheckpoint;
    return operation;
}

} // namespace VeltoPageLibrary
