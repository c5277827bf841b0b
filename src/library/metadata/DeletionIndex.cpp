#include "library/metadata/DeletionIndex.h"

#include "library/folder/LibraryFolder.h"
#include "library/folder/PageFileNaming.h"
#include "library/metadata/CausalPreference.h"
#include "model/LibraryErrors.h"

#include <algorithm>

namespace VeltoPageLibrary {

namespace {

using velto::LibraryMetadataError;
using velto::Uuid;
using velto::VeltoDeletionTombstone;
using Relation = velto::VeltoWriterVersion::CausalRelation;

void checkShard(const velto::VeltoDeletionIndexShard &shard) {
    const auto invalid = LibraryMetadataError(LibraryMetadataError::Kind::invalidDeletionShard);
    if (!deletionShardNames().contains(shard.shard)) {
        throw invalid;
    }
    for (const auto &tombstone : shard.deletions) {
        if (deletionShardName(tombstone.pageID) != shard.shard) {
            throw invalid;
        }
    }
}

std::string observedHeadsSignature(const velto::VeltoWriterVersion &version) {
    std::vector<std::string> heads;
    for (const auto &head : version.observedWriterHeads.value_or(std::vector<velto::VeltoWriterHead>{})) {
        heads.push_back(head.writerID.lowercaseText() + ":" + std::to_string(head.sequence));
    }
    std::sort(heads.begin(), heads.end());
    std::string joined;
    for (const auto &head : heads) {
        joined += (joined.empty() ? "" : ",") + head;
    }
    return joined;
}

/// A shard's tombstones in stored order: by page identifier, then by operation identifier.
void sortForShard(std::vector<VeltoDeletionTombstone> &tombstones) {
    std::sort(tombstones.begin(), tombstones.end(), [](const auto &a, const auto &b) {
        if (a.pageID != b.pageID) {
            return a.pageID < b.pageID;
        }
        return a.version.operationID < b.version.operationID;
    });
}

/// A tombstone names a page file of the library's own making, so a name that itself leads outside the folder is
/// damaged metadata. A link on disk that leads the name out of the folder, round in a loop or to nothing does not
/// make the record unsound: the page stays deleted, and only its file, which cannot be had, is left out by the loads
/// and saves that would look at it. Refusing the record would close the whole library over one deleted page.
void checkTombstoneName(const VeltoDeletionTombstone &tombstone) {
    if (!isManagedPageFileName(tombstone.relativeFilePath)) {
        throw LibraryMetadataError(LibraryMetadataError::Kind::unsafePagePath);
    }
}

void removeIgnoringFailure(const std::filesystem::path &url, velto::FileSystem &fileManager) {
    try {
        if (fileManager.status(url, false)) {
            fileManager.removeItem(url);
        }
    } catch (const velto::FileSystemError &) {
        // The clean-up after the verification meets the file again, and reports a failure there.
    }
}

} // namespace

std::filesystem::path deletionIndexDirectory(const std::filesystem::path &folderURL) {
    return metadataDirectory(folderURL) / "deletions";
}

std::filesystem::path legacyTombstonesDirectory(const std::filesystem::path &folderURL) {
    return metadataDirectory(folderURL) / "tombstones";
}

const std::set<std::string> &deletionShardNames() {
    static const std::set<std::string> names = [] {
        std::set<std::string> result;
        for (char character : std::string_view("0123456789abcdef")) {
            result.insert(std::string(1, character));
        }
        return result;
    }();
    return names;
}

std::string deletionShardName(const Uuid &pageID) {
    return pageID.lowercaseText().substr(0, 1);
}

velto::VeltoDeletionIndexShard decodeDeletionIndexShard(const std::string &text) {
    auto shard = velto::VeltoDeletionIndexShard::decode(text);
    checkShard(shard);
    return shard;
}

VeltoDeletionTombstone decodeDeletionTombstone(const std::string &text) {
    return VeltoDeletionTombstone::decode(text);
}

std::string deletionShardFileName(const std::string &shard) {
    return "v1-" + shard + ".json";
}

std::vector<VeltoDeletionTombstone> loadCanonicalDeletionTombstones(const std::filesystem::path &folderURL,
                                                                    velto::FileSystem &fileManager) {
    std::vector<VeltoDeletionTombstone> tombstones;
    for (const auto &file : jsonFiles(deletionIndexDirectory(folderURL), fileManager)) {
        auto shard = decodeMetadataFile(file, fileManager, decodeDeletionIndexShard);
        for (auto &tombstone : shard.deletions) {
            checkTombstoneName(tombstone);
            tombstones.push_back(std::move(tombstone));
        }
    }
    return tombstones;
}

std::vector<VeltoDeletionTombstone> loadLegacyDeletionTombstones(const std::filesystem::path &folderURL,
                                                                 velto::FileSystem &fileManager) {
    std::vector<VeltoDeletionTombstone> tombstones;
    for (const auto &file : jsonFiles(legacyTombstonesDirectory(folderURL), fileManager)) {
        auto tombstone = decodeMetadataFile(file, fileManager, decodeDeletionTombstone);
        checkTombstoneName(tombstone);
        tombstones.push_back(std::move(tombstone));
    }
    return tombstones;
}

std::map<Uuid, VeltoDeletionTombstone>
activeDeletionTombstones(const std::vector<VeltoDeletionTombstone> &tombstones,
                         const std::vector<velto::VeltoWriterState> &writerStates) {
    std::map<Uuid, std::vector<VeltoDeletionTombstone>> tombstonesByPage;
    for (const auto &tombstone : tombstones) {
        tombstonesByPage[tombstone.pageID].push_back(tombstone);
    }
    // Only the mutations of pages with a tombstone compete; they are looked at where they are, not copied out of
    // a large library's journals.
    std::map<Uuid, std::vector<const velto::VeltoWriterPageMutation *>> mutationsByPage;
    for (const auto &state : writerStates) {
        for (const auto &mutation : state.pageMutations) {
            if (tombstonesByPage.contains(mutation.page.id)) {
                mutationsByPage[mutation.page.id].push_back(&mutation);
            }
        }
    }
    const auto versionOf = [](const auto &entry) -> const velto::VeltoWriterVersion & { return entry.version; };
    const auto versionOfMutation = [](const velto::VeltoWriterPageMutation *mutation) -> const auto & {
        return mutation->version;
    };
    std::map<Uuid, VeltoDeletionTombstone> active;
    for (const auto &[pageID, group] : tombstonesByPage) {
        auto tombstone = preferredCausalValue(group, versionOf);
        auto mutations = mutationsByPage.find(pageID);
        if (mutations != mutationsByPage.end()) {
            auto mutation = preferredCausalValue(mutations->second, versionOfMutation);
            auto relation = (*mutation)->version.causalRelation(tombstone->version);
            if (relation == Relation::follows || relation == Relation::concurrent) {
                continue;
            }
        }
        active.emplace(pageID, std::move(*tombstone));
    }
    return active;
}

std::vector<VeltoDeletionTombstone>
newDeletionTombstones(const std::map<Uuid, std::uint64_t> &removedPageRevisions,
                      const std::optional<velto::VeltoLibraryManifest> &existingManifest,
                      const velto::VeltoWriterVersion &version, const std::map<Uuid, std::string> &seenFileChecksums) {
    std::vector<VeltoDeletionTombstone> tombstones;
    if (!existingManifest) {
        return tombstones;
    }
    std::map<Uuid, const velto::VeltoLibraryPageRecord *> recordsByID;
    recordsByID.emplace(existingManifest->currentPage.id, &existingManifest->currentPage);
    for (const auto &record : existingManifest->pages) {
        recordsByID.emplace(record.id, &record);
    }
    for (const auto &[pageID, revision] : removedPageRevisions) {
        auto record = recordsByID.find(pageID);
        if (record != recordsByID.end() && record->second->hasContent) {
            // Where the save's check saw nothing of the file (the store held no baseline of the page), the deletion
            // knows the file as the library recorded it.
            auto seen = seenFileChecksums.find(pageID);
            auto checksum = seen != seenFileChecksums.end() ? std::optional<std::string>(seen->second)
                                                            : record->second->contentChecksum;
            tombstones.push_back({pageID, pageFileName(*record->second), version, std::move(checksum)});
        }
    }
    return tombstones;
}

std::map<Uuid, std::string> deletionIndexSignatures(const std::map<Uuid, VeltoDeletionTombstone> &tombstones) {
    std::map<Uuid, std::string> signatures;
    for (const auto &[pageID, tombstone] : tombstones) {
        const auto &version = tombstone.version;
        signatures.emplace(pageID, tombstone.relativeFilePath + "|" + version.writerID.lowercaseText() + "|" +
                                       std::to_string(version.sequence) + "|" + version.operationID.lowercaseText() +
                                       "|" + observedHeadsSignature(version));
    }
    return signatures;
}

void persistCanonicalDeletionIndex(const std::map<Uuid, VeltoDeletionTombstone> &activeTombstones,
                                   const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                   const std::vector<velto::VeltoWriterState> &writerStates) {
    auto directory = deletionIndexDirectory(folderURL);
    if (!activeTombstones.empty()) {
        fileManager.createDirectories(directory);
    }
    if (!fileManager.status(directory)) {
        return;
    }
    std::map<std::string, std::vector<VeltoDeletionTombstone>> tombstonesByShard;
    for (const auto &[pageID, tombstone] : activeTombstones) {
        tombstonesByShard[deletionShardName(pageID)].push_back(tombstone);
    }
    std::set<std::string> keptFileNames;
    for (const auto &shardName : deletionShardNames()) {
        auto fileName = deletionShardFileName(shardName);
        auto tombstones = tombstonesByShard.find(shardName);
        if (tombstones == tombstonesByShard.end()) {
            removeIgnoringFailure(directory / fileName, fileManager);
            continue;
        }
        velto::VeltoDeletionIndexShard shard;
        shard.shard = shardName;
        shard.deletions = tombstones->second;
        sortForShard(shard.deletions);
        writeAtomicallyIfChanged(directory / fileName, shard.encode(), fileManager);
        keptFileNames.insert(fileName);
    }

    auto readBack = activeDeletionTombstones(loadCanonicalDeletionTombstones(folderURL, fileManager), writerStates);
    if (deletionIndexSignatures(readBack) != deletionIndexSignatures(activeTombstones)) {
        throw LibraryMetadataError(LibraryMetadataError::Kind::incompleteDeletionIndex);
    }

    for (const auto &file : jsonFiles(directory, fileManager)) {
        if (!keptFileNames.contains(file.filename().string())) {
            fileManager.removeItem(file);
        }
    }
}

} // namespace VeltoPageLibrary
