#include "library/save/WriteTransaction.h"

#include "library/folder/LibraryFolder.h"
#include "library/folder/LibraryLock.h"
#include "library/folder/PageFileLocation.h"
#include "library/folder/PageFileNaming.h"
#include "library/folder/PageFileSize.h"
#include "library/metadata/DeletionIndex.h"
#include "library/metadata/ManifestPersistence.h"
#include "library/metadata/ManifestReading.h"
#include "library/metadata/ManifestReconciliation.h"
#include "library/metadata/WriterStates.h"
#include "library/removal/FailedSaveConflictPages.h"
#include "library/removal/FileRemoval.h"
#include "library/save/DiskChanges.h"
#include "library/save/ManifestMerge.h"
#include "library/save/PageFileWrites.h"
#include "library/save/WriterStatePersistence.h"
#include "model/ContentChecksum.h"
#include "model/LibraryErrors.h"
#include "model/LibraryPageRecord.h"
#include "model/PageFileContent.h"

#include <map>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

namespace VeltoPageLibrary {

namespace {

using velto::Uuid;
using velto::VeltoLibraryManifest;
using velto::VeltoPage;
/// How often a save starts over when another program keeps changing a page file under it; a program that
/// rewrites it that often is left to finish, and the store tries again later.
constexpr int attemptsWhenPageFilesChange = 3;

/// The pages of a document by identifier, pointing into the document (which outlives the table).
using PageTable = std::map<Uuid, const VeltoPage *>;

PageTable pageTable(const velto::VeltoDocument &document) {
    PageTable table;
    table.emplace(document.currentPage.id, &document.currentPage);
    for (const auto &page : document.pages) {
        table.emplace(page.id, &page);
    }
    return table;
}

std::set<Uuid> identifiersToWrite(const VeltoSaveRequest &request, const PageTable &table, bool hasManifest) {
    std::set<Uuid> identifiers;
    if (hasManifest) {
        for (const auto &[pageID, revision] : request.changedPageRevisions) {
            identifiers.insert(pageID);
        }
    } else {
        for (const auto &[pageID, page] : table) {
            identifiers.insert(pageID);
        }
    }
    return identifiers;
}

/// A folder without a manifest gets every page; those the store did not mark as changed.
std::set<Uuid> pagesWrittenWithoutChangeMark(const VeltoSaveRequest &request) {
    std::set<Uuid> unmarked;
    for (const auto &[pageID, page] : pageTable(request.document)) {
        if (!request.changedPageRevisions.contains(pageID)) {
            unmarked.insert(pageID);
        }
    }
    return unmarked;
}

/// The records of the pages, by identifier, pointing into the manifest on disk; none without a manifest.
using RecordIndex = std::unordered_map<Uuid, const velto::VeltoLibraryPageRecord *, velto::UuidHash>;

RecordIndex recordIndex(const std::optional<VeltoLibraryManifest> &manifest) {
    RecordIndex index;
    if (manifest) {
        index.reserve(manifest->pages.size() + 1);
        index.emplace(manifest->currentPage.id, &manifest->currentPage);
        for (const auto &record : manifest->pages) {
            index.emplace(record.id, &record);
        }
    }
    return index;
}

/// What the manifest on disk records for the pages this save removes: a large library's other records are
/// not copied.
std::map<Uuid, velto::VeltoLibraryPageRecord>
recordsOfRemovedPages(const VeltoSaveRequest &request, const std::optional<VeltoLibraryManifest> &manifest) {
    std::map<Uuid, velto::VeltoLibraryPageRecord> recorded;
    if (request.removedPageRevisions.empty()) {
        return recorded;
    }
    auto index = recordIndex(manifest);
    for (const auto &[pageID, revision] : request.removedPageRevisions) {
        if (auto record = index.find(pageID); record != index.end()) {
            recorded.emplace(pageID, *record->second);
        }
    }
    return recorded;
}

/// The text as a page file's written text, for a page whose file already holds it.
velto::WrittenFileText writtenFileText(std::string_view text) {
    velto::FileTextBuffer buffer(text.size());
    buffer.append(text);
    return {std::move(buffer), false};
}

/// A page of the save and the name of its file in the Pages folder.
struct NamedPage {
    Uuid pageID;
    std::string fileName;
};

/// Writes the pages' files and returns the text written for each page. A page whose file would be too large, whose
/// file refuses its new text on its own account, or is a link out of the folder, is left out and named in
/// `notSaved`; the others are written.
/// A file the check read is replaced only while it still holds what the check read there; when one changed
/// meanwhile, the conflict pages written are taken back where that loses nothing, and the error says which stay
/// and whether anything written remains.
std::map<Uuid, velto::WrittenFileText> writePageFiles(const std::set<Uuid> &identifiers, const PageTable &table,
                                                      const std::filesystem::path &folderURL,
                                                      const VeltoResolvedDiskChanges &resolved,
                                                      velto::FileSystem &fileManager, const RemoveOperation &removeItem,
                                                      std::vector<VeltoPageNotSaved> &notSaved) {
    // Every name and every size is checked before the first file is written, so that a refused name stops the save
    // before it has touched any page, and a page too large to be read again is known before the others are written.
    std::map<Uuid, velto::WrittenFileText> texts;
    std::vector<PageFileWrite> files;
    std::map<std::filesystem::path, NamedPage> pageAt;
    for (const auto &pageID : identifiers) {
        auto page = table.find(pageID);
        if (page == table.end()) {
            continue;
        }
        // A file that refuses the identifier alone is left as it is; the page is recorded as the file holds it.
        if (auto left = resolved.pagesLeftAsTheirFilesHoldThem.find(pageID);
            left != resolved.pagesLeftAsTheirFilesHoldThem.end()) {
            texts.emplace(pageID, writtenFileText(left->second));
            continue;
        }
        velto::WrittenFileText text = page->second->persistedFileText();
        if (text.text.empty()) {
            continue;
        }
        auto name = pageFileName(namingRecord(*page->second));
        std::filesystem::path url;
        try {
            url = pageFileURL(name, folderURL, fileManager);
        } catch (const velto::PageFileError &error) {
            // A link out of the folder or round in a loop where the file should be: only this page waits.
            notSaved.push_back({pageID, name, error.what(), VeltoPageNotSavedKind::fileUnreadable});
            continue;
        }
        if (!pageAt.emplace(url, NamedPage{pageID, name}).second) {
            throw SharedPageFileError(name);
        }
        try {
            requireFitsAsPageFile(url, text.text.size(), *page->second->content.asLoaded());
        } catch (const PageFileTooLargeError &error) {
            notSaved.push_back({pageID, name, error.what(), VeltoPageNotSavedKind::tooLarge});
            continue;
        }
        files.push_back({url, texts.emplace(pageID, std::move(text)).first->second.text.view(), pageID});
    }
    std::set<std::filesystem::path> replaced;
    std::vector<RefusedPageFile> refused;
    try {
        VeltoPageLibrary::writePageFiles(files, resolved.observedPageFiles, resolvingAllLinks(folderURL, fileManager),
                                         fileManager, replaced, &refused);
    } catch (const PageFileChangedDuringSaveError &error) {
        auto leftovers = takeBackConflictPages(resolved, files, resolved.observedPageFiles, replaced, folderURL,
                                               fileManager, removeItem);
        // The copy of another program's file that the replacement left aside stays, and is named with the others.
        const auto &keptOfTheirFile = error.keptConflicts();
        leftovers.keptConflicts.insert(leftovers.keptConflicts.end(), keptOfTheirFile.begin(), keptOfTheirFile.end());
        throw PageFileChangedDuringSaveError(error.url(), leftovers.filesRemain || !keptOfTheirFile.empty(),
                                             std::move(leftovers.keptConflicts));
    }
    for (auto &file : refused) {
        const NamedPage &page = pageAt.at(file.url);
        texts.erase(page.pageID);
        auto kind = file.unreadable      ? VeltoPageNotSavedKind::fileUnreadable
                    : file.folderRefuses ? VeltoPageNotSavedKind::folderRefuses
                                         : VeltoPageNotSavedKind::fileRefuses;
        notSaved.push_back({page.pageID, page.fileName, std::move(file.description), kind});
    }
    return texts;
}

/// The request without the changes of the pages it could not write: their records and the journal stay as they
/// were, and the store keeps holding those changes.
VeltoSaveRequest leavingOutPagesNotSaved(const VeltoSaveRequest &request,
                                         const std::vector<VeltoPageNotSaved> &notSaved) {
    VeltoSaveRequest saved = request;
    for (const auto &page : notSaved) {
        saved.changedPageRevisions.erase(page.pageID);
        saved.archiveMetadataPageRevisions.erase(page.pageID);
    }
    return saved;
}

/// A page that this save emptied: loaded, with no text left to write. A summary has no text in memory
/// either, but its file is still the page's.
bool isEmptiedPage(const VeltoPage &page) {
    // The persisted text is empty exactly when the held file text is: counted, not made.
    const auto *loaded = page.content.asLoaded();
    return loaded != nullptr && loaded->fileContentsSize() == 0;
}

/// Removes the old file of every page this save emptied. Left in place, its old text would come back at
/// the next scan of the folder. Only a file that still carries the page and holds exactly the text the
/// store expected goes; one that another writer changed meanwhile stays, so nobody's text is lost. This runs
/// after the journal recorded the empty page, so that a crash before the commit still loads the page empty.
void removeEmptiedPageFiles(const VeltoSaveRequest &request, const PageTable &table,
                            const std::optional<VeltoLibraryManifest> &existingManifest,
                            const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                            const RemoveOperation &removeItem) {
    std::optional<RecordIndex> recorded; // made for the first emptied page
    for (const auto &[pageID, revision] : request.changedPageRevisions) {
        auto page = table.find(pageID);
        auto baseline = request.expectedPageBaselines.find(pageID);
        if (page == table.end() || !isEmptiedPage(*page->second) || baseline == request.expectedPageBaselines.end() ||
            !baseline->second.checksum) {
            continue;
        }
        if (!recorded) {
            recorded = recordIndex(existingManifest);
        }
        std::set<std::filesystem::path> candidates;
        auto located = locatePageFile(*page->second, folderURL, fileManager);
        if (located.exists) {
            candidates.insert(located.url);
        }
        auto previous = recorded->find(pageID);
        if (previous != recorded->end() && previous->second->hasContent) {
            candidates.insert(pageURL(pageFileName(*previous->second), folderURL, fileManager));
        }
        // Proven by its bytes as it goes: text another writer put there since the store saw it stays.
        const auto &expectedChecksum = baseline->second.checksum;
        const auto &emptiedPageID = pageID; // a structured binding cannot be captured before C++20 compilers caught up
        auto holdsTheStoresText = [&](std::string_view bytes) {
            return velto::VeltoPageFileContent::parse(bytes).veltoPageID() == emptiedPageID &&
                   contentChecksum(bytes) == expectedChecksum;
        };
        for (const auto &url : candidates) {
            if (!fileManager.isRegularFile(url)) {
                continue;
            }
            removeIfProven(url, holdsTheStoresText, fileManager, removeItem);
        }
    }
}

/// The page file names of the pages a document keeps.
std::set<std::string> keptPageFileNames(const PageTable &table) {
    std::set<std::string> names;
    for (const auto &[pageID, page] : table) {
        names.insert(pageFileName(namingRecord(*page)));
    }
    return names;
}

/// A removed page whose file never got an identifier (a Markdown file that another program put into the
/// folder and nobody has edited here) is not removed by the pending deletions, which only remove a file
/// that names its page; left in place, the next load would take it up again as a new page. Such a file
/// goes when it still holds exactly the text the library recorded for the page. One that changed since, or
/// that another page of the document uses, stays, so that nobody's text is lost; so does one whose removal
/// fails.
void removeUnidentifiedFilesOfRemovedPages(const VeltoSaveRequest &request, const PageTable &table,
                                           const std::optional<VeltoLibraryManifest> &existingManifest,
                                           const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                           const RemoveOperation &removeItem) {
    if (!existingManifest || request.removedPageRevisions.empty()) {
        return;
    }
    auto recorded = recordIndex(existingManifest);
    auto keptNames = keptPageFileNames(table);
    std::optional<PageURLResolver> pageURLs; // the folder's own links resolved once, at the first file looked at
    for (const auto &[pageID, revision] : request.removedPageRevisions) {
        auto found = recorded.find(pageID);
        if (table.contains(pageID) || found == recorded.end() || !found->second->hasContent ||
            !found->second->contentChecksum) {
            continue;
        }
        const auto &record = *found->second;
        auto name = pageFileName(record);
        if (keptNames.contains(name)) {
            continue;
        }
        try {
            if (!pageURLs) {
                pageURLs.emplace(folderURL, fileManager);
            }
            auto url = pageURLs->url(name);
            if (!fileManager.isRegularFile(url)) {
                continue;
            }
            auto holdsTheRecordedText = [&](std::string_view bytes) {
                return !velto::VeltoPageFileContent::parse(bytes).veltoPageID() &&
                       contentChecksum(bytes) == record.contentChecksum;
            };
            removeIfProven(url, holdsTheRecordedText, fileManager, removeItem);
        } catch (const std::exception &) {
            // The file stays; at worst the page comes back at the next load, with its text.
        }
    }
}

/// The baselines of the changed pages: the text written (taken out of `writtenTexts`) with the checksum its
/// record already holds, so that no page is hashed twice, and the hash states that making the record kept
/// (taken out of `checkpoints`), from which the next save of the page resumes.
std::map<Uuid, VeltoPageBaseline> persistedBaselines(const VeltoSaveRequest &request, const PageTable &table,
                                                     std::map<Uuid, velto::WrittenFileText> &writtenTexts,
                                                     const ChangedPageRecords &changedRecords,
                                                     ChecksumCheckpointsByPage &checkpoints) {
    std::map<Uuid, VeltoPageBaseline> baselines;
    for (const auto &[pageID, revision] : request.changedPageRevisions) {
        auto page = table.find(pageID);
        if (page == table.end()) {
            continue;
        }
        auto written = writtenTexts.find(pageID);
        SharedText text = written != writtenTexts.end() ? SharedText(std::move(written->second.text))
                                                        : SharedText(page->second->persistedFileContents());
        auto record = changedRecords.find(pageID);
        auto checksum = record != changedRecords.end() ? record->second.contentChecksum : contentChecksum(text);
        auto made = checkpoints.find(pageID);
        auto madeCheckpoints = made != checkpoints.end() ? std::move(made->second) : nullptr;
        baselines[pageID] = {std::move(checksum), std::move(text), std::move(madeCheckpoints)};
    }
    return baselines;
}

/// How the save's check compares the page files it looks at. The replacement of a page file compares the file it
/// swaps out in any case; when that file is the only one the save writes before its journal, its first attempt
/// leaves the comparison to it, sparing a second read of a page of megabytes after every pause in typing. A
/// difference found there has written nothing yet: the next attempt compares before writing, and merges.
BaselineComparison baselineComparison(const VeltoSaveRequest &request, bool hasManifest, int attempt) {
    // Without a manifest every page is written; a removed page's changed file is kept as a new conflict copy.
    bool writesOnePageFile = hasManifest && request.changedPageRevisions.size() == 1 &&
                             request.removedPageRevisions.empty() && request.archiveMetadataPageRevisions.empty();
    return attempt == 1 && writesOnePageFile ? BaselineComparison::atReplacement : BaselineComparison::beforeWriting;
}

std::vector<velto::VeltoDeletionTombstone>
tombstoneValues(const std::map<Uuid, velto::VeltoDeletionTombstone> &tombstones) {
    std::vector<velto::VeltoDeletionTombstone> values;
    for (const auto &[pageID, tombstone] : tombstones) {
        values.push_back(tombstone);
    }
    return values;
}

/// Whether the request marks nothing to write: no page changed, archived, restored or removed, and the order
/// as it was.
bool marksNoChange(const VeltoSaveRequest &request) {
    return request.changedPageRevisions.empty() && request.archiveMetadataPageRevisions.empty() &&
           request.removedPageRevisions.empty() && !request.structureRevision.has_value();
}

/// The conflict copies that removals of deleted pages' files made of what another program wrote into them go into
/// the save's result as the copies its check makes do, so that this save tells the user; each with the text its
/// file holds as its baseline, as a page the save wrote.
void reportConflictCopiesKeptAtRemoval(std::vector<VeltoSaveConflict> kept, VeltoSaveResult &result) {
    for (auto &conflict : kept) {
        const VeltoPage &copy = conflict.preservedPage;
        std::string written(copy.persistedFileText().text.view());
        auto checksum = contentChecksum(written);
        result.persistedPageBaselines[copy.id] = {std::move(checksum), std::move(written)};
        result.conflicts.push_back(std::move(conflict));
    }
}

/// One attempt at the save, from reading what is on disk to the commit and the clean-up after it.
VeltoSaveResult attemptWrite(const VeltoSaveRequest &request, int attempt, const std::filesystem::path &folderURL,
                             velto::FileSystem &fileManager, const RemoveOperation &removeItem,
                             const TransactionHook &beforeManifestCommit) {
    // What is on disk now, never what the store loaded earlier.
    auto existingManifest = loadManifestIfPresent(folderURL, fileManager);
    std::optional<velto::VeltoLibraryReconciliationCheckpoint> initialCheckpoint;
    if (!existingManifest && !containsMarkdownFiles(folderURL, fileManager)) {
        initialCheckpoint = currentReconciliationCheckpoint(folderURL);
    }

    // Other writers' changes to the pages this save writes.
    // The document may hold megabytes of text: it is copied only when the archive step changes it.
    std::optional<VeltoSaveRequest> archiveMerged;
    ObservedPageFiles archiveObserved;
    std::vector<VeltoPageNotSaved> notSaved;
    if (!request.archiveMetadataPageRevisions.empty()) {
        archiveMerged = mergingLatestContentsForArchiveMetadataChanges(request, folderURL, fileManager,
                                                                       &archiveObserved, &notSaved);
    }
    const VeltoSaveRequest &latest = archiveMerged ? *archiveMerged : request;
    auto unmarked = existingManifest ? std::set<Uuid>{} : pagesWrittenWithoutChangeMark(latest);
    auto comparison = baselineComparison(latest, existingManifest.has_value(), attempt);
    auto resolved = resolvingConcurrentDiskChanges(latest, folderURL, fileManager, unmarked,
                                                   recordsOfRemovedPages(latest, existingManifest), comparison);
    resolved.observedPageFiles.merge(archiveObserved);
    const VeltoSaveRequest &resolvedRequest = resolved.request ? *resolved.request : latest;
    PageTable table = pageTable(resolvedRequest.document);

    // The page files; the pages that could not be written are left out of what follows.
    auto writtenTexts = writePageFiles(identifiersToWrite(resolvedRequest, table, existingManifest.has_value()), table,
                                       folderURL, resolved, fileManager, removeItem, notSaved);
    std::optional<VeltoSaveRequest> withoutNotSaved;
    if (!notSaved.empty()) {
        withoutNotSaved = leavingOutPagesNotSaved(resolvedRequest, notSaved);
    }
    const VeltoSaveRequest &finalRequest = withoutNotSaved ? *withoutNotSaved : resolvedRequest;
    if (!notSaved.empty() && existingManifest && marksNoChange(finalRequest)) {
        // Only pages that could not be written: the library stays exactly as it was.
        VeltoSaveResult unchanged;
        unchanged.pagesNotSaved = std::move(notSaved);
        return unchanged;
    }

    // The base manifest and this writer's journal.
    ChecksumCheckpointsByPage checksumCheckpoints;
    auto changedRecords = changedPageRecords(finalRequest, &writtenTexts, &checksumCheckpoints);
    auto base = mergedManifest(finalRequest, existingManifest, initialCheckpoint, &changedRecords);
    auto observedStates = loadWriterStates(folderURL, fileManager);
    auto update = persistWriterState(finalRequest, folderURL, fileManager, observedStates, &changedRecords);
    // The observed journals are not needed any more: they move, as a large library's are megabytes.
    std::vector<velto::VeltoWriterState> writerStates;
    writerStates.reserve(observedStates.size() + 1);
    for (auto &state : observedStates) {
        if (state.writerID != finalRequest.writerID) {
            writerStates.push_back(std::move(state));
        }
    }
    writerStates.push_back(std::move(update.state));
    removeEmptiedPageFiles(finalRequest, table, existingManifest, folderURL, fileManager, removeItem);

    // The deletion index and the compacted journals.
    auto tombstones = loadLegacyDeletionTombstones(folderURL, fileManager);
    for (auto &tombstone : loadCanonicalDeletionTombstones(folderURL, fileManager)) {
        tombstones.push_back(std::move(tombstone));
    }
    // Each new tombstone carries the bytes this save saw in the removed page's file: whichever writer meets that file
    // later, its removal is proven by them and by nothing it reads itself.
    for (auto &tombstone : newDeletionTombstones(finalRequest.removedPageRevisions, existingManifest, update.version,
                                                 resolved.removedPageFileChecksums)) {
        tombstones.push_back(std::move(tombstone));
    }
    auto activeTombstones = activeDeletionTombstones(tombstones, writerStates);
    persistCanonicalDeletionIndex(activeTombstones, folderURL, fileManager, writerStates);
    auto compactedStates = compactWriterStates(std::move(writerStates), activeTombstones, folderURL, fileManager);

    // The commit.
    auto active = tombstoneValues(activeTombstones);
    auto reconciled = reconciledManifest(base, compactedStates, active);
    if (!reconciled) {
        throw velto::LibraryMetadataError(velto::LibraryMetadataError::Kind::missingPageRecords);
    }
    auto committed = manifest(*reconciled, active, folderURL, fileManager, resolved.removedPageFileChecksums);
    if (beforeManifestCommit) {
        beforeManifestCommit();
    }
    persist(committed, folderURL, fileManager);

    // After the commit: clean-up that a later save repeats when it fails.
    removeMigratedLegacyDeletionTombstones(activeTombstones, folderURL, fileManager);
    std::vector<VeltoSaveConflict> keptAtRemoval;
    auto stillPending = retryPendingDeletions(committed.pendingDeletionFileNames, folderURL, fileManager,
                                              activeTombstones, removeItem, &keptAtRemoval);
    if (stillPending != committed.pendingDeletionFileNames) {
        committed.pendingDeletionFileNames = stillPending;
        persist(committed, folderURL, fileManager);
    }
    removeUnidentifiedFilesOfRemovedPages(finalRequest, table, existingManifest, folderURL, fileManager, removeItem);

    VeltoSaveResult result{persistedBaselines(finalRequest, table, writtenTexts, changedRecords, checksumCheckpoints),
                           std::move(resolved.conflicts),
                           std::move(resolved.pageIDReplacements),
                           std::move(resolved.mergedPages),
                           std::move(resolved.pagesLeftUnread),
                           std::move(notSaved)};
    reportConflictCopiesKeptAtRemoval(std::move(keptAtRemoval), result);
    return result;
}

/// Tries the manifest's pending deletions again for a save that changes nothing else; the caller holds the library
/// lock. Only the manifest's pending list is written, and only when a removal succeeded or a name no longer
/// applies. A manifest of an older schema is left to the next save that changes something, which rewrites it whole.
VeltoSaveResult retryPendingDeletionsAlone(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                           const RemoveOperation &removeItem) {
    VeltoSaveResult result;
    auto existing = loadManifestIfPresent(folderURL, fileManager);
    if (!existing || existing->pendingDeletionFileNames.empty() ||
        existing->schemaVersion != VeltoLibraryManifest::currentSchemaVersion) {
        return result;
    }
    auto tombstones = loadLegacyDeletionTombstones(folderURL, fileManager);
    for (auto &tombstone : loadCanonicalDeletionTombstones(folderURL, fileManager)) {
        tombstones.push_back(std::move(tombstone));
    }
    auto activeTombstones = activeDeletionTombstones(tombstones, loadWriterStates(folderURL, fileManager));
    std::vector<VeltoSaveConflict> keptAtRemoval;
    auto stillPending = retryPendingDeletions(existing->pendingDeletionFileNames, folderURL, fileManager,
                                              activeTombstones, removeItem, &keptAtRemoval);
    if (stillPending != existing->pendingDeletionFileNames) {
        existing->pendingDeletionFileNames = std::move(stillPending);
        persist(*existing, folderURL, fileManager);
    }
    reportConflictCopiesKeptAtRemoval(std::move(keptAtRemoval), result);
    return result;
}

} // namespace

VeltoSaveResult write(const VeltoSaveRequest &request, const std::filesystem::path &folderURL,
                      velto::FileSystem &fileManager, const RemoveOperation &removeItem,
                      const TransactionHook &beforeLockAcquisition, const TransactionHook &beforeManifestCommit) {
    // The store saves before every refresh, the first one as the library opens: over a library in place, a save
    // of nothing leaves every file as it is. Written anyway, the manifest and this writer's journal (megabytes
    // in a big library) would be written again at each launch and each change another program makes, and other
    // writers would see the library change. A library whose manifest is gone is written anew from the request.
    // Files of deleted pages whose removal failed are tried again though, or only the next edit would try them; a
    // conflict copy their removal makes is reported.
    if (marksNoChange(request) && fileManager.isRegularFile(manifestURL(folderURL))) {
        if (mayListPendingDeletions(folderURL, fileManager)) {
            return withLibraryLocks({folderURL}, LibraryLockMode::exclusive, beforeLockAcquisition,
                                    [&] { return retryPendingDeletionsAlone(folderURL, fileManager, removeItem); });
        }
        return {};
    }
    request.document.validate();
    validatePagePaths(request.document, folderURL, fileManager);
    createLibraryDirectories(folderURL, fileManager);
    return withLibraryLocks({folderURL}, LibraryLockMode::exclusive, beforeLockAcquisition, [&] {
        return writeWithoutLock(request, folderURL, fileManager, removeItem, beforeManifestCommit);
    });
}

// Another program may change a page file between the save's check of it and its replacement; the replacement
// then leaves that file alone. A save that had written nothing yet, or took back the conflict pages that were all
// it had written, is as if it had never run, and starts over from what is on disk now. One that leaves other files
// stops, and the store saves again once it has taken the change in.
VeltoSaveResult writeWithoutLock(const VeltoSaveRequest &request, const std::filesystem::path &folderURL,
                                 velto::FileSystem &fileManager, const RemoveOperation &removeItem,
                                 const TransactionHook &beforeManifestCommit) {
    for (int attempt = 1;; ++attempt) {
        try {
            return attemptWrite(request, attempt, folderURL, fileManager, removeItem, beforeManifestCommit);
        } catch (const PageFileChangedDuringSaveError &error) {
            if (error.earlierFilesWritten() || attempt == attemptsWhenPageFilesChange) {
                throw;
            }
        }
    }
}

} // namespace VeltoPageLibrary
