#include "library/load/IncrementalLoad.h"

#include "library/folder/LibraryLock.h"
#include "library/folder/PageFileNaming.h"
#include "library/load/FolderChangeReplay.h"
#include "library/load/LoadFailures.h"
#include "library/load/LoadPipeline.h"

namespace VeltoPageLibrary {

namespace {

/// The changed paths that may be page files. The monitor also reports the library's own metadata and
/// whatever else changes in the folder; such a path is no page and must not fail the load.
std::optional<std::set<std::string>> changedPageFilePaths(const std::set<std::string> &changedRelativePaths) {
    std::set<std::string> paths;
    for (const auto &path : changedRelativePaths) {
        if (isManagedPageFileName(path)) {
            paths.insert(path);
        }
    }
    return paths;
}

} // namespace

VeltoLibraryLoadResult loadChanges(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                   const velto::VeltoDocument &reusing,
                                   const std::set<std::string> &changedRelativePaths, velto::Date now,
                                   const AvailabilityOperation &availabilityOperation) {
    auto paths = changedPageFilePaths(changedRelativePaths);
    if (paths->empty()) {
        return VeltoLibraryLoadResult::loaded(reusing);
    }
    try {
        return withLibraryLocks({folderURL}, LibraryLockMode::exclusive, [&] {
            return loadWithoutLock(folderURL, fileManager, now, &reusing, paths, false, productionReplay(),
                                   productionCheckpoint(),
                                   availabilityOperation ? availabilityOperation : productionAvailability());
        });
    } catch (...) {
        auto error = std::current_exception();
        auto kind = isPassingCondition(error) ? velto::VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable
                                              : velto::VeltoStoreRecoveryIssue::Kind::unreadable;
        return VeltoLibraryLoadResult::failed(recoveryIssue(kind, error));
    }
}

} // namespace VeltoPageLibrary
