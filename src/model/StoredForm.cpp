#include "model/StoredForm.h"

#include "platform/Text.h"

#include <chrono>
#include <string>

namespace velto {
namespace {

/// Whether a text reads back as the same bytes: UTF-8 without control characters. Any other text is
/// taken through the encoding itself.
bool isStoredAsItIs(const std::string &text) {
    for (char byte : text) {
        if (static_cast<unsigned char>(byte) < 0x20) {
            return false;
        }
    }
    return text::isASCII(text) || text::isValidUTF8(text);
}

bool isStoredAsItIs(const std::optional<std::string> &text) {
    return !text || isStoredAsItIs(*text);
}

/// Whether a date reads back as itself: whole seconds from 1970 on (a date in memory ends before the year
/// 2300, so its year always has the four digits written).
bool isStoredAsItIs(Date date) {
    auto whole = std::chrono::floor<std::chrono::seconds>(date);
    return date == whole && whole.time_since_epoch().count() >= 0;
}

bool isStoredAsItIs(const std::optional<Date> &date) {
    return !date || isStoredAsItIs(*date);
}

bool isStoredAsItIs(const VeltoLibraryPageRecord &record) {
    return isStoredAsItIs(record.createdAt) && isStoredAsItIs(record.updatedAt) && isStoredAsItIs(record.archivedAt) &&
           isStoredAsItIs(record.fileSlug) && isStoredAsItIs(record.relativeFilePath) &&
           isStoredAsItIs(record.contentChecksum) && isStoredAsItIs(record.bodyChecksum);
}

/// A record as stored; most already are, the rest (a page the save just changed) go through the encoding.
void storeRecord(VeltoLibraryPageRecord &record) {
    if (!isStoredAsItIs(record)) {
        record = VeltoLibraryPageRecord::decode(record.encode());
    }
}

/// A version as stored: only its date can change.
void storeVersion(VeltoWriterVersion &version) {
    if (!isStoredAsItIs(version.recordedAt)) {
        version = VeltoWriterVersion::fromJson(decodeJSON(encodeJSON(version.toJson())));
    }
}

} // namespace

std::optional<VeltoLibraryManifest> manifestAsStored(const VeltoLibraryManifest &manifest) {
    if (manifest.schemaVersion && *manifest.schemaVersion > VeltoLibraryManifest::currentSchemaVersion) {
        return std::nullopt;
    }
    for (const auto &name : manifest.pendingDeletionFileNames) {
        if (!isStoredAsItIs(name)) {
            return std::nullopt;
        }
    }
    try {
        VeltoLibraryManifest stored = manifest;
        if (stored.reconciliationCheckpoint) {
            stored.reconciliationCheckpoint = VeltoLibraryReconciliationCheckpoint::fromJson(
                decodeJSON(encodeJSON(stored.reconciliationCheckpoint->toJson())));
        }
        storeRecord(stored.currentPage);
        for (auto &record : stored.pages) {
            storeRecord(record);
        }
        return stored;
    } catch (const std::exception &) {
        return std::nullopt; // it would not read back: the next read decodes the file and says why
    }
}

std::optional<VeltoWriterState> journalAsStored(const VeltoWriterState &journal) {
    try {
        VeltoWriterState stored = journal;
        for (auto &mutation : stored.pageMutations) {
            storeRecord(mutation.page);
            storeVersion(mutation.version);
        }
        for (auto &deletion : stored.deletions) {
            storeVersion(deletion.version);
        }
        if (stored.structure) {
            storeVersion(stored.structure->version);
        }
        return stored;
    } catch (const std::exception &) {
        return std::nullopt; // it would not read back: the next read decodes the file and says why
    }
}

} // namespace velto
