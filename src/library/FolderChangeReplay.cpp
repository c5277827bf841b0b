#include "library/FolderChangeReplay.h"

#include "library/ManifestPersistence.h"

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
