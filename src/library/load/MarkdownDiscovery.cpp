#include "library/load/MarkdownDiscovery.h"

#include "library/folder/ConcurrentWork.h"
#include "library/folder/IOObservation.h"
#include "library/folder/LibraryFolder.h"
#include "library/folder/PageFileChecksums.h"
#include "library/folder/PageFileLocation.h"
#include "library/folder/PageFileNaming.h"
#include "library/folder/PageFileSize.h"
#include "library/load/PassedOverEntries.h"
#include "library/metadata/MissingFileObservations.h"
#include "library/removal/KeptConflictCopy.h"
#include "model/LibraryErrors.h"
#include "model/PageFileContent.h"
#include "model/PageSlug.h"
#include "platform/Text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <vector>

namespace VeltoPageLibrary {

namespace {

using velto::Uuid;
using velto::VeltoLibraryPageRecord;

/// A file that vanished between being listed and being read is missing, like one that was never listed.
bool isVanishedFileError(const velto::FileSystemError &error) {
    return error.code() == ENOENT || error.code() == ENOTDIR;
}

/// The folder's path after symbolic links, for telling whether a file lies inside it.
std::string rootPathText(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    std::string text = fileManager.resolvingSymlinks(folderURL).lexically_normal().native();
    while (text.size() > 1 && text.ends_with("/")) {
        text.pop_back();
    }
    return text;
}

/// What is learnt of one candidate file before it is matched with the records. The files are inspected side
/// by side; what the inspection met is applied one file after the other, in path order.
struct InspectedFile {
    std::filesystem::path url;
    std::string relativePath;                    // empty: no managed page file inside the folder
    std::optional<velto::FileStatus> attributes; // none: gone since it was listed, or no regular file
    bool stillDownloading = false;
    bool wasRead = false;                        // false: not read, or gone since it was listed
    std::optional<std::string> unreadableReason; // there, but cannot be read as UTF-8 text: left alone
    std::size_t fileSize = 0;
    velto::VeltoPageFileContent content;
    // What the front matter says, parsed with the file on its worker: the files are matched one after the other.
    std::optional<Uuid> pageID;
    bool isArchived = false;
    PageFileChecksums checksums;
    std::exception_ptr error; // ends the discovery when this file's turn comes

    bool isPageFileCandidate() const { return !relativePath.empty() && attributes.has_value(); }
};

/// Everything one discovery works on. Each stage is one member function, called in order.
class DiscoveryPass {
public:
    DiscoveryPass(const velto::VeltoLibraryManifest &manifest, const std::filesystem::path &folderURL,
                  velto::FileSystem &fileManager, const std::map<Uuid, velto::VeltoDeletionTombstone> &activeTombstones,
                  const std::map<Uuid, velto::VeltoMissingFileObservation> &missingFileObservations, velto::Date now,
                  const std::optional<std::set<std::string>> &changedRelativePaths,
                  const AvailabilityOperation &availabilityOperation, const velto::Clock &clock)
        : manifest(manifest)
        , folderURL(folderURL)
        , fileManager(fileManager)
        , activeTombstones(activeTombstones)
        , missingFileObservations(missingFileObservations)
        , now(now)
        , changedRelativePaths(changedRelativePaths)
        , availabilityOperation(availabilityOperation)
        , clock(clock)
        , pageURLs(folderURL, fileManager) {}

    MarkdownDiscovery run();

private:
    // A. Preparation.
    void indexInputRecords();
    // B. Candidate files; nothing when the folder cannot be listed.
    std::optional<std::vector<std::filesystem::path>> candidateFiles();
    std::vector<std::filesystem::path> changedCandidateFiles();
    std::optional<std::filesystem::path> changedCandidateFile(const std::string &relativePath);
    std::optional<std::vector<std::filesystem::path>> enumeratedCandidateFiles();
    void claimPagesOutsideChangedPaths();
    // C. Files present on disk.
    std::vector<InspectedFile> inspectedFiles(const std::vector<std::filesystem::path> &candidates);
    void forEachFile(std::size_t count, const std::function<void(std::size_t)> &work);
    void locate(InspectedFile &file);
    std::string resolvedPath(const std::filesystem::path &url) const;
    /// False when the file's error ends the discovery.
    bool askAvailability(InspectedFile &file);
    void readPageFile(InspectedFile &file);
    void discoverFile(InspectedFile &file);
    bool needsIdentifierWritten(const InspectedFile &file, const Uuid &id) const;
    VeltoLibraryPageRecord discoveredRecord(const Uuid &id, const InspectedFile &file) const;
    void dropDisplacedRecords();
    // D. and E. Pages without a discovered file.
    void accountForUndiscoveredPages();
    std::optional<std::filesystem::path> urlUnlessBehindLink(const std::string &expectedName);
    void dropIfAnotherPageHoldsTheFile(const Uuid &pageID, const std::filesystem::path &url);
    void applyMissingFileRule(const VeltoLibraryPageRecord &record, const std::string &expectedName,
                              const std::filesystem::path &url);
    void finishMissingFileObservations();
    // F. The resulting manifest.
    MarkdownDiscovery result();

    const VeltoLibraryPageRecord *recordAtPath(const std::string &relativePath) const;
    bool isAmongChangedPaths(const std::string &relativePath) const;

    const velto::VeltoLibraryManifest &manifest;
    const std::filesystem::path &folderURL;
    velto::FileSystem &fileManager;
    const std::map<Uuid, velto::VeltoDeletionTombstone> &activeTombstones;
    const std::map<Uuid, velto::VeltoMissingFileObservation> &missingFileObservations;
    const velto::Date now;
    const std::optional<std::set<std::string>> &changedRelativePaths;
    const AvailabilityOperation &availabilityOperation;
    const velto::Clock &clock;
    const PageURLResolver pageURLs;

    std::vector<VeltoLibraryPageRecord> inputRecords;
    std::map<Uuid, VeltoLibraryPageRecord> recordsByID;
    // The input records by name, pointing into inputRecords, which no longer changes: a library of 30,000 pages
    // is not copied twice more at every refresh.
    std::map<std::string, const VeltoLibraryPageRecord *> recordsByPath;
    // The same records by the composed (NFC) form of their names, for files whose names another platform
    // wrote decomposed.
    std::map<std::string, const VeltoLibraryPageRecord *> recordsByCanonicalPath;
    std::set<std::string> canonicalChangedPaths;
    std::string rootPath;
    bool folderIsRealPath = false;
    std::set<Uuid> claimedPageIDs;
    std::set<Uuid> displacedPageIDs;
    std::set<Uuid> changedPageIDs;
    std::set<Uuid> removedPageIDs;
    std::set<Uuid> observationsToClear;
    std::vector<velto::VeltoMissingFileObservation> newObservations;
    std::vector<VeltoUnreadablePageFile> unreadableFiles;
    std::optional<std::filesystem::path> pendingMissingURL;
    std::map<Uuid, DiscoveredText> discoveredTexts;
    // The page each discovered file became, by the file's path with the folder's links resolved.
    std::map<std::string, Uuid> pageIDsByFile;
};

MarkdownDiscovery DiscoveryPass::run() {
    indexInputRecords();
    auto candidates = candidateFiles();
    if (!candidates) {
        return {manifest, {}, {}, {}, {}};
    }
    rootPath = rootPathText(folderURL, fileManager);
    std::string folderPath = folderURL.lexically_normal().native();
    while (folderPath.size() > 1 && folderPath.ends_with("/")) {
        folderPath.pop_back();
    }
    folderIsRealPath = folderPath == rootPath;
    for (auto &file : inspectedFiles(*candidates)) {
        discoverFile(file);
    }
    dropDisplacedRecords();
    accountForUndiscoveredPages();
    finishMissingFileObservations();
    return result();
}

void DiscoveryPass::indexInputRecords() {
    inputRecords.reserve(manifest.pages.size() + 1);
    inputRecords.push_back(manifest.currentPage);
    inputRecords.insert(inputRecords.end(), manifest.pages.begin(), manifest.pages.end());
    for (const auto &record : inputRecords) {
        auto name = pageFileName(record);
        recordsByID.try_emplace(record.id, record);
        recordsByCanonicalPath.try_emplace(velto::text::nfc(name), &record);
        recordsByPath.try_emplace(std::move(name), &record);
    }
    if (changedRelativePaths) {
        for (const auto &path : *changedRelativePaths) {
            canonicalChangedPaths.insert(velto::text::nfc(path));
        }
    }
}

std::optional<std::vector<std::filesystem::path>> DiscoveryPass::candidateFiles() {
    if (changedRelativePaths) {
        auto candidates = changedCandidateFiles();
        claimPagesOutsideChangedPaths();
        return candidates;
    }
    return enumeratedCandidateFiles();
}

std::vector<std::filesystem::path> DiscoveryPass::changedCandidateFiles() {
    std::vector<std::filesystem::path> candidates;
    for (const auto &path : *changedRelativePaths) {
        if (auto url = changedCandidateFile(path)) {
            candidates.push_back(std::move(*url));
        }
    }
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    return candidates;
}

// A changed entry is taken as the enumeration takes it, so that one odd entry never stops the rest of its batch:
// an entry that cannot be a page is named, and a link to a file of the folder is no page of its own (that file is
// one, under its own name).
std::optional<std::filesystem::path> DiscoveryPass::changedCandidateFile(const std::string &relativePath) {
    std::filesystem::path url = folderURL / relativePath;
    auto entry = fileManager.status(url, false);
    if (!entry) {
        // A name reported in one Unicode form but stored in the other comes back as the file stored.
        try {
            url = pageURLs.url(relativePath);
        } catch (const velto::LibraryMetadataError &) {
            return std::nullopt;
        }
        entry = fileManager.status(url, false);
        if (!entry || entry->type != velto::FileType::regular) {
            return std::nullopt;
        }
    }
    if (entry->type == velto::FileType::regular) {
        return url;
    }
    if (auto passedOver = passedOverEntry({relativePath, entry->type}, folderURL, pageURLs, fileManager)) {
        unreadableFiles.push_back(std::move(*passedOver));
    }
    return std::nullopt;
}

std::optional<std::vector<std::filesystem::path>> DiscoveryPass::enumeratedCandidateFiles() {
    auto enumerated = enumeratedFolderEntries(folderURL, fileManager);
    if (!enumerated) {
        return std::nullopt;
    }
    const std::vector<velto::DirectoryEntry> &entries = *enumerated;
    std::vector<std::filesystem::path> candidates;
    for (const auto &entry : entries) {
        if (entry.type == velto::FileType::directory || !hasMarkdownExtension(entry.relativePath)) {
            continue;
        }
        // An entry named like a page that cannot be one is named to the user, never passed over in silence.
        if (auto passedOver = passedOverEntry(entry, folderURL, pageURLs, fileManager)) {
            unreadableFiles.push_back(std::move(*passedOver));
        } else if (entry.type == velto::FileType::regular) {
            candidates.push_back(folderURL / entry.relativePath);
        }
    }
    std::sort(candidates.begin(), candidates.end());
    return candidates;
}

// Pages outside the changed paths keep their identifiers and are not examined again.
void DiscoveryPass::claimPagesOutsideChangedPaths() {
    for (const auto &record : inputRecords) {
        if (!isAmongChangedPaths(pageFileName(record))) {
            claimedPageIDs.insert(record.id);
        }
    }
}

void DiscoveryPass::forEachFile(std::size_t count, const std::function<void(std::size_t)> &work) {
    if (mayWorkConcurrently(fileManager)) {
        forEachIndexConcurrently(count, work);
        return;
    }
    for (std::size_t index = 0; index < count; ++index) {
        work(index);
    }
}

std::vector<InspectedFile> DiscoveryPass::inspectedFiles(const std::vector<std::filesystem::path> &candidates) {
    std::vector<InspectedFile> files(candidates.size());
    if (&availabilityOperation == &productionAvailability()) {
        // The production operation keeps no state: each file is asked along with the rest of its inspection.
        forEachFile(files.size(), [&](std::size_t index) {
            files[index].url = candidates[index];
            locate(files[index]);
            askAvailability(files[index]);
            readPageFile(files[index]);
        });
        return files;
    }
    forEachFile(files.size(), [&](std::size_t index) {
        files[index].url = candidates[index];
        locate(files[index]);
    });
    // Another availability operation is the caller's and may keep state: it is asked in order, on this thread,
    // and not past a file whose error ends the discovery.
    for (auto &file : files) {
        if (!askAvailability(file)) {
            break;
        }
    }
    forEachFile(files.size(), [&](std::size_t index) { readPageFile(files[index]); });
    return files;
}

/// The path with its symbolic links resolved. The enumeration never enters a link and lists only regular files,
/// so a file it found below a folder named by its real path has no link on its way and needs no resolving.
std::string DiscoveryPass::resolvedPath(const std::filesystem::path &url) const {
    if (!changedRelativePaths && folderIsRealPath) {
        return url.lexically_normal().native();
    }
    return fileManager.resolvingSymlinks(url).lexically_normal().native();
}

// Only managed page files inside the folder, also after symbolic links; a file gone since it was listed
// is left to the missing-file rule.
void DiscoveryPass::locate(InspectedFile &file) {
    try {
        std::string resolved = resolvedPath(file.url);
        if (!resolved.starts_with(rootPath + "/")) {
            return;
        }
        std::string relativePath = resolved.substr(rootPath.size() + 1);
        // A name that is not UTF-8 cannot be written into the metadata, which is JSON.
        if (!velto::text::isValidUTF8(relativePath) || !isManagedPageFileName(relativePath)) {
            return;
        }
        auto attributes = fileManager.status(file.url);
        if (attributes && attributes->type == velto::FileType::regular) {
            file.relativePath = std::move(relativePath);
            file.attributes = attributes;
        }
    } catch (...) {
        file.error = std::current_exception();
    }
}

// A file still on its way is not read.
bool DiscoveryPass::askAvailability(InspectedFile &file) {
    if (file.error) {
        return false;
    }
    if (!file.isPageFileCandidate()) {
        return true;
    }
    try {
        file.stillDownloading =
            availabilityOperation(file.url, fileManager) == VeltoPageFileAvailability::temporarilyUnavailable;
        return true;
    } catch (...) {
        file.error = std::current_exception();
        return false;
    }
}

// The whole text, parsed, with both checksums: the one read that serves the record, and the page too.
void DiscoveryPass::readPageFile(InspectedFile &file) {
    if (file.error || !file.isPageFileCandidate() || file.stillDownloading) {
        return;
    }
    VeltoLibraryIOObservation::count([](VeltoLibraryIOCounters &counters) { ++counters.markdownContentReads; });
    try {
        // Kept, not copied: the page's body is the end of the text read, and its baseline the whole of it.
        auto read = std::make_shared<const std::string>(fileManager.readFile(file.url));
        const std::string &text = *read;
        file.content = velto::VeltoPageFileContent::parseKeeping(read);
        file.pageID = file.content.veltoPageID();
        file.isArchived = file.content.isArchived();
        file.checksums = pageFileChecksums(text, file.content);
        if (!file.checksums.isASCII && !velto::text::isValidUTF8(text)) {
            throw velto::PageFileError::unreadable(file.url, "The file “" + file.url.filename().string() +
                                                                 "” couldn’t be opened using text encoding Unicode "
                                                                 "(UTF-8).");
        }
        requireRoomForMetadata(file.url, file.content);
        file.fileSize = text.size();
        file.wasRead = true;
    } catch (const velto::FileSystemError &error) {
        if (isVanishedFileError(error)) {
            return;
        }
        auto unreadable = velto::PageFileError::unreadable(file.url, error.localizedDescription(), error.code());
        if (unreadable.isConfinedToItsFile()) {
            file.unreadableReason = unreadable.underlyingDescription();
        } else {
            file.error = std::make_exception_ptr(unreadable);
        }
    } catch (const velto::PageFileError &error) {
        file.unreadableReason = error.underlyingDescription();
    } catch (...) {
        file.error = std::current_exception();
    }
}

void DiscoveryPass::discoverFile(InspectedFile &file) {
    if (file.error) {
        std::rethrow_exception(file.error);
    }
    if (!file.isPageFileCandidate()) {
        return;
    }

    // A file still on its way, or one that cannot be read (another program's file in another encoding, one
    // without read permission, one too large), keeps the page recorded at its path, unread. The unreadable one
    // is reported, and no page is made of it: a page would be saved over it.
    const VeltoLibraryPageRecord *pathRecord = recordAtPath(file.relativePath);
    if (file.unreadableReason) {
        unreadableFiles.push_back({file.relativePath, *file.unreadableReason});
    }
    if (file.stillDownloading || file.unreadableReason) {
        if (pathRecord != nullptr) {
            claimedPageIDs.insert(pathRecord->id);
        }
        return;
    }

    // A file gone since it was listed, or without a body, is no page.
    if (!file.wasRead || file.content.body.empty()) {
        return;
    }

    // The page identifier: the file's, else the one recorded at this path, else a new one; a file of a
    // deleted page is no page; an identifier that another file has taken is replaced.
    const std::optional<Uuid> &fileID = file.pageID;
    Uuid id = fileID ? *fileID : (pathRecord != nullptr ? pathRecord->id : Uuid::random());
    if (activeTombstones.contains(id)) {
        changedPageIDs.insert(id);
        if (!isKeptFileName(file.relativePath)) {
            return;
        }
        // A deleted page's file that a removal kept beside another file come to its name, under the "(kept …)"
        // name: another program may have written into it, so it is shown as a page of its own, never hidden.
        bool recordedAsItsOwn = pathRecord != nullptr && !activeTombstones.contains(pathRecord->id);
        id = recordedAsItsOwn ? pathRecord->id : Uuid::random();
    }
    if (claimedPageIDs.contains(id)) {
        id = Uuid::random();
    }
    claimedPageIDs.insert(id);
    pageIDsByFile[rootPath + "/" + file.relativePath] = id;

    // A present file ends any missing-file observation of its page. Observations were read under the same
    // lock, so a page without one has no file to remove.
    if (missingFileObservations.contains(id)) {
        removeMissingFileObservation(id, folderURL, fileManager);
    }

    // The page's record as discovered: a change when it differs from the recorded one.
    auto existing = recordsByID.find(id);
    const VeltoLibraryPageRecord *existingRecord = existing != recordsByID.end() ? &existing->second : nullptr;
    auto record = discoveredRecord(id, file);
    if (existingRecord == nullptr || !record.describesSamePageMutation(*existingRecord) ||
        needsIdentifierWritten(file, id)) {
        changedPageIDs.insert(id);
    }
    if (pathRecord != nullptr && pathRecord->id != id) {
        // That page no longer owns this path. Its record is dropped after the pass unless a file of this
        // pass carries its identifier: two files that exchanged names must both keep their pages.
        displacedPageIDs.insert(pathRecord->id);
        changedPageIDs.insert(pathRecord->id);
    }
    if (!file.isArchived) {
        discoveredTexts[id] = {file.relativePath, record.contentChecksum, std::move(file.content)};
    }
    recordsByID[id] = std::move(record);
}

// A plain file gets its page's identifier at the next save; one that refuses to be changed (its owner made it
// read-only) stays as it is, the page recorded at its path, instead of being saved again at every launch.
bool DiscoveryPass::needsIdentifierWritten(const InspectedFile &file, const Uuid &id) const {
    if (file.pageID == id) {
        return false;
    }
    return file.pageID.has_value() || !fileManager.refusesWriting(file.url);
}

VeltoLibraryPageRecord DiscoveryPass::discoveredRecord(const Uuid &id, const InspectedFile &file) const {
    auto existing = recordsByID.find(id);
    const VeltoLibraryPageRecord *existingRecord = existing != recordsByID.end() ? &existing->second : nullptr;
    // The metadata keeps whole seconds; file dates are taken the same way so that a reload compares equal.
    velto::Date modificationDate = velto::wholeSeconds(file.attributes->modificationDate);

    VeltoLibraryPageRecord record;
    record.id = id;
    if (existingRecord != nullptr) {
        record.createdAt = existingRecord->createdAt;
        record.fileSlug = existingRecord->fileSlug;
    } else {
        record.createdAt = velto::wholeSeconds(file.attributes->creationDate.value_or(modificationDate));
    }
    bool keepsItsName = existingRecord != nullptr && pageFileName(*existingRecord) == file.relativePath;
    record.relativeFilePath = keepsItsName ? existingRecord->relativeFilePath : file.relativePath;
    record.bodyChecksum = file.checksums.bodyChecksum;
    bool bodyUnchanged = existingRecord != nullptr && existingRecord->bodyChecksum &&
                         existingRecord->bodyChecksum == record.bodyChecksum;
    record.updatedAt = bodyUnchanged ? existingRecord->updatedAt : std::optional<velto::Date>(modificationDate);
    record.archivedAt = reconciledArchivedAt(file.isArchived, existingRecord, modificationDate, now);
    record.hasContent = true;
    record.contentChecksum = file.checksums.contentChecksum;
    record.fileSize = static_cast<std::int64_t>(file.fileSize);
    record.isArchived = file.isArchived;
    return record;
}

void DiscoveryPass::dropDisplacedRecords() {
    for (const auto &id : displacedPageIDs) {
        if (!claimedPageIDs.contains(id)) {
            recordsByID.erase(id);
        }
    }
}

void DiscoveryPass::accountForUndiscoveredPages() {
    for (const auto &record : inputRecords) {
        if (!record.hasContent || claimedPageIDs.contains(record.id)) {
            continue;
        }
        auto expectedName = pageFileName(record);
        if (changedRelativePaths && !isAmongChangedPaths(expectedName)) {
            continue;
        }
        if (activeTombstones.contains(record.id)) {
            recordsByID.erase(record.id);
            removedPageIDs.insert(record.id);
            observationsToClear.insert(record.id);
            continue;
        }
        // A name stored in one Unicode form finds the file stored in the other.
        auto url = urlUnlessBehindLink(expectedName);
        if (!url) {
            continue; // the page stays recorded, held aside by its loading until the link goes
        }
        switch (availabilityOperation(*url, fileManager)) {
        case VeltoPageFileAvailability::available:
            observationsToClear.insert(record.id);
            dropIfAnotherPageHoldsTheFile(record.id, *url);
            break;
        case VeltoPageFileAvailability::temporarilyUnavailable:
            break;
        case VeltoPageFileAvailability::missing:
            applyMissingFileRule(record, expectedName, *url);
            break;
        }
    }
}

// A page's file that is a link out of the folder or round in a loop, or lies in a folder that is, is neither
// there nor missing: its page keeps its record, and the missing-file rule never removes it.
std::optional<std::filesystem::path> DiscoveryPass::urlUnlessBehindLink(const std::string &expectedName) {
    try {
        return pageFileURL(expectedName, folderURL, fileManager);
    } catch (const velto::PageFileError &) {
        return std::nullopt;
    }
}

// One file is one page: a record that names the file another page was discovered in (two records of one path,
// or of one name in both Unicode forms) would load the same text twice, so it goes; the file keeps its page.
void DiscoveryPass::dropIfAnotherPageHoldsTheFile(const Uuid &pageID, const std::filesystem::path &url) {
    auto holder = pageIDsByFile.find(url.lexically_normal().native());
    if (holder == pageIDsByFile.end() || holder->second == pageID) {
        return;
    }
    recordsByID.erase(pageID);
    changedPageIDs.insert(pageID);
}

void DiscoveryPass::applyMissingFileRule(const VeltoLibraryPageRecord &record, const std::string &expectedName,
                                         const std::filesystem::path &url) {
    auto observed = missingFileObservations.find(record.id);
    bool observedAtThisName =
        observed != missingFileObservations.end() && observed->second.relativeFilePath == expectedName;
    // A first sighting dated ahead of this machine's clock (another machine's clock runs ahead) is taken as
    // made now; kept as it is, it would hold the page, and fail every load, until this clock caught up.
    if (!observedAtThisName || observed->second.firstObservedAt > now) {
        newObservations.push_back({record.id, expectedName, now});
        pendingMissingURL = pendingMissingURL.value_or(url);
        return;
    }
    std::chrono::duration<double> missingFor = now - observed->second.firstObservedAt;
    if (missingFor.count() >= missingFileGraceSeconds) {
        recordsByID.erase(record.id);
        removedPageIDs.insert(record.id);
        observationsToClear.insert(record.id);
        return;
    }
    pendingMissingURL = pendingMissingURL.value_or(url);
}

void DiscoveryPass::finishMissingFileObservations() {
    persistMissingFileObservations(newObservations, folderURL, fileManager);
    if (pendingMissingURL) {
        throw velto::PageFileError::temporarilyUnavailable(*pendingMissingURL);
    }
    for (const auto &id : observationsToClear) {
        removeMissingFileObservation(id, folderURL, fileManager);
    }
}

MarkdownDiscovery DiscoveryPass::result() {
    MarkdownDiscovery discovery;
    discovery.manifest.schemaVersion = velto::VeltoLibraryManifest::currentSchemaVersion;
    discovery.manifest.reconciliationCheckpoint = manifest.reconciliationCheckpoint;
    discovery.manifest.pendingDeletionFileNames = manifest.pendingDeletionFileNames;

    // The current page: the recorded one, else the most recently active, else a new empty page.
    auto current = recordsByID.find(manifest.currentPage.id);
    if (current != recordsByID.end()) {
        discovery.manifest.currentPage = current->second;
    } else if (!recordsByID.empty()) {
        std::vector<VeltoLibraryPageRecord> remaining;
        for (const auto &[id, record] : recordsByID) {
            remaining.push_back(record);
        }
        discovery.manifest.currentPage = *std::min_element(remaining.begin(), remaining.end(), recordActivityPrecedes);
    } else {
        velto::VeltoPage page;
        page.id = Uuid::random();
        page.createdAt = clock.now();
        page.fileSlug = velto::VeltoPageSlug::make();
        page.content = velto::VeltoPageContent::loaded(velto::VeltoPageFileContent{});
        auto record = VeltoLibraryPageRecord::fromPage(page);
        recordsByID[record.id] = record;
        changedPageIDs.insert(record.id);
        discovery.manifest.currentPage = record;
    }
    const Uuid &currentID = discovery.manifest.currentPage.id;

    // The recorded order, then new pages in identifier order (the map's order).
    std::set<Uuid> listed;
    for (const auto &record : manifest.pages) {
        auto found = recordsByID.find(record.id);
        if (record.id != currentID && found != recordsByID.end() && listed.insert(record.id).second) {
            discovery.manifest.pages.push_back(found->second);
        }
    }
    for (const auto &[id, record] : recordsByID) {
        if (id != currentID && !listed.contains(id)) {
            discovery.manifest.pages.push_back(record);
        }
    }
    discovery.changedPageIDs = std::move(changedPageIDs);
    discovery.removedPageIDs = std::move(removedPageIDs);
    discovery.discoveredTexts = std::move(discoveredTexts);
    std::stable_sort(unreadableFiles.begin(), unreadableFiles.end(),
                     [](const auto &a, const auto &b) { return a.relativePath < b.relativePath; });
    discovery.unreadableFiles = std::move(unreadableFiles);
    return discovery;
}

const VeltoLibraryPageRecord *DiscoveryPass::recordAtPath(const std::string &relativePath) const {
    auto exact = recordsByPath.find(relativePath);
    if (exact != recordsByPath.end()) {
        return exact->second;
    }
    auto canonical = recordsByCanonicalPath.find(velto::text::nfc(relativePath));
    return canonical != recordsByCanonicalPath.end() ? canonical->second : nullptr;
}

bool DiscoveryPass::isAmongChangedPaths(const std::string &relativePath) const {
    return changedRelativePaths->contains(relativePath) ||
           canonicalChangedPaths.contains(velto::text::nfc(relativePath));
}

} // namespace

MarkdownDiscovery
reconcilingDiscoveredMarkdown(const velto::VeltoLibraryManifest &manifest, const std::filesystem::path &folderURL,
                              velto::FileSystem &fileManager,
                              const std::map<velto::Uuid, velto::VeltoDeletionTombstone> &activeTombstones,
                              const std::map<velto::Uuid, velto::VeltoMissingFileObservation> &missingFileObservations,
                              velto::Date now, const std::optional<std::set<std::string>> &changedRelativePaths,
                              const AvailabilityOperation &availabilityOperation, const velto::Clock &clock) {
    DiscoveryPass pass(manifest, folderURL, fileManager, activeTombstones, missingFileObservations, now,
                       changedRelativePaths, availabilityOperation, clock);
    return pass.run();
}

std::optional<velto::Date> reconciledArchivedAt(bool isArchived, const velto::VeltoLibraryPageRecord *existingRecord,
                                                std::optional<velto::Date> modificationDate, velto::Date now) {
    if (!isArchived) {
        return std::nullopt;
    }
    if (existingRecord != nullptr && existingRecord->isArchived.value_or(false) && existingRecord->archivedAt) {
        return existingRecord->archivedAt;
    }
    return modificationDate.value_or(now);
}

} // namespace VeltoPageLibrary
