#include "library/save/ManifestMerge.h"

#include "library/folder/PageFileNaming.h"

#include <algorithm>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace VeltoPageLibrary {

namespace {

using velto::Uuid;
using velto::VeltoLibraryManifest;
using velto::VeltoLibraryPageRecord;
// The records are looked at where they are, in the manifest read and the save's changed records: a library
// of ten thousand pages is not copied into tables on every save.
using RecordsByID = std::map<Uuid, const VeltoLibraryPageRecord *>;

std::vector<const VeltoLibraryPageRecord *> existingRecords(const VeltoLibraryManifest &manifest) {
    std::vector<const VeltoLibraryPageRecord *> result;
    result.reserve(manifest.pages.size() + 1);
    result.push_back(&manifest.currentPage);
    for (const auto &record : manifest.pages) {
        result.push_back(&record);
    }
    return result;
}

RecordsByID indexedByID(const std::vector<const VeltoLibraryPageRecord *> &records) {
    RecordsByID index;
    for (const auto *record : records) {
        index[record->id] = record;
    }
    return index;
}

std::vector<Uuid> documentOrder(const velto::VeltoDocument &document) {
    std::vector<Uuid> result{document.currentPage.id};
    result.reserve(document.pages.size() + 1);
    for (const auto &page : document.pages) {
        result.push_back(page.id);
    }
    return result;
}

std::vector<Uuid> identifiers(const std::vector<const VeltoLibraryPageRecord *> &records) {
    std::vector<Uuid> result;
    result.reserve(records.size());
    for (const auto *record : records) {
        result.push_back(record->id);
    }
    return result;
}

/// `made` keeps the record made from the document when no recorded page is left to be current.
VeltoLibraryPageRecord currentRecord(const VeltoSaveRequest &request, const VeltoLibraryManifest &existing,
                                     RecordsByID &merged, std::optional<VeltoLibraryPageRecord> &made) {
    Uuid requested = request.document.currentPage.id;
    Uuid recorded = existing.currentPage.id;
    // A save that did not touch the structure leaves the current page to whoever set it last.
    std::vector<Uuid> preference =
        request.structureRevision ? std::vector<Uuid>{requested, recorded} : std::vector<Uuid>{recorded, requested};
    for (const auto &id : preference) {
        auto found = merged.find(id);
        if (found != merged.end()) {
            return *found->second;
        }
    }
    if (!merged.empty()) {
        // The first of the most recently active, in identifier order.
        const VeltoLibraryPageRecord *best = nullptr;
        for (const auto &[id, record] : merged) {
            if (best == nullptr || recordActivityPrecedes(*record, *best)) {
                best = record;
            }
        }
        return *best;
    }
    made = VeltoLibraryPageRecord::fromPage(request.document.currentPage);
    merged[made->id] = &*made;
    return *made;
}

std::vector<VeltoLibraryPageRecord> orderedOtherPages(const std::vector<Uuid> &first, const std::vector<Uuid> &second,
                                                      const Uuid &currentID, const RecordsByID &merged) {
    std::vector<VeltoLibraryPageRecord> pages;
    pages.reserve(merged.size());
    std::unordered_set<Uuid, velto::UuidHash> placed;
    placed.reserve(merged.size() + 1);
    placed.insert(currentID);
    for (const auto *order : {&first, &second}) {
        for (const auto &id : *order) {
            auto found = merged.find(id);
            if (found != merged.end() && placed.insert(id).second) {
                pages.push_back(*found->second);
            }
        }
    }
    // Byte order of identifiers is the order of their upper-case texts.
    for (const auto &[id, record] : merged) {
        if (placed.insert(id).second) {
            pages.push_back(*record);
        }
    }
    return pages;
}

std::vector<std::string> pendingDeletions(const VeltoSaveRequest &request, const VeltoLibraryManifest &existing,
                                          const std::vector<const VeltoLibraryPageRecord *> &existingInOrder,
                                          const ChangedPageRecords &requested, const RecordsByID &merged) {
    std::set<std::string> names(existing.pendingDeletionFileNames.begin(), existing.pendingDeletionFileNames.end());
    for (const auto *record : existingInOrder) {
        if (!merged.contains(record->id) && record->hasContent) {
            names.insert(pageFileName(*record));
        }
    }
    // The file of a page that this save emptied has to go, or its old text would come back at the next scan.
    // A save can change every page of a big library (archiving): the records are found through one index.
    std::unordered_map<velto::Uuid, const VeltoLibraryPageRecord *, velto::UuidHash> existingByID;
    if (!request.changedPageRevisions.empty()) {
        for (const auto *record : existingInOrder) {
            existingByID.emplace(record->id, record); // the first record of an identifier, as a search finds
        }
    }
    for (const auto &[id, revision] : request.changedPageRevisions) {
        auto previous = existingByID.find(id);
        if (previous == existingByID.end() || !previous->second->hasContent) {
            continue;
        }
        auto now = requested.find(id);
        if (now == requested.end() || !now->second.hasContent) {
            names.insert(pageFileName(*previous->second));
        }
    }
    return {names.begin(), names.end()};
}

} // namespace

ChangedPageRecords changedPageRecords(const VeltoSaveRequest &request,
                                      const std::map<velto::Uuid, velto::WrittenFileText> *writtenTexts,
                                      ChecksumCheckpointsByPage *checkpointsMade) {
    ChangedPageRecords records;
    auto add = [&](const velto::VeltoPage &page) {
        if (!request.changedPageRevisions.contains(page.id)) {
            return;
        }
        const velto::WrittenFileText *written = nullptr;
        if (writtenTexts != nullptr) {
            if (auto found = writtenTexts->find(page.id); found != writtenTexts->end()) {
                written = &found->second;
            }
        }
        auto baseline = request.expectedPageBaselines.find(page.id);
        velto::ContentChecksumResumption resumption = baseline != request.expectedPageBaselines.end()
                                                          ? baseline->second.checksumResumption()
                                                          : velto::ContentChecksumResumption{};
        records.insert_or_assign(page.id, VeltoLibraryPageRecord::fromPage(page, written, &resumption));
        if (checkpointsMade != nullptr) {
            (*checkpointsMade)[page.id] =
                resumption.made.textChecksum
                    ? std::make_shared<const velto::ContentChecksumCheckpoints>(std::move(resumption.made))
                    : nullptr;
        }
    };
    add(request.document.currentPage);
    for (const auto &page : request.document.pages) {
        add(page);
    }
    return records;
}

VeltoLibraryManifest
mergedManifest(const VeltoSaveRequest &request, const std::optional<VeltoLibraryManifest> &existingManifest,
               const std::optional<velto::VeltoLibraryReconciliationCheckpoint> &initialReconciliationCheckpoint,
               const ChangedPageRecords *changedRecords) {
    if (!existingManifest) {
        auto manifest = VeltoLibraryManifest::fromDocument(request.document);
        manifest.schemaVersion = VeltoLibraryManifest::currentSchemaVersion;
        manifest.reconciliationCheckpoint = initialReconciliationCheckpoint;
        return manifest;
    }

    auto existingInOrder = existingRecords(*existingManifest);
    ChangedPageRecords madeRecords;
    if (changedRecords == nullptr) {
        madeRecords = changedPageRecords(request);
    }
    const ChangedPageRecords &requested = changedRecords != nullptr ? *changedRecords : madeRecords;
    RecordsByID merged = indexedByID(existingInOrder);

    // Removals before changes: a page both removed and still in the document keeps its new record.
    for (const auto &[id, revision] : request.removedPageRevisions) {
        merged.erase(id);
    }
    for (const auto &[id, revision] : request.changedPageRevisions) {
        auto found = requested.find(id);
        if (found != requested.end()) {
            merged[id] = &found->second;
        }
    }

    VeltoLibraryManifest result;
    result.schemaVersion = VeltoLibraryManifest::currentSchemaVersion;
    result.reconciliationCheckpoint = existingManifest->reconciliationCheckpoint;
    std::optional<VeltoLibraryPageRecord> madeCurrent;
    result.currentPage = currentRecord(request, *existingManifest, merged, madeCurrent);

    auto requestOrder = documentOrder(request.document);
    auto existingOrder = identifiers(existingInOrder);
    result.pages = request.structureRevision
                       ? orderedOtherPages(requestOrder, existingOrder, result.currentPage.id, merged)
                       : orderedOtherPages(existingOrder, requestOrder, result.currentPage.id, merged);
    result.pendingDeletionFileNames = pendingDeletions(request, *existingManifest, existingInOrder, requested, merged);
    return result;
}

} // namespace VeltoPageLibrary
