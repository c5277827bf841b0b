#include "library/IncrementalLoad.h"

#include "library/FolderChangeReplay.h"
#include "library/LibraryLock.h"
#include "library/LoadFailures.h"
#include "library/LoadPipeline.h"

namespace VeltoPageLibrary {

VeltoLibraryLoadResult loadChanges(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                   const velto::VeltoDocument &reusing,
                                   const std::set<std::string> &changedRelativePaths, velto::Date now,
                                   const AvailabilityOperation &availabilityOperation) {
    if (changedRelativePaths.empty()) {
        return VeltoLibraryLoadResult::loaded(reusing);
    }
    std::optional<std::set<std::string>> paths = changedRelativePaths;
    try {
        return withLibraryLocks({folderURL}, LibraryLockMode::exclusive, [&] {
            return loadWithoutLock(folderURL, fileManager, now, &reusing, paths, false, productionReplay(),
                                   productionCheckpoint(),
                                   availabilityOperation ? availabilityOperation : productionAvailability());
        });
    } catch (...) {
        return VeltoLibraryLoadResult::failed(
            recoveryIssue(velto::VeltoStoreRecoveryIssue::Kind::unreadable, std::current_exception()));
    }
}

} // namespace VeltoPageLibrary
