#include "library/removal/PendingDeletions.h"

#include "library/folder/LibraryFolder.h"
#include "library/folder/PageFileLocation.h"
#include "library/folder/PageFileNaming.h"
#include "library/metadata/CausalPreference.h"
#include "library/metadata/DeletionIndex.h"
#include "library/removal/KeptConflictCopy.h"
#include "model/ContentChecksum.h"
#include "model/LibraryErrors.h"
#include "model/PageFileContent.h"
#include "platform/Clock.h"
#include "platform/JsonCoding.h"
#include "platform/Sha256.h"
#include "platform/Text.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string_view>

namespace VeltoPageLibrary {

namespace {

using velto::Uuid;
using velto::VeltoDeletionTombstone;

/// The page identifier in a file's front matter; nothing when the file has none, or is no UTF-8 text.
std::optional<Uuid> pageIDInText(std::string_view text) {
    if (!velto::text::isValidUTF8(text)) {
        return std::nullopt;
    }
    return velto::VeltoPageFileContent::parse(text).veltoPageID();
}

/// The tombstones in force by the NFC form of their file path; the first by page identifier when several share it.
/// Built once per retry, so that a save removing a thousand files does not compare every name with every tombstone.
using TombstonesByPath = std::map<std::string, const VeltoDeletionTombstone *>;

TombstonesByPath tombstonesByPath(const std::map<Uuid, VeltoDeletionTombstone> &activeTombstones) {
    TombstonesByPath byPath;
    for (const auto &[pageID, tombstone] : activeTombstones) {
        byPath.try_emplace(velto::text::nfc(tombstone.relativeFilePath), &tombstone);
    }
    return byPath;
}

/// The tombstone in force whose file path is the name.
const VeltoDeletionTombstone *tombstoneWithPath(const std::string &name, const TombstonesByPath &tombstones) {
    auto found = tombstones.find(velto::text::nfc(name));
    return found == tombstones.end() ? nullptr : found->second;
}

/// The tombstone whose file the pending name may be; nothing when the name is to be dropped without removing
/// anything. The file itself is read only as it goes, by the removal's proof.
const VeltoDeletionTombstone *tombstoneOfPendingFile(const std::string &name, const PageURLResolver &pageURLs,
                                                     velto::FileSystem &fileManager, const TombstonesByPath &tombstones,
                                                     std::filesystem::path &url) {
    if (!isManagedPageFileName(name)) {
        return nullptr;
    }
    try {
        url = pageURLs.url(name);
        if (!fileManager.isRegularFile(url)) {
            return nullptr;
        }
    } catch (const std::exception &) {
        return nullptr;
    }
    return tombstoneWithPath(name, tombstones);
}

// A deleted page's file goes only while it holds the bytes its deletion saw. Another program may write into it
// between that moment and the removal, which comes after the journal and the manifest are synced, or only at a later
// save when the removal fails, the file was away, or the process is killed; an editor that had the file open may
// save it back with a line added long after. The bytes a later save finds prove nothing: they may hold that line. So
// the deleting save stores the checksum of what it saw in the page's tombstone (removedFileChecksum), which every
// writer reads, and notes it before the manifest lists the name, in ".velto/pending-deletions.json"
// ({"deleted.md": "af63dc4c8601ec8c"}); the removal reads the file once, as it takes it away, and compares. A file
// that differs is someone's newer text, and an edit outlives a deletion: it becomes a conflict copy of the deleted
// page that the save reports. A deletion that saw no bytes (it could not read the file, or an earlier version
// deleted the page without noting them) proves nothing, so its file never goes: its text is kept as a copy too.

std::filesystem::path notedChecksumsURL(const std::filesystem::path &folderURL) {
    return metadataDirectory(folderURL) / "pending-deletions.json";
}

using NotedChecksums = std::map<std::string, std::string>;

/// The noted checksums; none from a file that is missing or of another form.
NotedChecksums notedChecksums(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    NotedChecksums noted;
    try {
        if (!fileManager.status(notedChecksumsURL(folderURL), false)) {
            return noted;
        }
        velto::Json json = velto::decodeJSON(fileManager.readFile(notedChecksumsURL(folderURL)));
        for (const auto &[name, checksum] : json.items()) {
            if (checksum.is_string()) {
                noted.emplace(name, checksum.get<std::string>());
            }
        }
    } catch (const std::exception &) {
        noted.clear();
    }
    return noted;
}

void noteChecksums(const NotedChecksums &noted, const std::filesystem::path &folderURL,
                   velto::FileSystem &fileManager) {
    const auto url = notedChecksumsURL(folderURL);
    if (noted.empty()) {
        if (fileManager.status(url, false)) {
            fileManager.removeItem(url);
        }
        return;
    }
    velto::Json json = velto::Json::object();
    for (const auto &[name, checksum] : noted) {
        json[name] = checksum;
    }
    fileManager.writeAtomically(url, velto::encodeJSON(json));
}

/// The note of a file's bytes: their contentChecksum; an empty file has none and is noted as such.
std::string checksumToNote(std::string_view bytes) {
    return velto::contentChecksum(bytes).value_or("");
}

/// Whether the bytes are those noted. A note of 64 digits is a SHA-256, as an earlier version noted them.
bool holdsNotedBytes(std::string_view bytes, const std::string &note) {
    constexpr std::size_t sha256Digits = 64;
    return note.size() == sha256Digits ? velto::sha256Hex(bytes) == note : checksumToNote(bytes) == note;
}

/// The checksum that proves a pending file's removal: the one its tombstone carries, which every writer shares, else
/// the note of an earlier version's save; nothing when the deletion saw no bytes.
const std::string *proofChecksum(const VeltoDeletionTombstone &tombstone, const NotedChecksums &noted,
                                 const std::string &name) {
    if (tombstone.removedFileChecksum) {
        return &*tombstone.removedFileChecksum;
    }
    auto note = noted.find(name);
    return note != noted.end() ? &note->second : nullptr;
}

/// Whether a pending file that failed its proof holds the deleted page's text as another program left it: it carries
/// the page's identifier; or, where its deletion noted the bytes it was to hold (the file was the page's then), it
/// holds others without one, with a body a load would take in as a page. A file that carries another page's
/// identifier is that page's; one without an identifier that holds the noted bytes is a page file that never got
/// one, which the save removes on its own proof; an unnoted one without an identifier is no concern of the deletion.
bool holdsTheDeletedPagesText(const std::string &text, const Uuid &pageID, const std::string *note) {
    if (!velto::text::isValidUTF8(text)) {
        return false;
    }
    auto content = velto::VeltoPageFileContent::parse(text);
    if (auto carried = content.veltoPageID()) {
        return *carried == pageID;
    }
    return note != nullptr && !holdsNotedBytes(text, *note) && !content.body.empty();
}

/// Keeps a pending file that another program wrote into as a conflict copy of its deleted page; the file then goes
/// while it holds what was copied. The copy, when one was made.
std::optional<VeltoSaveConflict> keepChangedPendingFile(const std::filesystem::path &url, const Uuid &pageID,
                                                        const std::string *note, velto::FileSystem &fileManager) {
    std::string text = fileManager.readFile(url);
    if (!holdsTheDeletedPagesText(text, pageID, note)) {
        return std::nullopt;
    }
    if (auto copy = keepAsConflictCopy(url, text, velto::systemClock().now(), fileManager, pageID)) {
        return VeltoSaveConflict{pageID, std::move(*copy)};
    }
    return std::nullopt;
}

/// The file of a deleted page's name; nothing when a link on disk leads the name out of the folder, round in a loop
/// or to nothing: that file is left where it is, never read or removed through the link, and the save goes on for
/// the other names (the load names the file).
std::optional<std::filesystem::path> fileOfDeletedPage(const std::string &name, const std::filesystem::path &folderURL,
                                                       velto::FileSystem &fileManager) {
    try {
        return pageFileURL(name, folderURL, fileManager);
    } catch (const velto::PageFileError &) {
        return std::nullopt;
    }
}

} // namespace

velto::VeltoLibraryManifest manifest(const velto::VeltoLibraryManifest &base,
                                     const std::vector<VeltoDeletionTombstone> &including,
                                     const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                     const std::map<Uuid, std::string> &checkedFileChecksums) {
    velto::VeltoLibraryManifest result = base;
    result.schemaVersion = velto::VeltoLibraryManifest::currentSchemaVersion;
    std::set<std::string> names(base.pendingDeletionFileNames.begin(), base.pendingDeletionFileNames.end());
    const NotedChecksums noted = notedChecksums(folderURL, fileManager);
    NotedChecksums notes = noted;
    for (const auto &tombstone : including) {
        const auto &name = tombstone.relativeFilePath;
        if (auto checked = checkedFileChecksums.find(tombstone.pageID); checked != checkedFileChecksums.end()) {
            // This save's check gave the bytes the file at this name may hold as it goes (the store's baseline, or
            // what it read there): they are the proof, whatever the file holds by now. The removal finds the path.
            names.insert(name);
            notes[name] = checked->second;
            continue;
        }
        if (names.contains(name) && notes.contains(name)) {
            continue; // listed and noted by an earlier save
        }
        auto url = fileOfDeletedPage(name, folderURL, fileManager);
        if (!url || !fileManager.fileExists(*url)) {
            continue;
        }
        std::string bytes;
        try {
            bytes = fileManager.readFile(*url);
        } catch (const velto::FileSystemError &) {
            continue;
        }
        // A file that carries the deleted page again: proven by what the deletion saw, never by these bytes. Without
        // such a proof it is listed unnoted, so that its text is kept as a copy.
        if (pageIDInText(bytes) == tombstone.pageID) {
            names.insert(name);
            if (tombstone.removedFileChecksum) {
                notes[name] = *tombstone.removedFileChecksum;
            }
        }
    }
    result.pendingDeletionFileNames.assign(names.begin(), names.end());
    std::erase_if(notes, [&](const auto &note) { return !names.contains(note.first); });
    if (notes != noted) {
        noteChecksums(notes, folderURL, fileManager);
    }
    return result;
}

std::vector<std::string> retryPendingDeletions(const std::vector<std::string> &pendingFileNames,
                                               const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                               const std::map<Uuid, VeltoDeletionTombstone> &activeTombstones,
                                               const RemoveOperation &removeItem,
                                               std::vector<VeltoSaveConflict> *keptConflicts) {
    const NotedChecksums noted = notedChecksums(folderURL, fileManager);
    const TombstonesByPath tombstones = tombstonesByPath(activeTombstones);
    std::optional<PageURLResolver> pageURLs; // the folder's own links resolved once for all names
    try {
        pageURLs.emplace(folderURL, fileManager);
    } catch (const std::exception &) {
        return pendingFileNames; // tried again at the next write
    }
    auto report = [&](std::optional<VeltoSaveConflict> copy) {
        if (copy && keptConflicts != nullptr) {
            keptConflicts->push_back(std::move(*copy));
        }
    };
    NotedChecksums stillNoted;
    std::vector<std::string> stillPending;
    for (const auto &name : pendingFileNames) {
        std::filesystem::path url;
        const auto *tombstone = tombstoneOfPendingFile(name, *pageURLs, fileManager, tombstones, url);
        if (tombstone == nullptr) {
            continue;
        }
        const std::string *checksum = proofChecksum(*tombstone, noted, name);
        auto proof = [&](std::string_view bytes) {
            return checksum != nullptr && pageIDInText(bytes) == tombstone->pageID && holdsNotedBytes(bytes, *checksum);
        };
        auto note = noted.find(name);
        const std::string *noteOfThisName = note != noted.end() ? &note->second : nullptr;
        try {
            std::optional<std::filesystem::path> keptBeside;
            if (removeIfProven(url, proof, fileManager, removeItem, &keptBeside) == velto::ProvenRemovalOutcome::kept) {
                // The file that failed its proof: back at its name, or beside another file that came there meanwhile.
                report(
                    keepChangedPendingFile(keptBeside.value_or(url), tombstone->pageID, noteOfThisName, fileManager));
            }
        } catch (...) {
            // Tried again at the next write; the failure itself is not the user's concern.
            stillPending.push_back(name);
            if (noteOfThisName != nullptr) {
                stillNoted[name] = *noteOfThisName;
            }
        }
    }
    if (stillNoted != noted) {
        try {
            noteChecksums(stillNoted, folderURL, fileManager);
        } catch (const std::exception &) {
            // The tombstone's checksum still proves the file; one without it is kept as a copy rather than removed.
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
