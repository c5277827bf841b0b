#include "library/LoadPipeline.h"

#include "library/ActiveCurrentPage.h"
#include "library/DeletionIndex.h"
#include "library/LoadFailures.h"
#include "library/ManifestPersistence.h"
#include "library/ManifestReading.h"
#include "library/ManifestReconciliation.h"
#include "library/MarkdownDiscovery.h"
#include "library/MissingFileObservations.h"
#include "library/PageFileNaming.h"
#include "library/PageLoading.h"
#include "library/PendingDeletions.h"
#include "library/WriterStates.h"
#include "model/LibraryErrors.h"

#include <map>
#include <vector>

namespace VeltoPageLibrary {

namespace {

using velto::VeltoStoreRecoveryIssue;

/// What one pipeline run was asked to do.
struct PipelineRequest {
    const std::filesystem::path &folderURL;
    velto::FileSystem &fileManager;
    velto::Date now;
    const velto::VeltoDocument *reusing;
    const std::optional<std::set<std::string>> &changedRelativePaths;
    bool allowsLaunchIndex;
    const ReplayOperation &replayOperation;
    const AvailabilityOperation &availabilityOperation;
};

/// The journals, the deletions in force and the missing-file observations, read and tidied.
struct LibraryMetadata {
    std::vector<velto::VeltoWriterState> writerStates;
    std::map<velto::Uuid, velto::VeltoDeletionTombstone> activeTombstones;
    std::map<velto::Uuid, velto::VeltoMissingFileObservation> missingFileObservations;

    std::vector<velto::VeltoDeletionTombstone> activeTombstoneList() const {
        std::vector<velto::VeltoDeletionTombstone> list;
        for (const auto &[pageID, tombstone] : activeTombstones) {
            list.push_back(tombstone);
        }
        return list;
    }
};

VeltoLibraryLoadResult failedWith(VeltoStoreRecoveryIssue::Kind kind, const std::exception_ptr &error) {
    return VeltoLibraryLoadResult::failed(recoveryIssue(kind, error));
}

bool hasUnmanagedPendingDeletion(const velto::VeltoLibraryManifest &manifest) {
    for (const auto &name : manifest.pendingDeletionFileNames) {
        if (!isManagedPageFileName(name)) {
            return true;
        }
    }
    return false;
}

// Steps 4 to 10: every error here means the metadata cannot be trusted.
LibraryMetadata readLibraryMetadata(const std::optional<velto::VeltoLibraryManifest> &manifest,
                                    const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    if (manifest) {
        validatePageRecords(*manifest, folderURL, fileManager);
    }
    auto writerStates = loadWriterStates(folderURL, fileManager);
    auto tombstones = loadLegacyDeletionTombstones(folderURL, fileManager);
    auto canonical = loadCanonicalDeletionTombstones(folderURL, fileManager);
    tombstones.insert(tombstones.end(), canonical.begin(), canonical.end());

    LibraryMetadata metadata;
    metadata.activeTombstones = activeDeletionTombstones(tombstones, writerStates);
    persistCanonicalDeletionIndex(metadata.activeTombstones, folderURL, fileManager);
    metadata.writerStates = compactWriterStates(writerStates, metadata.activeTombstones, folderURL, fileManager);
    metadata.missingFileObservations = loadMissingFileObservations(folderURL, fileManager);
    return metadata;
}

/// Step 14: the Markdown files reconciled, unless the folder's history proves that nothing changed.
/// The second value says whether the launch index stood in for the scan.
std::pair<MarkdownDiscovery, bool> discoveredMarkdown(const PipelineRequest &request,
                                                      const velto::VeltoLibraryManifest &reconciled,
                                                      const LibraryMetadata &metadata) {
    auto discover = [&](const std::optional<std::set<std::string>> &paths) {
        return reconcilingDiscoveredMarkdown(reconciled, request.folderURL, request.fileManager,
                                             metadata.activeTombstones, metadata.missingFileObservations, request.now,
                                             paths, request.availabilityOperation);
    };
    if (!request.allowsLaunchIndex || request.changedRelativePaths || !carriesLaunchIndex(reconciled)) {
        return {discover(request.changedRelativePaths), false};
    }
    auto notification = request.replayOperation(request.folderURL, *reconciled.reconciliationCheckpoint);
    const auto *changedPaths = notification.changedPaths();
    if (changedPaths == nullptr) {
        return {discover(std::nullopt), false};
    }
    if (changedPaths->empty()) {
        return {MarkdownDiscovery{reconciled, {}, {}}, true};
    }
    return {discover(*changedPaths), false};
}

/// Step 15: the page in memory that may stand in for the record's file.
const velto::VeltoPage *reusablePage(const velto::VeltoDocument *reusing, const velto::Uuid &pageID) {
    if (reusing == nullptr) {
        return nullptr;
    }
    if (reusing->currentPage.id == pageID) {
        return &reusing->currentPage;
    }
    for (const auto &page : reusing->pages) {
        if (page.id == pageID) {
            return &page;
        }
    }
    return nullptr;
}

velto::VeltoPage loadedPage(const PipelineRequest &request, const velto::VeltoLibraryPageRecord &record) {
    return loadPage(record, request.folderURL, request.fileManager, true, reusablePage(request.reusing, record.id),
                    request.allowsLaunchIndex, request.availabilityOperation);
}

/// Step 21: what discovery changed, for the store to save.
std::optional<VeltoLibraryStructureRepair> discoveryRepair(const MarkdownDiscovery &discovery) {
    if (discovery.changedPageIDs.empty() && discovery.removedPageIDs.empty()) {
        return std::nullopt;
    }
    VeltoLibraryStructureRepair repair;
    repair.externallyChangedPageIDs = discovery.changedPageIDs;
    repair.externallyRemovedPageIDs = discovery.removedPageIDs;
    return repair;
}

// Steps 12 to 22: every error here is a failure to load what the metadata describes.
VeltoLibraryLoadResult
loadReconciledLibrary(const PipelineRequest &request, const std::optional<velto::VeltoLibraryManifest> &manifestOnDisk,
                      const velto::VeltoLibraryManifest &reconciled, const LibraryMetadata &metadata,
                      const std::optional<velto::VeltoLibraryReconciliationCheckpoint> &checkpoint) {
    // 12.–13.
    if (!manifestOnDisk || !(*manifestOnDisk == reconciled)) {
        persist(reconciled, request.folderURL, request.fileManager);
    }
    removeMigratedLegacyDeletionTombstones(metadata.activeTombstones, request.folderURL, request.fileManager);

    // 14.
    auto [discovery, usedLaunchIndex] = discoveredMarkdown(request, reconciled, metadata);
    const auto &discovered = discovery.manifest;

    // 15.–17.
    velto::VeltoPage currentPage = loadedPage(request, discovered.currentPage);
    std::vector<velto::VeltoPage> pages;
    pages.reserve(discovered.pages.size());
    for (const auto &record : discovered.pages) {
        pages.push_back(loadedPage(request, record));
    }

    // 18.–19.
    auto [document, activePageRepair] = documentWithActiveCurrentPage(std::move(currentPage), std::move(pages));
    document.validate();

    // 20. The launch index, when missing, so that the next launch may skip the scan. A removal waits for the
    // store's save, which writes the manifest anyway.
    if (!usedLaunchIndex && !carriesLaunchIndex(reconciled) && discovery.removedPageIDs.empty()) {
        velto::VeltoLibraryManifest launchIndex;
        launchIndex.schemaVersion = velto::VeltoLibraryManifest::currentSchemaVersion;
        launchIndex.reconciliationCheckpoint = checkpoint;
        launchIndex.currentPage = discovered.currentPage;
        launchIndex.pages = discovered.pages;
        launchIndex.pendingDeletionFileNames = discovered.pendingDeletionFileNames;
        persist(launchIndex, request.folderURL, request.fileManager);
    }

    // 21.–22.
    auto repair = VeltoLibraryStructureRepair::merging(activePageRepair, discoveryRepair(discovery));
    return VeltoLibraryLoadResult::loaded(std::move(document), std::move(repair));
}

} // namespace

bool carriesLaunchIndex(const velto::VeltoLibraryManifest &manifest) {
    if (manifest.schemaVersion != velto::VeltoLibraryManifest::currentSchemaVersion ||
        !manifest.reconciliationCheckpoint) {
        return false;
    }
    auto indexed = [](const velto::VeltoLibraryPageRecord &record) {
        return record.fileSize.has_value() && record.isArchived.has_value();
    };
    if (!indexed(manifest.currentPage)) {
        return false;
    }
    for (const auto &record : manifest.pages) {
        if (!indexed(record)) {
            return false;
        }
    }
    return true;
}

VeltoLibraryLoadResult loadWithoutLock(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                       velto::Date now, const velto::VeltoDocument *reusing,
                                       const std::optional<std::set<std::string>> &changedRelativePaths,
                                       bool allowsLaunchIndex, const ReplayOperation &replayOperation,
                                       const CheckpointOperation &checkpointOperation,
                                       const AvailabilityOperation &availabilityOperation) {
    // 1.
    std::optional<velto::VeltoLibraryManifest> manifest;
    try {
        manifest = loadManifestIfPresent(folderURL, fileManager);
    } catch (...) {
        auto error = std::current_exception();
        return failedWith(manifestFailureKind(error), error);
    }

    // 2. Taken before anything else is read, so that changes made meanwhile are replayed next time.
    auto checkpoint = checkpointOperation(folderURL);

    // 3. Before any metadata file is written.
    if (manifest && hasUnmanagedPendingDeletion(*manifest)) {
        velto::LibraryMetadataError error(velto::LibraryMetadataError::Kind::unsafeDeletionPath);
        return VeltoLibraryLoadResult::failed({VeltoStoreRecoveryIssue::Kind::corrupt, error.what()});
    }

    // 4.–10.
    LibraryMetadata metadata;
    try {
        metadata = readLibraryMetadata(manifest, folderURL, fileManager);
    } catch (...) {
        return failedWith(VeltoStoreRecoveryIssue::Kind::corrupt, std::current_exception());
    }

    // 11.
    auto reconciled = reconciledManifest(manifest, metadata.writerStates, metadata.activeTombstoneList());
    if (!reconciled) {
        return VeltoLibraryLoadResult::missing();
    }

    // 12.–22.
    PipelineRequest request{folderURL,       fileManager,          now,
                            reusing,         changedRelativePaths, allowsLaunchIndex,
                            replayOperation, availabilityOperation};
    try {
        return loadReconciledLibrary(request, manifest, *reconciled, metadata, checkpoint);
    } catch (...) {
        auto error = std::current_exception();
        return failedWith(loadingFailureKind(error), error);
    }
}

} // namespace VeltoPageLibrary
