#include "library/load/MetadataRebuild.h"

#include "library/folder/IOObservation.h"
#include "library/folder/LibraryFolder.h"
#include "library/folder/LibraryLock.h"
#include "library/folder/PageFileChecksums.h"
#include "library/folder/PageFileLocation.h"
#include "library/folder/PageFileNaming.h"
#include "library/folder/PageFileSize.h"
#include "library/load/LoadFailures.h"
#include "library/load/LoadPipeline.h"
#include "library/load/PageAvailability.h"
#include "library/load/PageLoading.h"
#include "library/load/PassedOverEntries.h"
#include "library/metadata/DeletionIndex.h"
#include "library/metadata/ManifestPersistence.h"
#include "library/metadata/ManifestReading.h"
#include "library/metadata/ManifestReconciliation.h"
#include "library/metadata/WriterStates.h"
#include "library/removal/PendingDeletions.h"
#include "model/LibraryErrors.h"
#include "model/PageFileContent.h"
#include "platform/Text.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <set>
#include <vector>

namespace VeltoPageLibrary {

namespace {

using velto::Uuid;
using velto::VeltoLibraryPageRecord;

/// A Markdown file found by the enumeration, with its path relative to the folder.
struct MarkdownFile {
    std::filesystem::path url;
    velto::FileType type = velto::FileType::other;
    std::string relativePath;
};

/// The Markdown files of the folder in path order; the entries named like page files that cannot be pages (a
/// named pipe, a link out of the folder, a name that is not UTF-8) go to `unreadableFiles` instead.
std::optional<std::vector<MarkdownFile>>
enumeratedMarkdownFiles(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                        std::vector<VeltoUnreadablePageFile> &unreadableFiles) {
    auto enumerated = enumeratedFolderEntries(folderURL, fileManager);
    if (!enumerated) {
        return std::nullopt;
    }
    const std::vector<velto::DirectoryEntry> &entries = *enumerated;
    const PageURLResolver pageURLs(folderURL, fileManager);
    std::vector<MarkdownFile> files;
    for (const auto &entry : entries) {
        if (!hasMarkdownExtension(entry.relativePath)) {
            continue;
        }
        if (auto passedOver = passedOverEntry(entry, folderURL, pageURLs, fileManager)) {
            unreadableFiles.push_back(std::move(*passedOver));
        } else {
            files.push_back({folderURL / entry.relativePath, entry.type, entry.relativePath});
        }
    }
    // The order decides which of two files with the same identifier keeps it.
    std::sort(files.begin(), files.end(), [](const auto &a, const auto &b) { return a.url < b.url; });
    return files;
}

/// The file's relative path when it is a managed page file inside the folder, also after symbolic links.
std::optional<std::string> managedRelativePath(const std::filesystem::path &url, const std::string &rootPath,
                                               velto::FileSystem &fileManager) {
    std::string resolved = fileManager.resolvingSymlinks(url).lexically_normal().native();
    if (!resolved.starts_with(rootPath + "/")) {
        return std::nullopt;
    }
    std::string relativePath = resolved.substr(rootPath.size() + 1);
    // A name that is not UTF-8 cannot be written into the metadata, which is JSON.
    if (!velto::text::isValidUTF8(relativePath) || !isManagedPageFileName(relativePath)) {
        return std::nullopt;
    }
    return relativePath;
}

/// The file's whole text as read; nothing when it vanished since it was listed.
std::optional<std::string> markdownText(const std::filesystem::path &url, velto::FileSystem &fileManager) {
    VeltoLibraryIOObservation::count([](VeltoLibraryIOCounters &counters) { ++counters.markdownContentReads; });
    try {
        return fileManager.readFile(url);
    } catch (const velto::FileSystemError &error) {
        if (error.code() == ENOENT || error.code() == ENOTDIR) {
            return std::nullopt;
        }
        throw velto::PageFileError::unreadable(url, error.localizedDescription(), error.code());
    }
}

/// Throws when the text is not UTF-8.
void requireUTF8(const std::filesystem::path &url, std::string_view text) {
    if (!velto::text::isValidUTF8(text)) {
        throw velto::PageFileError::unreadable(url, "The file “" + url.filename().string() +
                                                        "” couldn’t be opened using text encoding Unicode (UTF-8).");
    }
}

/// A page file found by the rebuild, read whole.
struct RebuiltFile {
    std::string relativePath;
    velto::FileStatus attributes;
    velto::VeltoPageFileContent content; // its body kept where it lies in the text read
    PageFileChecksums checksums;
    std::size_t fileSize = 0;
};

/// "conflict-copy" and "recovered-page" files keep telling what they are after the metadata was lost.
std::optional<std::string> slugFromPath(const std::string &relativePath) {
    if (relativePath.find("-conflict-copy-") != std::string::npos) {
        return "conflict-copy";
    }
    if (relativePath.find("-recovered-page-") != std::string::npos) {
        return "recovered-page";
    }
    return std::nullopt;
}

VeltoLibraryPageRecord rebuiltRecord(const Uuid &id, const RebuiltFile &file) {
    velto::Date modificationDate = velto::wholeSeconds(file.attributes.modificationDate);
    VeltoLibraryPageRecord record;
    record.id = id;
    record.createdAt = velto::wholeSeconds(file.attributes.creationDate.value_or(modificationDate));
    record.fileSlug = slugFromPath(file.relativePath);
    record.relativeFilePath = file.relativePath;
    record.updatedAt = modificationDate;
    if (file.content.isArchived()) {
        record.archivedAt = modificationDate;
    }
    record.hasContent = true;
    record.contentChecksum = file.checksums.contentChecksum;
    record.bodyChecksum = file.checksums.bodyChecksum;
    record.fileSize = static_cast<std::int64_t>(file.fileSize);
    record.isArchived = file.content.isArchived();
    return record;
}

/// The listed file as a page file; nothing when it is no usable page file: not a regular managed page file
/// inside the folder, still on its way, gone since it was listed, unreadable, or empty. An unreadable file is
/// left as it is and goes to `unreadableFiles`, so that it is named also when no page comes of the rebuild.
std::optional<RebuiltFile> rebuiltFile(const MarkdownFile &file, const std::string &rootPath,
                                       velto::FileSystem &fileManager,
                                       std::vector<VeltoUnreadablePageFile> &unreadableFiles) {
    if (file.type != velto::FileType::regular) {
        return std::nullopt;
    }
    auto attributes = fileManager.status(file.url);
    if (!attributes || attributes->type != velto::FileType::regular ||
        fileAvailability(file.url, fileManager) != VeltoPageFileAvailability::available) {
        return std::nullopt;
    }
    auto relativePath = managedRelativePath(file.url, rootPath, fileManager);
    if (!relativePath) {
        return std::nullopt;
    }
    try {
        std::optional<std::string> text = markdownText(file.url, fileManager);
        if (!text || text->empty()) {
            return std::nullopt;
        }
        // The body is kept where it lies in the text, not copied; both checksums come from one pass over the text
        // where the file ends with its body, and that pass tells whether the text is ASCII, which is UTF-8 as it is.
        const auto read = std::make_shared<const std::string>(std::move(*text));
        RebuiltFile rebuilt{
            std::move(*relativePath), *attributes, velto::VeltoPageFileContent::parseKeeping(read), {}, read->size()};
        rebuilt.checksums = pageFileChecksums(*read, rebuilt.content);
        if (!rebuilt.checksums.isASCII) {
            requireUTF8(file.url, *read);
        }
        requireRoomForMetadata(file.url, rebuilt.content);
        return rebuilt;
    } catch (const velto::PageFileError &error) {
        if (!error.isConfinedToItsFile()) {
            throw;
        }
        unreadableFiles.push_back({file.relativePath, error.underlyingDescription()});
        return std::nullopt;
    }
}

/// The manifest still on disk when it can be read; a damaged one has nothing to tell.
std::optional<velto::VeltoLibraryManifest> readableManifest(const std::filesystem::path &folderURL,
                                                            velto::FileSystem &fileManager) {
    try {
        if (auto read = readManifestIfPresent(folderURL, fileManager)) {
            return std::move(read->manifest);
        }
    } catch (...) {
    }
    return std::nullopt;
}

/// Latest activity first; equal activity by identifier.
bool rebuiltRecordPrecedes(const VeltoLibraryPageRecord &a, const VeltoLibraryPageRecord &b) {
    velto::Date activityOfA = a.updatedAt.value_or(a.createdAt);
    velto::Date activityOfB = b.updatedAt.value_or(b.createdAt);
    if (activityOfA != activityOfB) {
        return activityOfA > activityOfB;
    }
    return a.id < b.id;
}

VeltoLibraryLoadResult rebuildUnderLock(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                        velto::Date now, bool preservingCorruptManifest,
                                        const CheckpointOperation &checkpointOperation) {
    // The checkpoint, taken before anything is read, so that changes made during the rebuild are replayed later.
    auto checkpoint = (checkpointOperation ? checkpointOperation : productionCheckpoint())(folderURL);

    // The journals and the deletions they leave active.
    auto writerStates = loadWriterStates(folderURL, fileManager);
    auto tombstones = loadLegacyDeletionTombstones(folderURL, fileManager);
    auto canonical = loadCanonicalDeletionTombstones(folderURL, fileManager);
    tombstones.insert(tombstones.end(), canonical.begin(), canonical.end());
    auto activeTombstones = activeDeletionTombstones(tombstones, writerStates);

    // Read before the damaged manifest is moved aside.
    std::vector<velto::VeltoDeletionTombstone> activeTombstoneList;
    for (const auto &[pageID, tombstone] : activeTombstones) {
        activeTombstoneList.push_back(tombstone);
    }
    auto recorded = reconciledManifest(readableManifest(folderURL, fileManager), writerStates, activeTombstoneList);
    std::vector<VeltoUnreadablePageFile> unreadableFiles;
    auto manifest =
        rebuildingManifestFromMarkdown(folderURL, fileManager, activeTombstones,
                                       recorded ? RecordedPageIDs(*recorded) : RecordedPageIDs(), &unreadableFiles);
    if (!manifest) {
        // No page, but the files that could not be read are named all the same: the library Velto starts
        // beside them is empty, and the user would not learn why.
        return VeltoLibraryLoadResult::missing(std::move(unreadableFiles));
    }
    manifest->schemaVersion = velto::VeltoLibraryManifest::currentSchemaVersion;
    manifest->reconciliationCheckpoint = checkpoint;

    // The rebuilt metadata written: the damaged manifest kept aside, the deletion index, the manifest and this
    // writer's journal.
    if (preservingCorruptManifest) {
        preserveCorruptManifest(folderURL, fileManager);
    }
    persistCanonicalDeletionIndex(activeTombstones, folderURL, fileManager, writerStates);
    persist(*manifest, folderURL, fileManager);
    removeMigratedLegacyDeletionTombstones(activeTombstones, folderURL, fileManager);
    persistRebuildWriterState(*manifest, writerStates, folderURL, fileManager);

    // The library loaded from what was just written.
    return loadWithoutLock(folderURL, fileManager, now, nullptr, std::nullopt, false, productionReplay(),
                           productionCheckpoint(), productionAvailability());
}

} // namespace

RecordedPageIDs::RecordedPageIDs(const velto::VeltoLibraryManifest &manifest) {
    std::vector<const VeltoLibraryPageRecord *> records{&manifest.currentPage};
    for (const auto &record : manifest.pages) {
        records.push_back(&record);
    }
    for (const auto *record : records) {
        auto name = pageFileName(*record);
        idsByCanonicalPath.try_emplace(velto::text::nfc(name), record->id);
        idsByPath.try_emplace(std::move(name), record->id);
    }
}

std::optional<Uuid> RecordedPageIDs::at(const std::string &relativePath) const {
    auto exact = idsByPath.find(relativePath);
    if (exact != idsByPath.end()) {
        return exact->second;
    }
    // A name that another platform wrote in the other Unicode form is the same file.
    auto canonical = idsByCanonicalPath.find(velto::text::nfc(relativePath));
    if (canonical != idsByCanonicalPath.end()) {
        return canonical->second;
    }
    return std::nullopt;
}

std::optional<velto::VeltoLibraryManifest>
rebuildingManifestFromMarkdown(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                               const std::map<velto::Uuid, velto::VeltoDeletionTombstone> &activeTombstones,
                               const RecordedPageIDs &recordedPageIDs,
                               std::vector<VeltoUnreadablePageFile> *unreadableFiles) {
    std::vector<VeltoUnreadablePageFile> unreadable;
    auto files = enumeratedMarkdownFiles(folderURL, fileManager, unreadable);
    if (!files) {
        return std::nullopt;
    }
    std::string rootPath = fileManager.resolvingSymlinks(folderURL).lexically_normal().native();
    std::vector<RebuiltFile> pageFiles;
    for (const auto &file : *files) {
        if (auto pageFile = rebuiltFile(file, rootPath, fileManager, unreadable)) {
            pageFiles.push_back(std::move(*pageFile));
        }
    }
    if (unreadableFiles != nullptr) {
        std::stable_sort(unreadable.begin(), unreadable.end(),
                         [](const auto &a, const auto &b) { return a.relativePath < b.relativePath; });
        *unreadableFiles = std::move(unreadable);
    }

    // Identifiers the files carry come first, so that an identifier only recorded for a path never takes
    // one away from the file that holds it.
    std::set<Uuid> takenIDs;
    std::vector<VeltoLibraryPageRecord> records;
    auto addRecord = [&](const RebuiltFile &pageFile, Uuid id) {
        if (takenIDs.contains(id)) {
            id = Uuid::random();
        }
        // A deleted page is not brought back.
        if (activeTombstones.contains(id)) {
            return;
        }
        takenIDs.insert(id);
        records.push_back(rebuiltRecord(id, pageFile));
    };
    for (const auto &pageFile : pageFiles) {
        if (auto fileID = pageFile.content.veltoPageID()) {
            addRecord(pageFile, *fileID);
        }
    }
    // A file without an identifier keeps the page the metadata still records at its path: a fresh identifier
    // would leave the journals' record of the same file beside it, and the file would load as two pages.
    for (const auto &pageFile : pageFiles) {
        if (!pageFile.content.veltoPageID()) {
            auto recorded = recordedPageIDs.at(pageFile.relativePath);
            addRecord(pageFile, recorded && !takenIDs.contains(*recorded) ? *recorded : Uuid::random());
        }
    }
    if (records.empty()) {
        return std::nullopt;
    }

    std::stable_sort(records.begin(), records.end(), rebuiltRecordPrecedes);
    auto current = std::find_if(records.begin(), records.end(), [](const VeltoLibraryPageRecord &record) {
        return !record.isArchived.value_or(false);
    });
    if (current == records.end()) {
        current = records.begin();
    }
    velto::VeltoLibraryManifest manifest;
    manifest.schemaVersion = velto::VeltoLibraryManifest::currentSchemaVersion;
    manifest.currentPage = *current;
    records.erase(current);
    manifest.pages = std::move(records);
    std::set<std::string> pendingNames;
    for (const auto &[pageID, tombstone] : activeTombstones) {
        pendingNames.insert(tombstone.relativeFilePath);
    }
    manifest.pendingDeletionFileNames.assign(pendingNames.begin(), pendingNames.end());
    return manifest;
}

VeltoLibraryLoadResult rebuildLibraryMetadata(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                              velto::Date now, bool preservingCorruptManifest,
                                              const CheckpointOperation &checkpointOperation) {
    try {
        createLibraryDirectories(folderURL, fileManager);
        return withLibraryLocks({folderURL}, LibraryLockMode::exclusive, [&] {
            return rebuildUnderLock(folderURL, fileManager, now, preservingCorruptManifest, checkpointOperation);
        });
    } catch (...) {
        auto error = std::current_exception();
        auto kind = loadingFailureKind(error) == velto::VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable
                        ? velto::VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable
                        : velto::VeltoStoreRecoveryIssue::Kind::corrupt;
        return VeltoLibraryLoadResult::failed(recoveryIssue(kind, error));
    }
}

} // namespace VeltoPageLibrary
