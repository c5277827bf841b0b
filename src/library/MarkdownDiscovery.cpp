#include "library/MarkdownDiscovery.h"

#include "library/CanonicalFileLookup.h"
#include "library/IOObservation.h"
#include "library/MissingFileObservations.h"
#include "library/PageFileLocation.h"
#include "library/PageFileNaming.h"
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

bool hasMarkdownExtension(std::string_view relativePath) {
    return velto::text::lowercased(std::filesystem::path(relativePath).extension().string()) == ".md";
}

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
        , clock(clock) {}

    MarkdownDiscovery run();

private:
    // A. Preparation.
    void indexInputRecords();
    // B. Candidate files; nothing when the folder cannot be listed.
    std::optional<std::vector<std::filesystem::path>> candidateFiles();
    std::vector<std::filesystem::path> changedCandidateFiles();
    std::optional<std::vector<std::filesystem::path>> enumeratedCandidateFiles();
    void claimPagesOutsideChangedPaths();
    // C. Files present on disk.
    void discoverFile(const std::filesystem::path &url);
    std::optional<std::string> pageFileText(const std::filesystem::path &url);
    VeltoLibraryPageRecord discoveredRecord(const Uuid &id, const std::string &relativePath,
                                            const velto::FileStatus &attributes, const std::string &text,
                                            const velto::VeltoPageFileContent &content) const;
    void dropDisplacedRecords();
    // D. and E. Pages without a discovered file.
    void accountForUndiscoveredPages();
    void applyMissingFileRule(const VeltoLibraryPageRecord &record, const std::string &expectedName,
                              const std::filesystem::path &url);
    void finishMissingFileObservations();
    // F. The resulting manifest.
    MarkdownDiscovery result();

    const VeltoLibraryPageRecord *recordAtPath(const std::string &relativePath) const;
    bool isAmongChangedPaths(const std::string &relativePath) const;
    std::filesystem::path expectedFileURL(const std::string &expectedName);

    const velto::VeltoLibraryManifest &manifest;
    const std::filesystem::path &folderURL;
    velto::FileSystem &fileManager;
    const std::map<Uuid, velto::VeltoDeletionTombstone> &activeTombstones;
    const std::map<Uuid, velto::VeltoMissingFileObservation> &missingFileObservations;
    const velto::Date now;
    const std::optional<std::set<std::string>> &changedRelativePaths;
    const AvailabilityOperation &availabilityOperation;
    const velto::Clock &clock;

    std::vector<VeltoLibraryPageRecord> inputRecords;
    std::map<Uuid, VeltoLibraryPageRecord> recordsByID;
    std::map<std::string, VeltoLibraryPageRecord> recordsByPath;
    // The same records by the composed (NFC) form of their names, for files whose names another platform
    // wrote decomposed.
    std::map<std::string, VeltoLibraryPageRecord> recordsByCanonicalPath;
    std::set<std::string> canonicalChangedPaths;
    std::string rootPath;
    std::set<Uuid> claimedPageIDs;
    std::set<Uuid> displacedPageIDs;
    std::set<Uuid> changedPageIDs;
    std::set<Uuid> removedPageIDs;
    std::set<Uuid> observationsToClear;
    std::vector<velto::VeltoMissingFileObservation> newObservations;
    std::optional<std::filesystem::path> pendingMissingURL;
};

MarkdownDiscovery DiscoveryPass::run() {
    indexInputRecords();
    auto candidates = candidateFiles();
    if (!candidates) {
        return {manifest, {}, {}};
    }
    rootPath = rootPathText(folderURL, fileManager);
    for (const auto &url : *candidates) {
        discoverFile(url);
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
        recordsByCanonicalPath.try_emplace(velto::text::nfc(name), record);
        recordsByPath.try_emplace(std::move(name), record);
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
        auto url = pageURL(path, folderURL, fileManager);
        if (fileManager.fileExists(url)) {
            candidates.push_back(url);
            continue;
        }
        // A name reported in one Unicode form may be stored in the other.
        auto matching = canonicallyMatchingFileURL(folderURL, path, fileManager);
        if (matching) {
            auto matchingName = matching->lexically_relative(folderURL).generic_string();
            candidates.push_back(pageURL(matchingName, folderURL, fileManager));
        }
    }
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    return candidates;
}

std::optional<std::vector<std::filesystem::path>> DiscoveryPass::enumeratedCandidateFiles() {
    VeltoLibraryIOObservation::count([](VeltoLibraryIOCounters &counters) {
        ++counters.recursiveEnumerations;
        ++counters.fullReconciliations;
    });
    std::vector<velto::DirectoryEntry> entries;
    try {
        entries = fileManager.enumerateRecursively(folderURL);
    } catch (const velto::FileSystemError &) {
        return std::nullopt;
    }
    std::vector<std::filesystem::path> candidates;
    for (const auto &entry : entries) {
        if (entry.type == velto::FileType::regular && hasMarkdownExtension(entry.relativePath)) {
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

void DiscoveryPass::discoverFile(const std::filesystem::path &url) {
    // 1.–2. Only managed page files inside the folder, also after symbolic links.
    std::string resolved = fileManager.resolvingSymlinks(url).lexically_normal().native();
    if (!resolved.starts_with(rootPath + "/")) {
        return;
    }
    std::string relativePath = resolved.substr(rootPath.size() + 1);
    // A name that is not UTF-8 cannot be written into the metadata, which is JSON.
    if (!velto::text::isValidUTF8(relativePath) || !isManagedPageFileName(relativePath)) {
        return;
    }

    // 3. The file's attributes; a file gone since it was listed is left to the missing-file rule.
    auto attributes = fileManager.status(url);
    if (!attributes || attributes->type != velto::FileType::regular) {
        return;
    }

    // 4.–5. A file still on its way keeps the page recorded at its path, unread.
    const VeltoLibraryPageRecord *pathRecord = recordAtPath(relativePath);
    if (availabilityOperation(url, fileManager) == VeltoPageFileAvailability::temporarilyUnavailable) {
        if (pathRecord != nullptr) {
            claimedPageIDs.insert(pathRecord->id);
        }
        return;
    }

    // 6. The whole text; a file without a body is no page.
    auto text = pageFileText(url);
    if (!text) {
        return;
    }
    auto content = velto::VeltoPageFileContent::parse(*text);
    if (content.body.empty()) {
        return;
    }

    // 7.–8. The page identifier: the file's, else the one recorded at this path, else a new one; a file of a
    // deleted page is no page; an identifier that another file has taken is replaced.
    auto fileID = content.veltoPageID();
    Uuid id = fileID ? *fileID : (pathRecord != nullptr ? pathRecord->id : Uuid::random());
    if (activeTombstones.contains(id)) {
        changedPageIDs.insert(id);
        return;
    }
    if (claimedPageIDs.contains(id)) {
        id = Uuid::random();
    }
    claimedPageIDs.insert(id);

    // 9. A present file ends any missing-file observation of its page.
    removeMissingFileObservation(id, folderURL, fileManager);

    // 10.–13.
    auto existing = recordsByID.find(id);
    const VeltoLibraryPageRecord *existingRecord = existing != recordsByID.end() ? &existing->second : nullptr;
    auto record = discoveredRecord(id, relativePath, *attributes, *text, content);
    if (existingRecord == nullptr || !record.describesSamePageMutation(*existingRecord) || fileID != id) {
        changedPageIDs.insert(id);
    }
    if (pathRecord != nullptr && pathRecord->id != id) {
        // That page no longer owns this path. Its record is dropped after the pass unless a file of this
        // pass carries its identifier: two files that exchanged names must both keep their pages.
        displacedPageIDs.insert(pathRecord->id);
        changedPageIDs.insert(pathRecord->id);
    }
    recordsByID[id] = std::move(record);
}

std::optional<std::string> DiscoveryPass::pageFileText(const std::filesystem::path &url) {
    VeltoLibraryIOObservation::count([](VeltoLibraryIOCounters &counters) { ++counters.markdownContentReads; });
    std::string text;
    try {
        text = fileManager.readFile(url);
    } catch (const velto::FileSystemError &error) {
        if (isVanishedFileError(error)) {
            return std::nullopt;
        }
        throw velto::PageFileError::unreadable(url, error.localizedDescription());
    }
    if (!velto::text::isValidUTF8(text)) {
        throw velto::PageFileError::unreadable(url, "The file “" + url.filename().string() +
                                                        "” couldn’t be opened using text encoding Unicode (UTF-8).");
    }
    return text;
}

VeltoLibraryPageRecord DiscoveryPass::discoveredRecord(const Uuid &id, const std::string &relativePath,
                                                       const velto::FileStatus &attributes, const std::string &text,
                                                       const velto::VeltoPageFileContent &content) const {
    auto existing = recordsByID.find(id);
    const VeltoLibraryPageRecord *existingRecord = existing != recordsByID.end() ? &existing->second : nullptr;
    // The metadata keeps whole seconds; file dates are taken the same way so that a reload compares equal.
    velto::Date modificationDate = velto::wholeSeconds(attributes.modificationDate);

    VeltoLibraryPageRecord record;
    record.id = id;
    if (existingRecord != nullptr) {
        record.createdAt = existingRecord->createdAt;
        record.fileSlug = existingRecord->fileSlug;
    } else {
        record.createdAt = velto::wholeSeconds(attributes.creationDate.value_or(modificationDate));
    }
    bool keepsItsName = existingRecord != nullptr && pageFileName(*existingRecord) == relativePath;
    record.relativeFilePath = keepsItsName ? existingRecord->relativeFilePath : relativePath;
    record.bodyChecksum = contentChecksum(content.body);
    bool bodyUnchanged = existingRecord != nullptr && existingRecord->bodyChecksum &&
                         existingRecord->bodyChecksum == record.bodyChecksum;
    record.updatedAt = bodyUnchanged ? existingRecord->updatedAt : std::optional<velto::Date>(modificationDate);
    record.archivedAt = reconciledArchivedAt(content.isArchived(), existingRecord, modificationDate, now);
    record.hasContent = true;
    record.contentChecksum = contentChecksum(text);
    record.fileSize = static_cast<std::int64_t>(text.size());
    record.isArchived = content.isArchived();
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
        auto url = expectedFileURL(expectedName);
        switch (availabilityOperation(url, fileManager)) {
        case VeltoPageFileAvailability::available:
            observationsToClear.insert(record.id);
            break;
        case VeltoPageFileAvailability::temporarilyUnavailable:
            break;
        case VeltoPageFileAvailability::missing:
            applyMissingFileRule(record, expectedName, url);
            break;
        }
    }
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

    // 1. The current page: the recorded one, else the most recently active, else a new empty page.
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

    // 2.–3. The recorded order, then new pages in identifier order (the map's order).
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
    return discovery;
}

const VeltoLibraryPageRecord *DiscoveryPass::recordAtPath(const std::string &relativePath) const {
    auto exact = recordsByPath.find(relativePath);
    if (exact != recordsByPath.end()) {
        return &exact->second;
    }
    auto canonical = recordsByCanonicalPath.find(velto::text::nfc(relativePath));
    return canonical != recordsByCanonicalPath.end() ? &canonical->second : nullptr;
}

bool DiscoveryPass::isAmongChangedPaths(const std::string &relativePath) const {
    return changedRelativePaths->contains(relativePath) ||
           canonicalChangedPaths.contains(velto::text::nfc(relativePath));
}

/// The file where a record's page is expected; a name stored in one Unicode form finds the file stored in
/// the other.
std::filesystem::path DiscoveryPass::expectedFileURL(const std::string &expectedName) {
    auto url = pageURL(expectedName, folderURL, fileManager);
    if (fileManager.fileExists(url)) {
        return url;
    }
    auto matching = canonicallyMatchingFileURL(folderURL, expectedName, fileManager);
    if (!matching) {
        return url;
    }
    return pageURL(matching->lexically_relative(folderURL).generic_string(), folderURL, fileManager);
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
