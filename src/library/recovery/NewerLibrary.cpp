#include "library/recovery/NewerLibrary.h"

#include "library/folder/LibraryFolder.h"
#include "library/metadata/DeletionIndex.h"
#include "library/metadata/ManifestReading.h"
#include "model/LibraryErrors.h"

namespace VeltoPageLibrary {

namespace {

void refuseNewerManifest(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    try {
        loadManifestIfPresent(folderURL, fileManager);
    } catch (const velto::UnsupportedManifestSchemaError &) {
        throw;
    } catch (const std::exception &) {
        // Damaged or unreadable: what recovery is for.
    }
}

void refuseNewerDeletionShards(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    std::vector<std::filesystem::path> shards;
    try {
        shards = jsonFiles(deletionIndexDirectory(folderURL), fileManager);
    } catch (const velto::FileSystemError &) {
        return; // a folder that cannot be listed holds nothing this check could read
    }
    for (const auto &shard : shards) {
        try {
            decodeMetadataFile(shard, fileManager, decodeDeletionIndexShard);
        } catch (const velto::UnsupportedDeletionIndexSchemaError &) {
            throw;
        } catch (const std::exception &) {
        }
    }
}

} // namespace

void refuseNewerLibrary(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    refuseNewerManifest(folderURL, fileManager);
    refuseNewerDeletionShards(folderURL, fileManager);
}

} // namespace VeltoPageLibrary
