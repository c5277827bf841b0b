#include "library/load/LoadPipeline.h"

#include "library/folder/ConcurrentWork.h"
#include "library/folder/PageFileLocation.h"
#include "library/folder/PageFileNaming.h"
#include "library/load/ActiveCurrentPage.h"
#include "library/load/LoadFailures.h"
#include "library/load/MarkdownDiscovery.h"
#include "library/load/PageLoading.h"
#include "library/metadata/DeletionIndex.h"
#include "library/metadata/ManifestPersistence.h"
#include "library/metadata/ManifestReading.h"
#include "library/metadata/ManifestReconciliation.h"
#include "library/metadata/MissingFileObservations.h"
#include "library/metadata/PageFilesOutOfReach.h"
#include "library/metadata/WriterStates.h"
#include "library/removal/PendingDeletions.h"
#include "library/removal/StaleTemporaryFiles.h"
#include "model/LibraryErrors.h"
#include "model/PageIndex.h"

#include <cerrno>
#include <map>
#include <mutex>
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
    /// The files of deleted pages that a link on disk keeps out of reach, named by the load.
    std::vector<velto::PageFileError> deletedPageFilesOutOfReach;

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

/// Writes a manifest that the load derived from what is on disk; on a full device it waits for a later load or
/// save, which derives and writes it again: the library loads all the same.
void persistDerivedManifest(const velto::VeltoLibraryManifest &manifest, const std::filesystem::path &folderURL,
                            velto::FileSystem &fileManager) {
    try {
        persist(manifest, folderURL, fileManager);
    } catch (const velto::FileSystemError &error) {
        if (error.code() != ENOSPC && error.code() != EDQUOT) {
            throw;
        }
    }
}

/// The folders below the Pages folder that hold recorded page files, relative to it.
std::set<std::string> pageFolders(const velto::VeltoLibraryManifest &manifest) {
    std::set<std::string> folders;
    folders.insert(std::filesystem::path(pageFileName(manifest.currentPage)).parent_path().generic_string());
    for (const auto &record : manifest.pages) {
        folders.insert(std::filesystem::path(pageFileName(record)).parent_path().generic_string());
    }
    return folders;
}

bool hasUnmanagedPendingDeletion(const velto::VeltoLibraryManifest &manifest) {
    for (const auto &name : manifest.pendingDeletionFileNames) {
        if (!isManagedPageFileName(name)) {
            return true;
        }
    }
    return false;
}

/// The names the metadata keeps of deleted pages' files: the tombstones' in force and the manifest's pending ones.
std::set<std::string> deletedPageFileNames(const std::optional<velto::VeltoLibraryManifest> &manifest,
                                           const std::map<velto::Uuid, velto::VeltoDeletionTombstone> &tombstones) {
    std::set<std::string> names;
    for (const auto &[pageID, tombstone] : tombstones) {
        names.insert(tombstone.relativeFilePath);
    }
    if (manifest) {
        names.insert(manifest->pendingDeletionFileNames.begin(), manifest->pendingDeletionFileNames.end());
    }
    return names;
}

// Every error here means the metadata cannot be trusted.
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
    persistCanonicalDeletionIndex(metadata.activeTombstones, folderURL, fileManager, writerStates);
    metadata.writerStates =
        compactWriterStates(std::move(writerStates), metadata.activeTombstones, folderURL, fileManager);
    metadata.missingFileObservations = loadMissingFileObservations(folderURL, fileManager);
    metadata.deletedPageFilesOutOfReach =
        pageFilesOutOfReach(deletedPageFileNames(manifest, metadata.activeTombstones), folderURL, fileManager);
    return metadata;
}

/// The Markdown files reconciled, unless the folder's history proves that nothing changed.
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
        return {MarkdownDiscovery{reconciled, {}, {}, {}, {}}, true};
    }
    return {discover(*changedPaths), false};
}

/// The page built from the text that discovery read from the record's file a moment ago, under the same
/// lock; nothing when discovery did not read it as this record describes it.
std::optional<velto::VeltoPage> pageFromDiscoveredText(const velto::VeltoLibraryPageRecord &record,
                                                       MarkdownDiscovery &discovery) {
    auto discovered = discovery.discoveredTexts.find(record.id);
    if (discovered == discovery.discoveredTexts.end() || !record.hasContent || record.isArchived.value_or(false) ||
        discovered->second.relativePath != pageFileName(record) ||
        discovered->second.contentChecksum != record.contentChecksum) {
        return std::nullopt;
    }
    // Each record has its own entry, so pages loaded side by side never move the same text.
    return record.page(velto::VeltoPageContent::loaded(std::move(discovered->second.content)));
}

/// Whether the record's file is among the changed paths of an incremental load and lies behind a link out of the
/// folder or round in a loop (its own, or a folder's on its way): a folder of pages replaced by such a link.
bool isChangedPageFileBehindLink(const PipelineRequest &request, const velto::VeltoLibraryPageRecord &record) {
    if (!request.changedRelativePaths.has_value() || !record.hasContent) {
        return false;
    }
    const std::string name = pageFileName(record);
    if (!request.changedRelativePaths->contains(name)) {
        return false;
    }
    try {
        pageFileURL(name, request.folderURL, request.fileManager);
        return false;
    } catch (const velto::PageFileError &) {
        return true;
    }
}

/// A page and, when the load hashed the file text it holds, that text's checksum.
struct LoadedPage {
    velto::VeltoPage page;
    std::optional<std::optional<std::string>> fileTextChecksum;
};

/// `reusablePages`: the pages in memory that may stand in for their files; nullptr when none may. A file that
/// discovery has just read (one another program changed) is not read again, whether or not a page stands in.
LoadedPage loadedPage(const PipelineRequest &request, const velto::VeltoLibraryPageRecord &record,
                      const velto::VeltoPageIndex *reusablePages, MarkdownDiscovery &discovery) {
    if (auto page = pageFromDiscoveredText(record, discovery)) {
        // Discovery hashed that very text, and the record holds its checksum.
        return {std::move(*page), record.contentChecksum};
    }
    const velto::VeltoPage *reusable = reusablePages != nullptr ? reusablePages->find(record.id) : nullptr;
    if (reusable != nullptr && isChangedPageFileBehindLink(request, record)) {
        // The page in memory would hide what a launch meets there: the page is held aside, and its file named.
        reusable = nullptr;
    }
    return {loadPage(record, request.folderURL, request.fileManager, true, reusable, request.allowsLaunchIndex,
                     request.availabilityOperation),
            std::nullopt};
}

/// The files that could not be read, each once, in path order.
class UnreadableFiles {
public:
    explicit UnreadableFiles(const std::vector<VeltoUnreadablePageFile> &discovered) {
        for (const auto &file : discovered) {
            reasonsByPath.try_emplace(file.relativePath, file.reason);
        }
    }

    /// Named as discovery names files: relative to the folder with every link on its way followed, where the
    /// load's page URLs lie, also when the folder was given by a relative path or through a link.
    void add(const std::filesystem::path &folderURL, const velto::PageFileError &error,
             velto::FileSystem &fileManager) {
        const std::filesystem::path folder = std::filesystem::absolute(folderURL);
        std::filesystem::path relative = error.url().lexically_relative(fileManager.resolvingSymlinks(folder));
        if (relative.empty() || *relative.begin() == "..") {
            relative = std::filesystem::absolute(error.url()).lexically_relative(folder);
        }
        std::lock_guard guard(lock);
        reasonsByPath.try_emplace(relative.generic_string(), error.underlyingDescription());
    }

    std::vector<VeltoUnreadablePageFile> list() const {
        std::vector<VeltoUnreadablePageFile> files;
        for (const auto &[path, reason] : reasonsByPath) {
            files.push_back({path, reason});
        }
        return files;
    }

private:
    std::mutex lock;
    std::map<std::string, std::string> reasonsByPath;
};

/// The page, or, when its file is there but cannot be read, the page held as unavailable with what its record
/// knows: the file stays as it is, and the rest of the library loads.
LoadedPage loadedOrUnavailablePage(const PipelineRequest &request, const velto::VeltoLibraryPageRecord &record,
                                   const velto::VeltoPageIndex *reusablePages, MarkdownDiscovery &discovery,
                                   UnreadableFiles &unreadableFiles) {
    try {
        return loadedPage(request, record, reusablePages, discovery);
    } catch (const velto::PageFileError &error) {
        if (!error.isConfinedToItsFile()) {
            throw;
        }
        unreadableFiles.add(request.folderURL, error, request.fileManager);
        return {unreadablePage(record), std::nullopt};
    }
}

/// The pages of a load, the current one first, and the checksums of the file texts the load hashed.
struct LoadedPages {
    velto::VeltoPage currentPage;
    std::vector<velto::VeltoPage> pages;
    std::map<velto::Uuid, std::optional<std::string>> fileTextChecksums;
};

/// Every page of the discovered manifest, loaded side by side; the first failure in manifest
/// order is thrown. The availability operation is the caller's and may keep state, so it is never asked from
/// two threads at once.
LoadedPages loadedPages(const PipelineRequest &request, const velto::VeltoLibraryManifest &discovered,
                        MarkdownDiscovery &discovery, UnreadableFiles &unreadableFiles) {
    std::vector<const velto::VeltoLibraryPageRecord *> records{&discovered.currentPage};
    for (const auto &record : discovered.pages) {
        records.push_back(&record);
    }
    std::mutex availabilityLock;
    AvailabilityOperation oneAtATime = [&](const std::filesystem::path &url, velto::FileSystem &fileManager) {
        std::lock_guard guard(availabilityLock);
        return request.availabilityOperation(url, fileManager);
    };
    PipelineRequest concurrentRequest{
        request.folderURL,         request.fileManager,     request.now, request.reusing, request.changedRelativePaths,
        request.allowsLaunchIndex, request.replayOperation, oneAtATime};

    // The pages in memory by identifier, gathered once: each record finds its own without a walk over the library.
    std::optional<velto::VeltoPageIndex> reusablePages;
    if (request.reusing != nullptr) {
        reusablePages.emplace(*request.reusing);
    }
    const velto::VeltoPageIndex *reusable = reusablePages ? &*reusablePages : nullptr;

    std::vector<std::optional<LoadedPage>> loaded(records.size());
    auto loadIndex = [&](std::size_t index) {
        loaded[index] =
            loadedOrUnavailablePage(concurrentRequest, *records[index], reusable, discovery, unreadableFiles);
    };
    if (mayWorkConcurrently(request.fileManager)) {
        forEachIndexConcurrently(records.size(), loadIndex);
    } else {
        for (std::size_t index = 0; index < records.size(); ++index) {
            loadIndex(index);
        }
    }
    LoadedPages result{std::move(loaded[0]->page), {}, {}};
    result.pages.reserve(discovered.pages.size());
    for (std::size_t index = 0; index < loaded.size(); ++index) {
        if (index > 0) {
            result.pages.push_back(std::move(loaded[index]->page));
        }
        if (loaded[index]->fileTextChecksum.has_value()) {
            result.fileTextChecksums.emplace(records[index]->id, std::move(*loaded[index]->fileTextChecksum));
        }
    }
    return result;
}

/// What discovery changed, for the store to save.
std::optional<VeltoLibraryStructureRepair> discoveryRepair(const MarkdownDiscovery &discovery) {
    if (discovery.changedPageIDs.empty() && discovery.removedPageIDs.empty()) {
        return std::nullopt;
    }
    VeltoLibraryStructureRepair repair;
    repair.externallyChangedPageIDs = discovery.changedPageIDs;
    repair.externallyRemovedPageIDs = discovery.removedPageIDs;
    return repair;
}

// Every error here is a failure to load what the metadata describes.
VeltoLibraryLoadResult
loadReconciledLibrary(const PipelineRequest &request, const std::optional<velto::VeltoLibraryManifest> &manifestOnDisk,
                      const velto::VeltoLibraryManifest &reconciled, const LibraryMetadata &metadata,
                      const std::optional<velto::VeltoLibraryReconciliationCheckpoint> &checkpoint) {
    // The reconciled manifest written when it is not what is on disk; migrated legacy tombstones removed.
    bool reconciledIsOnDisk = manifestOnDisk && *manifestOnDisk == reconciled;
    if (!reconciledIsOnDisk) {
        persistDerivedManifest(reconciled, request.folderURL, request.fileManager);
    }
    removeMigratedLegacyDeletionTombstones(metadata.activeTombstones, request.folderURL, request.fileManager);

    // The Markdown files discovered.
    auto [discovery, usedLaunchIndex] = discoveredMarkdown(request, reconciled, metadata);
    const auto &discovered = discovery.manifest;

    // The pages loaded.
    UnreadableFiles unreadableFiles(discovery.unreadableFiles);
    for (const auto &file : metadata.deletedPageFilesOutOfReach) {
        unreadableFiles.add(request.folderURL, file, request.fileManager);
    }
    LoadedPages loaded = loadedPages(request, discovered, discovery, unreadableFiles);

    // An active current page.
    auto [document, activePageRepair] =
        documentWithActiveCurrentPage(std::move(loaded.currentPage), std::move(loaded.pages));
    document.validate();

    // The launch index, when missing, so that the next launch may skip the scan. A removal waits for the
    // store's save, which writes the manifest anyway.
    if (!usedLaunchIndex && !carriesLaunchIndex(reconciled) && discovery.removedPageIDs.empty()) {
        velto::VeltoLibraryManifest launchIndex;
        launchIndex.schemaVersion = velto::VeltoLibraryManifest::currentSchemaVersion;
        launchIndex.reconciliationCheckpoint = checkpoint;
        launchIndex.currentPage = discovered.currentPage;
        launchIndex.pages = discovered.pages;
        launchIndex.pendingDeletionFileNames = discovered.pendingDeletionFileNames;
        // The manifest just read or written needs no second look when nothing changed since.
        if (!(launchIndex == reconciled)) {
            persistDerivedManifest(launchIndex, request.folderURL, request.fileManager);
        }
    }

    // What the load repaired, for the store to save.
    auto repair = VeltoLibraryStructureRepair::merging(activePageRepair, discoveryRepair(discovery));
    VeltoLibraryLoadResult result =
        VeltoLibraryLoadResult::loaded(std::move(document), std::move(repair), unreadableFiles.list());
    result.asLoaded()->fileTextChecksums = std::move(loaded.fileTextChecksums);
    return result;
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
                                       const AvailabilityOperation &availabilityOperation,
                                       const ReadManifest *readBeforeLocking) {
    // The manifest.
    std::optional<velto::VeltoLibraryManifest> manifest;
    try {
        if (auto read = readManifestIfPresent(folderURL, fileManager, readBeforeLocking)) {
            manifest = std::move(read->manifest);
        }
    } catch (...) {
        auto error = std::current_exception();
        return failedWith(manifestFailureKind(error), error);
    }

    // The checkpoint, taken before anything else is read, so that changes made meanwhile are replayed next time.
    auto checkpoint = checkpointOperation(folderURL);

    // The leftovers of writes that a killed process never finished, once per launch: the first load reuses nothing.
    if (reusing == nullptr && !changedRelativePaths) {
        removeStaleTemporaryFiles(folderURL, manifest ? pageFolders(*manifest) : std::set<std::string>{},
                                  manifest ? recordedPageVersions(*manifest) : RecordedPageVersions{}, now,
                                  fileManager);
    }

    // A pending deletion outside what the library manages is refused before any metadata file is written.
    if (manifest && hasUnmanagedPendingDeletion(*manifest)) {
        velto::LibraryMetadataError error(velto::LibraryMetadataError::Kind::unsafeDeletionPath);
        return VeltoLibraryLoadResult::failed({VeltoStoreRecoveryIssue::Kind::corrupt, error.what()});
    }

    // The journals and the deletion records.
    LibraryMetadata metadata;
    try {
        metadata = readLibraryMetadata(manifest, folderURL, fileManager);
    } catch (...) {
        auto error = std::current_exception();
        return failedWith(metadataFailureKind(error), error);
    }

    // The manifest reconciled with the journals and the deletions.
    auto reconciled = reconciledManifest(manifest, metadata.writerStates, metadata.activeTombstoneList());
    if (!reconciled) {
        return VeltoLibraryLoadResult::missing();
    }

    // The library that the reconciled metadata describes.
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
