#include "library/save/DiskChanges.h"

#include "library/folder/PageFileLocation.h"
#include "library/folder/PageFileNaming.h"
#include "library/folder/PageFileSize.h"
#include "library/load/PageLoading.h"
#include "model/LibraryErrors.h"
#include "model/LibraryPageRecord.h"
#include "model/PageFileContent.h"
#include "model/PageIndex.h"
#include "model/ThreeWayMerge.h"
#include "platform/Sha256.h"
#include "platform/Text.h"

#include <algorithm>
#include <cerrno>

namespace VeltoPageLibrary {

namespace {

using velto::Uuid;
using velto::VeltoDocument;
using velto::VeltoPage;
using velto::VeltoPageContent;
using velto::VeltoPageFileContent;

const std::string conflictCopySlug = "conflict-copy";
const std::string recoveredPageSlug = "recovered-page";

/// The archive flag as the store holds it, whatever form the page's content has.
bool storeArchiveFlag(const VeltoPage &page) {
    if (const auto *loaded = page.content.asLoaded()) {
        return loaded->isArchived();
    }
    if (page.content.asArchivedSummary() != nullptr) {
        return true;
    }
    return page.content.asUnavailable()->isArchived.value_or(false);
}

/// The file's bytes, not yet known to be text.
std::string pageFileBytes(const std::filesystem::path &url, velto::FileSystem &fileManager) {
    try {
        return fileManager.readFile(url);
    } catch (const velto::FileSystemError &error) {
        throw velto::PageFileError::unreadable(url, error.localizedDescription(), error.code());
    }
}

void checkIsUTF8(std::string_view text, const std::filesystem::path &url) {
    if (!velto::text::isValidUTF8(text)) {
        throw velto::PageFileError::unreadable(url, "The file “" + url.filename().string() +
                                                        "” couldn’t be opened using text encoding Unicode (UTF-8).");
    }
}

/// The store's own file text of the page, its metadata as held; empty for a page that is not loaded.
std::string heldFileText(const VeltoPage &page) {
    const auto *loaded = page.content.asLoaded();
    return loaded == nullptr ? std::string{} : loaded->fileContents();
}

std::optional<velto::Date> archiveDate(bool isArchived, const VeltoPage &page, velto::Date recordedAt) {
    if (!isArchived) {
        return std::nullopt;
    }
    return page.archivedAt.value_or(recordedAt);
}

/// What a page's file holds now compared with the baseline the store expects.
struct DiskComparison {
    bool changed = false;
    std::filesystem::path url;
    std::optional<SharedText> diskText; // absent when there is no file
};

/// Whether the page's file may be taken to hold its baseline until the replacement compares it: a regular file of
/// the baseline's size under the name the save replaces, of a page with text to write. The size only tells a
/// change apart early; the replacement compares every byte.
bool looksAsLastSeen(const VeltoPage &page, const LocatedPageFile &file, const VeltoPageBaseline &baseline,
                     velto::FileSystem &fileManager) {
    const auto *loaded = page.content.asLoaded();
    if (!file.underPageFileName || !baseline.fileContents || baseline.fileContents->empty() || loaded == nullptr ||
        loaded->fileContentsSize() == 0) {
        return false;
    }
    auto status = fileManager.status(file.url);
    return status && status->type == velto::FileType::regular && status->size == baseline.fileContents->size();
}

/// Throws PageFileError::unreadable when this user may not change the page's file while its folder takes new files:
/// the page's text cannot be saved there whatever is typed.
void requireReplaceable(const std::filesystem::path &url, velto::FileSystem &fileManager) {
    if (fileManager.refusesWriting(url) && !fileManager.refusesWriting(url.parent_path())) {
        throw velto::PageFileError::unreadable(
            url, "You don\u2019t have permission to change the file \u201c" + url.filename().string() + "\u201d.",
            EACCES);
    }
}

/// The text of a page file that refuses to be changed, when it holds the page exactly as the store does but for the
/// identifier a save adds to plain files: nothing was typed into the page, so nothing is to be kept beside the
/// file. Nothing when the file may be changed, cannot be read, or holds other text.
std::optional<std::string> textOfRefusingFileHoldingThePage(const VeltoPage &page, const std::filesystem::path &url,
                                                            velto::FileSystem &fileManager) {
    if (!fileManager.refusesWriting(url)) {
        return std::nullopt;
    }
    std::string text;
    try {
        text = pageFileText(url, fileManager);
    } catch (const velto::PageFileError &) {
        return std::nullopt;
    }
    if (VeltoPageFileContent::fileTextCarryingIdentifier(text, page.id) != page.persistedFileContents()) {
        return std::nullopt;
    }
    return text;
}

DiskComparison comparedWithBaseline(const VeltoPage &page, const VeltoPageBaseline &baseline, bool absentCountsAsSame,
                                    BaselineComparison comparison, const std::filesystem::path &folderURL,
                                    velto::FileSystem &fileManager) {
    auto file = locatePageFile(page, folderURL, fileManager);
    if (!file.exists) {
        return {!absentCountsAsSame && baseline.checksum.has_value(), file.url, std::nullopt};
    }
    requireReplaceable(file.url, fileManager);
    if (comparison == BaselineComparison::atReplacement && !absentCountsAsSame &&
        looksAsLastSeen(page, file, baseline, fileManager)) {
        return {false, file.url, *baseline.fileContents};
    }
    // The file usually holds exactly the text last written, which the baseline holds with its checksum, and
    // which was text when it was read or written: comparing the file with it as it is read spares a copy of
    // megabytes, checking and hashing them on every save; what was found is the baseline's own text.
    if (baseline.fileContents && fileManager.holdsExactly(file.url, *baseline.fileContents)) {
        return {false, file.url, *baseline.fileContents};
    }
    std::string text = pageFileBytes(file.url, fileManager);
    if (absentCountsAsSame && text.empty()) {
        return {false, file.url, std::move(text)};
    }
    checkIsUTF8(text, file.url);
    // A file that another program filled to the brim cannot take the page's metadata, not even as a conflict copy.
    requireRoomForMetadata(file.url, text);
    bool changed = contentChecksum(text) != baseline.checksum;
    return {changed, file.url, std::move(text)};
}

VeltoPage mergedPage(const VeltoPage &page, const std::string &mergedText, velto::Date recordedAt) {
    auto content = VeltoPageFileContent::parse(mergedText);
    VeltoPage merged;
    merged.id = page.id;
    merged.createdAt = page.createdAt;
    merged.fileSlug = page.fileSlug;
    merged.relativeFilePath = page.relativeFilePath;
    merged.updatedAt = recordedAt;
    merged.archivedAt = archiveDate(content.isArchived(), page, recordedAt);
    merged.content = VeltoPageContent::loaded(std::move(content));
    return merged;
}

/// A conflict page and whether its file was there already.
struct PreservedPage {
    VeltoPage page;
    bool fileExisted = false;
};

/// The page that keeps the other version of a page in conflict: the disk's text as a conflict copy, or the
/// store's text as a recovered page when the disk has none. A file left by an earlier attempt of the same
/// save is read back rather than made again.
PreservedPage preservedPage(const VeltoSaveRequest &request, const VeltoPage &page,
                            const std::optional<SharedText> &diskText, const std::filesystem::path &folderURL,
                            velto::FileSystem &fileManager) {
    bool isConflictCopy = diskText && !diskText->empty();
    VeltoPage preserved;
    preserved.id = deterministicConflictPageID(request.operationID, page.id);
    preserved.createdAt = isConflictCopy ? request.recordedAt : page.createdAt;
    preserved.fileSlug = isConflictCopy ? conflictCopySlug : recoveredPageSlug;
    preserved.content = VeltoPageContent::loaded(VeltoPageFileContent{});

    auto url = pageURL(pageFileName(velto::VeltoLibraryPageRecord::fromPage(preserved)), folderURL, fileManager);
    std::string text;
    bool fileExisted = fileManager.fileExists(url);
    if (fileExisted) {
        text = pageFileText(url, fileManager);
    } else {
        text = isConflictCopy ? *diskText : heldFileText(page);
    }
    auto content = VeltoPageFileContent::parse(text);
    if (isConflictCopy) {
        content.writeVeltoMetadata(content.veltoPageID(), content.isArchived(), page.id);
    }
    preserved.updatedAt = request.recordedAt;
    preserved.archivedAt = archiveDate(content.isArchived(), page, request.recordedAt);
    preserved.content = VeltoPageContent::loaded(std::move(content));
    return {std::move(preserved), fileExisted};
}

/// The page as a load holds it while its file cannot be read: unavailable, with what its file held when the store
/// last saw it.
VeltoPage pageAsLastSeen(const VeltoPage &page, const VeltoPageBaseline &baseline) {
    VeltoPage seen = page;
    if (baseline.fileContents) {
        seen.content = VeltoPageContent::loaded(VeltoPageFileContent::parse(*baseline.fileContents));
    }
    return unreadablePage(velto::VeltoLibraryPageRecord::fromPage(seen));
}

/// The file named as a load names it, relative to the Pages folder, with the read error's sentence.
VeltoUnreadablePageFile unreadableFile(const velto::PageFileError &error, const std::filesystem::path &folderURL) {
    std::filesystem::path relative = error.url().lexically_relative(folderURL);
    if (relative.empty() || *relative.begin() == "..") {
        relative = error.url().filename();
    }
    return {relative.generic_string(), error.underlyingDescription()};
}

std::uint64_t inheritedRevision(const VeltoSaveRequest &request, const Uuid &pageID) {
    auto found = request.changedPageRevisions.find(pageID);
    return found == request.changedPageRevisions.end() ? request.mutationRevision : found->second;
}

/// The resolution in progress: the request as it came, and its edited copy once a page needed a change.
struct Resolution {
    const VeltoSaveRequest &request;
    BaselineComparison comparison;
    VeltoResolvedDiskChanges result;

    const VeltoSaveRequest &current() const { return result.request ? *result.request : request; }

    VeltoSaveRequest &edited() {
        if (!result.request) {
            result.request = request;
        }
        return *result.request;
    }

    void recordConflictCopy(const VeltoPage &page, VeltoPage copy) {
        auto &changed = edited();
        changed.document.pages.push_back(copy);
        changed.changedPageRevisions[copy.id] = inheritedRevision(request, page.id);
        result.conflicts.push_back({page.id, std::move(copy)});
    }

    void recordConflictCopyOfRemovedPage(const Uuid &pageID, std::uint64_t removalRevision, VeltoPage copy) {
        auto &changed = edited();
        if (keptPageIDs) {
            keptPageIDs->insert(copy.id);
        }
        changed.document.pages.push_back(copy);
        changed.changedPageRevisions[copy.id] = removalRevision;
        result.conflicts.push_back({pageID, std::move(copy)});
    }

    /// The store's text goes to a recovered page in the page's place; the page leaves the library with its file.
    void recordRecoveredPage(const VeltoPage &page, VeltoPage recovered) {
        std::uint64_t revision = putRecoveredPageInPlace(page, recovered);
        edited().removedPageRevisions[page.id] = revision;
        result.conflicts.push_back({page.id, std::move(recovered)});
    }

    /// The store's text goes to a recovered page in the page's place; the page stays recorded at its file, which
    /// cannot be read. Neither is written or removed: removing the page would delete the file, and the deletion
    /// record would hide the page's text once the file can be read again.
    void recordRecoveredPageBesideUnreadableFile(const VeltoPage &page, const VeltoPageBaseline &baseline,
                                                 VeltoPage recovered, VeltoUnreadablePageFile file) {
        putRecoveredPageInPlace(page, recovered);
        result.pagesLeftUnread.push_back({pageAsLastSeen(page, baseline), std::move(file)});
        result.conflicts.push_back({page.id, std::move(recovered)});
    }

    /// Returns the revision of the page's change, which the recovered page takes.
    std::uint64_t putRecoveredPageInPlace(const VeltoPage &page, const VeltoPage &recovered) {
        auto &changed = edited();
        std::uint64_t revision = inheritedRevision(request, page.id);
        changed.document = changed.document.replacingPageIDs({{page.id, recovered.id}});
        velto::replacePage(changed.document, recovered);
        changed.changedPageRevisions.erase(page.id);
        changed.changedPageRevisions[recovered.id] = revision;
        auto archiveOnly = changed.archiveMetadataPageRevisions.find(page.id);
        if (archiveOnly != changed.archiveMetadataPageRevisions.end()) {
            std::uint64_t archiveRevision = archiveOnly->second;
            changed.archiveMetadataPageRevisions.erase(archiveOnly);
            changed.archiveMetadataPageRevisions[recovered.id] = archiveRevision;
        }
        result.pageIDReplacements[page.id] = recovered.id;
        return revision;
    }

    void resolve(const Uuid &pageID, const VeltoPageBaseline &baseline, bool writtenWithoutChangeMark,
                 const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
        const VeltoPage *found = velto::findPage(current().document, pageID);
        if (found == nullptr) {
            return;
        }
        DiskComparison disk;
        try {
            disk = comparedWithBaseline(*found, baseline, writtenWithoutChangeMark, comparison, folderURL, fileManager);
        } catch (const velto::PageFileError &error) {
            if (!error.isConfinedToItsFile()) {
                throw;
            }
            const VeltoPage page = *found;
            if (auto text = textOfRefusingFileHoldingThePage(page, error.url(), fileManager)) {
                result.pagesLeftAsTheirFilesHoldThem.insert_or_assign(pageID, std::move(*text));
                return;
            }
            auto recovered = preservedPage(request, page, std::nullopt, folderURL, fileManager);
            result.conflictPageOrigins[recovered.page.id] = {error.url(), recovered.fileExisted};
            recordRecoveredPageBesideUnreadableFile(page, baseline, std::move(recovered.page),
                                                    unreadableFile(error, folderURL));
            return;
        }
        if (!disk.changed) {
            result.observedPageFiles.insert_or_assign(disk.url, std::move(disk.diskText));
            return;
        }
        result.observedPageFiles.insert_or_assign(disk.url, disk.diskText);
        const VeltoPage page = *found; // a copy: what follows may replace the page in the document it lies in
        if (baseline.fileContents && disk.diskText && !disk.diskText->empty()) {
            auto merged =
                velto::VeltoThreeWayMerge::merge(*baseline.fileContents, page.persistedFileContents(), *disk.diskText);
            if (merged) {
                auto mergedValue = mergedPage(page, *merged, request.recordedAt);
                velto::replacePage(edited().document, mergedValue);
                result.mergedPages[pageID] = std::move(mergedValue);
                return;
            }
        }
        auto preserved = preservedPage(request, page, disk.diskText, folderURL, fileManager);
        result.conflictPageOrigins[preserved.page.id] = {disk.url, preserved.fileExisted};
        if (disk.diskText && !disk.diskText->empty()) {
            recordConflictCopy(page, std::move(preserved.page));
        } else {
            recordRecoveredPage(page, std::move(preserved.page));
        }
    }

    /// The identifiers of the pages the document keeps, made at the first removed page that asks (a conflict copy
    /// recorded after joins them): a save that removes a thousand pages of a large library does not walk the whole
    /// document for each of them.
    std::optional<std::set<Uuid>> keptPageIDs;

    /// The folder's own links resolved once for the files of all removed pages, at the first one.
    std::optional<PageURLResolver> removedPageURLs;

    bool documentKeeps(const Uuid &pageID) {
        if (!keptPageIDs) {
            const VeltoDocument &document = current().document;
            keptPageIDs.emplace();
            keptPageIDs->insert(document.currentPage.id);
            for (const auto &page : document.pages) {
                keptPageIDs->insert(page.id);
            }
        }
        return keptPageIDs->contains(pageID);
    }

    void noteRemovedFileChecksum(const Uuid &pageID, const std::optional<std::string> &checksum) {
        if (checksum) {
            result.removedPageFileChecksums[pageID] = *checksum;
        }
    }

    /// Notes what a removed page's file may hold as it goes. With the store's baseline checksum that is the baseline:
    /// the file is not read here, as its removal reads it once, at the moment it goes, and keeps a file another
    /// program changed since as a conflict copy that this save reports. Without one (an empty page, or one whose
    /// text the store never held), the file is read now: its text is kept as a conflict copy when another writer
    /// changed it since the baseline, and what was read is noted. Only a file that the deletion would remove counts:
    /// one that carries this page's identifier, or none.
    void preserveRemoved(const Uuid &pageID, std::uint64_t removalRevision, const VeltoPageBaseline &baseline,
                         const velto::VeltoLibraryPageRecord &record, const std::filesystem::path &folderURL,
                         velto::FileSystem &fileManager) {
        if (!record.hasContent || documentKeeps(pageID)) {
            return;
        }
        if (baseline.checksum) {
            noteRemovedFileChecksum(pageID, baseline.checksum);
            return;
        }
        if (!removedPageURLs) {
            removedPageURLs.emplace(folderURL, fileManager);
        }
        auto url = removedPageURLs->url(pageFileName(record));
        if (!fileManager.isRegularFile(url)) {
            return;
        }
        std::string diskText;
        try {
            diskText = pageFileText(url, fileManager);
        } catch (const velto::PageFileError &error) {
            if (!error.isConfinedToItsFile()) {
                throw;
            }
            // The deletion leaves a file it cannot read as it is: its bytes may be another program's.
            return;
        }
        auto diskChecksum = contentChecksum(diskText);
        if (diskText.empty() || diskChecksum == baseline.checksum) {
            noteRemovedFileChecksum(pageID, diskChecksum);
            return; // nothing there, or exactly what this writer saw when it removed the page
        }
        auto carriedPageID = VeltoPageFileContent::parse(diskText).veltoPageID();
        if (carriedPageID && *carriedPageID != pageID) {
            return; // the name now belongs to another page, whose file the deletion leaves alone
        }
        noteRemovedFileChecksum(pageID, diskChecksum); // the copy holds these bytes: the file may go with them
        VeltoPage removed;
        removed.id = pageID;
        removed.createdAt = record.createdAt;
        removed.fileSlug = record.fileSlug;
        removed.relativeFilePath = record.relativeFilePath;
        removed.archivedAt = record.archivedAt;
        auto copy = preservedPage(request, removed, SharedText(std::move(diskText)), folderURL, fileManager);
        result.conflictPageOrigins[copy.page.id] = {url, copy.fileExisted};
        recordConflictCopyOfRemovedPage(pageID, removalRevision, std::move(copy.page));
    }
};

/// A page whose archive flag cannot be written into its unreadable file: its change is left out of the save.
void leaveOutArchiveChange(VeltoSaveRequest &request, const Uuid &pageID, const velto::PageFileError &error,
                           const std::filesystem::path &folderURL, std::vector<VeltoPageNotSaved> &pagesNotSaved) {
    request.changedPageRevisions.erase(pageID);
    request.archiveMetadataPageRevisions.erase(pageID);
    pagesNotSaved.push_back(
        {pageID, unreadableFile(error, folderURL).relativePath, error.what(), VeltoPageNotSavedKind::fileUnreadable});
}

std::array<std::uint8_t, 16> truncatedDigest(const Uuid &operationID, const Uuid &originalPageID) {
    std::string bytes = "velto-conflict-copy-v1";
    bytes.append(operationID.bytes.begin(), operationID.bytes.end());
    bytes.append(originalPageID.bytes.begin(), originalPageID.bytes.end());
    auto digest = velto::sha256(bytes);
    std::array<std::uint8_t, 16> result{};
    std::copy_n(digest.begin(), 16, result.begin());
    return result;
}

} // namespace

LocatedPageFile locatePageFile(const VeltoPage &page, const std::filesystem::path &folderURL,
                               velto::FileSystem &fileManager) {
    // Only the naming fields: a full record would copy and checksum the page's whole text.
    auto record = namingRecord(page);
    auto primary = pageFileURL(pageFileName(record), folderURL, fileManager);
    if (fileManager.fileExists(primary)) {
        return {primary, true, true};
    }
    // Looked at only when the page's own name holds no file: what lies under this one is otherwise no concern.
    auto fallbackName = pageFileStem(record) + "-" + page.id.lowercaseText().substr(0, 8) + ".md";
    auto fallback = pageFileURL(fallbackName, folderURL, fileManager);
    if (fileManager.fileExists(fallback)) {
        return {fallback, true, false};
    }
    return {primary, false, true};
}

std::string pageFileText(const std::filesystem::path &url, velto::FileSystem &fileManager) {
    std::string text = pageFileBytes(url, fileManager);
    checkIsUTF8(text, url);
    return text;
}

VeltoSaveRequest mergingLatestContentsForArchiveMetadataChanges(const VeltoSaveRequest &request,
                                                                const std::filesystem::path &folderURL,
                                                                velto::FileSystem &fileManager,
                                                                ObservedPageFiles *observed,
                                                                std::vector<VeltoPageNotSaved> *pagesNotSaved) {
    if (request.archiveMetadataPageRevisions.empty()) {
        return request;
    }
    VeltoSaveRequest result = request;
    // Archiving can touch every page of a big library: each is found through one index, not by a walk.
    const velto::VeltoPageIndex pages(result.document);
    for (const auto &[pageID, revision] : request.archiveMetadataPageRevisions) {
        const VeltoPage *found = pages.find(pageID);
        if (found == nullptr) {
            continue;
        }
        LocatedPageFile file;
        std::string text;
        try {
            file = locatePageFile(*found, folderURL, fileManager);
            if (!file.exists) {
                if (observed != nullptr) {
                    observed->emplace(file.url, std::nullopt);
                }
                continue;
            }
            text = pageFileText(file.url, fileManager);
            requireRoomForMetadata(file.url, text);
        } catch (const velto::PageFileError &error) {
            if (pagesNotSaved == nullptr || !error.isConfinedToItsFile()) {
                throw;
            }
            leaveOutArchiveChange(result, pageID, error, folderURL, *pagesNotSaved);
            continue;
        }
        if (observed != nullptr) {
            observed->emplace(file.url, text);
        }
        auto content = VeltoPageFileContent::parse(text);
        content.writeVeltoMetadata(content.veltoPageID(), storeArchiveFlag(*found), content.conflictOriginalPageID());
        // Only the page's content changes, in place: the index keeps pointing at the page.
        const_cast<VeltoPage &>(*found).content = VeltoPageContent::loaded(std::move(content));
    }
    return result;
}

VeltoResolvedDiskChanges
resolvingConcurrentDiskChanges(const VeltoSaveRequest &request, const std::filesystem::path &folderURL,
                               velto::FileSystem &fileManager, const std::set<Uuid> &pagesWrittenWithoutChangeMark,
                               const std::map<Uuid, velto::VeltoLibraryPageRecord> &recordedPages,
                               BaselineComparison comparison) {
    Resolution resolution{request, comparison, {}, std::nullopt, std::nullopt};
    for (const auto &[pageID, revision] : request.changedPageRevisions) {
        if (request.archiveMetadataPageRevisions.contains(pageID)) {
            continue;
        }
        auto baseline = request.expectedPageBaselines.find(pageID);
        if (baseline == request.expectedPageBaselines.end()) {
            continue; // a page the store never saw on disk
        }
        resolution.resolve(pageID, baseline->second, false, folderURL, fileManager);
    }
    for (const auto &pageID : pagesWrittenWithoutChangeMark) {
        if (request.changedPageRevisions.contains(pageID)) {
            continue;
        }
        const VeltoPage *page = velto::findPage(request.document, pageID);
        if (page == nullptr || page->persistedFileContents().empty()) {
            continue;
        }
        // An unmarked page holds the text the store loaded, which is what it believes its file holds.
        resolution.resolve(pageID, VeltoPageBaseline::fromPage(*page), true, folderURL, fileManager);
    }
    for (const auto &[pageID, revision] : request.removedPageRevisions) {
        auto baseline = request.expectedPageBaselines.find(pageID);
        auto record = recordedPages.find(pageID);
        if (baseline == request.expectedPageBaselines.end() || record == recordedPages.end()) {
            continue; // a page the store never saw on disk, or one that has no file to remove
        }
        resolution.preserveRemoved(pageID, revision, baseline->second, record->second, folderURL, fileManager);
    }

    auto &result = resolution.result;
    if (result.request) {
        // A conflict page changes the library's structure, which must be recorded even when the store's did not.
        result.request->structureRevision = request.structureRevision.value_or(request.mutationRevision);
    }
    return std::move(result);
}

velto::Uuid deterministicConflictPageID(const velto::Uuid &operationID, const velto::Uuid &originalPageID) {
    auto bytes = truncatedDigest(operationID, originalPageID);
    bytes[6] = static_cast<std::uint8_t>(0x50 | (bytes[6] & 0x0f));
    bytes[8] = static_cast<std::uint8_t>(0x80 | (bytes[8] & 0x3f));
    return velto::Uuid{bytes};
}

} // namespace VeltoPageLibrary
