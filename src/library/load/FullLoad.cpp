#include "library/load/FullLoad.h"

#include "library/copy/UnfinishedCopy.h"
#include "library/folder/ConcurrentWork.h"
#include "library/folder/LibraryFolder.h"
#include "library/folder/LibraryLock.h"
#include "library/load/FolderObstacles.h"
#include "library/load/LoadFailures.h"
#include "library/load/LoadPipeline.h"
#include "library/load/MetadataRebuild.h"
#include "library/load/PageFilesFetchedAhead.h"
#include "library/metadata/ManifestReading.h"
#include "library/metadata/WriterStates.h"
#include "model/LibraryErrors.h"

#include <future>

namespace VeltoPageLibrary {

namespace {

/// Whether something is at the path; a path whose status cannot even be read counts as present, so that
/// reading it reports why.
bool somethingExists(const std::filesystem::path &path, velto::FileSystem &fileManager) {
    try {
        return fileManager.status(path, false).has_value();
    } catch (const velto::FileSystemError &) {
        return true;
    }
}

/// A manifest that cannot be used decides the road before the lock is taken; nothing when the
/// manifest reads and decodes, and then `reading` holds what was read.
std::optional<VeltoLibraryLoadResult> roadForUnusableManifest(const std::filesystem::path &folderURL,
                                                              velto::FileSystem &fileManager, velto::Date now,
                                                              const CheckpointOperation &checkpointOperation,
                                                              std::optional<ReadManifest> &reading) {
    try {
        reading = readManifestIfPresent(folderURL, fileManager);
        return std::nullopt;
    } catch (const velto::UnsupportedManifestSchemaError &) {
        // A newer library is never overwritten.
        return VeltoLibraryLoadResult::failed(
            recoveryIssue(velto::VeltoStoreRecoveryIssue::Kind::corrupt, std::current_exception()));
    } catch (const velto::ManifestReadError &error) {
        // Bytes that cannot be had are no damage: the manifest stays where it is, and the user learns why.
        return VeltoLibraryLoadResult::failed({velto::VeltoStoreRecoveryIssue::Kind::unreadable, error.what()});
    } catch (...) {
        auto error = std::current_exception();
        if (containsMarkdownFiles(folderURL, fileManager)) {
            return rebuildLibraryMetadata(folderURL, fileManager, now, true, checkpointOperation);
        }
        return VeltoLibraryLoadResult::failed(
            recoveryIssue(velto::VeltoStoreRecoveryIssue::Kind::corrupt,
                          std::make_exception_ptr(MetadataFileError(manifestURL(folderURL), error))));
    }
}

VeltoLibraryLoadResult lockedLoad(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                  velto::Date now, const AvailabilityOperation &availabilityOperation,
                                  const ReplayOperation &replayOperation,
                                  const CheckpointOperation &checkpointOperation,
                                  const std::optional<ReadManifest> &readBeforeLocking) {
    try {
        return withLibraryLocks({folderURL}, LibraryLockMode::exclusive, [&] {
            auto result = loadWithoutLock(folderURL, fileManager, now, nullptr, std::nullopt, !availabilityOperation,
                                          replayOperation ? replayOperation : productionReplay(),
                                          checkpointOperation ? checkpointOperation : productionCheckpoint(),
                                          availabilityOperation ? availabilityOperation : productionAvailability(),
                                          readBeforeLocking ? &*readBeforeLocking : nullptr);
            if (result.asLoaded() != nullptr) {
                adoptUnfinishedCopy(folderURL, fileManager);
            }
            return result;
        });
    } catch (...) {
        auto error = std::current_exception();
        auto kind = isPassingCondition(error) ? velto::VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable
                                              : velto::VeltoStoreRecoveryIssue::Kind::unreadable;
        return VeltoLibraryLoadResult::failed(recoveryIssue(kind, error));
    }
}

/// The road of the load: a rebuild, a refusal, or the load under the lock.
VeltoLibraryLoadResult loadByRoad(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                  velto::Date now, const AvailabilityOperation &availabilityOperation,
                                  const ReplayOperation &replayOperation,
                                  const CheckpointOperation &checkpointOperation) {
    // Every road reads the page files; the disk fetches them meanwhile. Leaving this function waits until all
    // were asked for.
    std::future<void> pageFilesFetchedAhead = fetchMarkdownFilesAhead(folderURL, fileManager);

    // Without any metadata the folder is rebuilt from its Markdown files, or holds no library.
    bool hasManifest = somethingExists(manifestURL(folderURL), fileManager);
    bool hasWriters = somethingExists(writersDirectory(folderURL), fileManager);
    if (!hasManifest && !hasWriters) {
        if (containsMarkdownFiles(folderURL, fileManager)) {
            return rebuildLibraryMetadata(folderURL, fileManager, now, false, checkpointOperation);
        }
        return VeltoLibraryLoadResult::missing();
    }

    // The journals are decoded on another thread while the manifest is read and checked: in a large library
    // both are megabytes of JSON, and a launch reads no page before it has them. The load reads the journals as
    // before and takes the decoded value of each file that did not change meanwhile. Leaving this function
    // waits for that thread.
    std::future<void> journalsDecodedAhead;
    if (hasWriters && mayWorkConcurrently(fileManager)) {
        journalsDecodedAhead = std::async(
            std::launch::async, [&folderURL, &fileManager] { decodeWriterStatesAhead(folderURL, fileManager); });
    }

    // The manifest read before the lock is taken.
    std::optional<ReadManifest> readBeforeLocking;
    if (hasManifest) {
        if (auto road = roadForUnusableManifest(folderURL, fileManager, now, checkpointOperation, readBeforeLocking)) {
            return *road;
        }
    }

    // The load under the lock; a folder without a library but with Markdown files gets one.
    auto result = lockedLoad(folderURL, fileManager, now, availabilityOperation, replayOperation, checkpointOperation,
                             readBeforeLocking);
    if (result.isMissing() && containsMarkdownFiles(folderURL, fileManager)) {
        return rebuildLibraryMetadata(folderURL, fileManager, now, false, checkpointOperation);
    }
    return result;
}

} // namespace

VeltoLibraryLoadResult load(const std::filesystem::path &folderURL, velto::FileSystem &fileManager, velto::Date now,
                            const AvailabilityOperation &availabilityOperation, const ReplayOperation &replayOperation,
                            const CheckpointOperation &checkpointOperation,
                            std::shared_ptr<VeltoLibraryIOObserver> ioObserver) {
    // The observer of this load's reads and writes.
    VeltoLibraryIOObservation::Binding binding(std::move(ioObserver));

    // A folder that cannot hold a library, or that Velto cannot write in, is named for what is wrong with it before
    // anything is read or written: a load refused for it changes nothing.
    if (auto obstacle = metadataEntryObstacle(folderURL, fileManager)) {
        return VeltoLibraryLoadResult::failed(*obstacle);
    }
    if (auto obstacle = readOnlyFolderObstacle(folderURL, fileManager)) {
        return VeltoLibraryLoadResult::failed(*obstacle);
    }
    return loadByRoad(folderURL, fileManager, now, availabilityOperation, replayOperation, checkpointOperation);
}

} // namespace VeltoPageLibrary
