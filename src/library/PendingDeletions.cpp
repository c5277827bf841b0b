#include "library/PendingDeletions.h"

#include "library/CausalPreference.h"
#include "library/DeletionIndex.h"
#include "library/LibraryFolder.h"
#include "library/PageFileLocation.h"
#include "library/PageFileNaming.h"
#include "model/PageFileContent.h"
#include "platform/Text.h"

#include <algorithm>
#include <set>
#include <string_view>

namespace VeltoPageLibrary {

namespace {

using velto::Uuid;
using velto::VeltoDeletionTombstone;

/// The page identifier in the file's front matter; nothing when the file has none, or cannot be read as
/// UTF-8 text.
std::optional<Uuid> pageIDInFile(const std::filesystem::path &url, velto::FileSystem &fileManager) {
    std::string text;
    try {
        text = fileManager.readFile(url);
    } catch (const velto::FileSystemError &) {
        return std::nullopt;
    }
    if (!velto::text::isValidUTF8(text)) {
        return std::nullopt;
    }
    return velto::VeltoPageFileContent::parse(text).veltoPageID();
}

/// Whether the file at a tombstone's path is still the deleted page's file.
bool stillHoldsDeletedPage(const std::filesystem::path &url, const Uuid &pageID, velto::FileSystem &fileManager) {
    if (!fileManager.fileExists(url)) {
        return false;
    }
    auto fileID = pageIDInFile(url, fileManager);
    return fileID && *fileID == pageID;
}

/// The tombstone in force whose file path is the name; any one of them when several share it.
const VeltoDeletionTombstone *tombstoneWithPath(const std::string &name,
                                                const std::map<Uuid, VeltoDeletionTombstone> &activeTombstones) {
    for (const auto &[pageID, tombstone] : activeTombstones) {
        if (velto::text::canonicallyEqual(tombstone.relativeFilePath, name)) {
            return &tombstone;
        }
    }
    return nullptr;
}

bool shouldRemovePendingFile(const std::string &name, const std::filesystem::path &folderURL,
                             velto::FileSystem &fileManager,
                             const std::map<Uuid, VeltoDeletionTombstone> &activeTombstones,
                             std::filesystem::path &url) {
    if (!isManagedPageFileName(name)) {
        return false;
    }
    try {
        url = pageURL(name, folderURL, fileManager);
    } catch (const std::exception &) {
        return false;
    }
    const auto *tombstone = tombstoneWithPath(name, activeTombstones);
    return tombstone != nullptr && stillHoldsDeletedPage(url, tombstone->pageID, fileManager);
}

} // namespace

velto::VeltoLibraryManifest manifest(const velto::VeltoLibraryManifest &base,
                                     const std::vector<VeltoDeletionTombstone> &including,
                                     const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    velto::VeltoLibraryManifest result = base;
    result.schemaVersion = velto::VeltoLibraryManifest::currentSchemaVersion;
    std::set<std::string> names(base.pendingDeletionFileNames.begin(), base.pendingDeletionFileNames.end());
    for (const auto &tombstone : including) {
        auto url = pageURL(tombstone.relativeFilePath, folderURL, fileManager);
        if (stillHoldsDeletedPage(url, tombstone.pageID, fileManager)) {
            names.insert(tombstone.relativeFilePath);
        }
    }
    result.pendingDeletionFileNames.assign(names.begin(), names.end());
    return result;
}

std::vector<std::string> retryPendingDeletions(const std::vector<std::string> &pendingFileNames,
                                               const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                               const std::map<Uuid, VeltoDeletionTombstone> &activeTombstones,
                                               const RemoveOperation &removeItem) {
    std::vector<std::string> stillPending;
    for (const auto &name : pendingFileNames) {
        std::filesystem::path url;
        if (!shouldRemovePendingFile(name, folderURL, fileManager, activeTombstones, url)) {
            continue;
        }
        try {
            removeItem(url);
        } catch (...) {
            // Tried again at the next write; the failure itself is not the user's concern.
            stillPending.push_back(name);
        }
    }
    return stillPending;
}

bool mayListPendingDeletions(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    std::string bytes;
    try {
        bytes = fileManager.readFile(manifestURL(folderURL));
    } catch (const velto::FileSystemError &) {
        return false;
    }
    // Quotes inside JSON strings are escaped, so the quoted key cannot be part of a file name or a slug. The key
    // is the manifest's last member; an absent key lists nothing. Anything but an empty array after it may list
    // names.
    const std::string_view key = "\"pendingDeletionFileNames\"";
    std::size_t at = bytes.rfind(key);
    if (at == std::string::npos) {
        return false;
    }
    std::string_view rest = std::string_view(bytes).substr(at + key.size());
    for (char expected : {':', '[', ']'}) {
        std::size_t next = rest.find_first_not_of(" \t\r\n");
        if (next == std::string_view::npos || rest[next] != expected) {
            return true;
        }
        rest.remove_prefix(next + 1);
    }
    return false;
}

void removeMigratedLegacyDeletionTombstones(const std::map<Uuid, VeltoDeletionTombstone> &representedTombstones,
                                            const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    const auto versionOf = [](const VeltoDeletionTombstone &t) -> const velto::VeltoWriterVersion & {
        return t.version;
    };
    for (const auto &file : jsonFiles(legacyTombstonesDirectory(folderURL), fileManager)) {
        auto legacy = decodeMetadataFile(file, fileManager, decodeDeletionTombstone);
        auto represented = representedTombstones.find(legacy.pageID);
        if (represented == representedTombstones.end()) {
            continue;
        }
        auto preferred = preferredCausalValue(std::vector{represented->second, legacy}, versionOf);
        if (*preferred == represented->second) {
            fileManager.removeItem(file);
        }
    }
}

} // namespace VeltoPageLibrary
