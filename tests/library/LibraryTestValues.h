#pragma once

#include "model/DeletionIndex.h"
#include "model/LibraryPageRecord.h"
#include "model/WriterState.h"
#include "platform/Date.h"
#include "platform/Uuid.h"

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Small values the library's tests build again and again.
namespace velto::librarytesting {

/// A UUID whose text begins with the given hexadecimal digits and is otherwise zeros, so that tests can
/// choose the order of identifiers and their shards: uuid("a1") is A1000000-0000-4000-8000-000000000000.
inline Uuid uuid(const std::string &leadingDigits) {
    std::string hex = leadingDigits + std::string(32 - leadingDigits.size(), '0');
    hex[12] = '4';
    hex[16] = '8';
    auto text = hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) + "-" +
                hex.substr(20);
    return *Uuid::parse(text);
}

// The pages and writers most tests need; shards "a" to "d", and writers that sort before every page.
inline const Uuid pageA = uuid("a0");
inline const Uuid pageB = uuid("b0");
inline const Uuid pageC = uuid("c0");
inline const Uuid pageD = uuid("d0");
inline const Uuid w1 = uuid("10");
inline const Uuid w2 = uuid("20");
inline const Uuid w3 = uuid("30");

inline Date at(double secondsSince1970) {
    return dateFromSecondsSince1970(secondsSince1970);
}

inline VeltoWriterVersion version(const Uuid &writerID, std::uint64_t sequence,
                                  std::vector<std::pair<Uuid, std::uint64_t>> observed = {},
                                  const Uuid &operationID = Uuid{}, Date recordedAt = at(1'767'605'400)) {
    VeltoWriterVersion result;
    result.writerID = writerID;
    result.sequence = sequence;
    result.recordedAt = recordedAt;
    result.operationID = operationID;
    if (!observed.empty()) {
        std::vector<VeltoWriterHead> heads;
        for (const auto &[writer, seen] : observed) {
            heads.push_back({writer, seen});
        }
        result.observedWriterHeads = heads;
    }
    return result;
}

inline VeltoLibraryPageRecord record(const Uuid &id, std::optional<std::string> relativeFilePath = std::nullopt) {
    VeltoLibraryPageRecord result;
    result.id = id;
    result.createdAt = at(1'767'605'400); // 2026-01-05T09:30:00Z
    result.relativeFilePath = std::move(relativeFilePath);
    result.hasContent = true;
    return result;
}

/// An empty journal of the writer.
inline VeltoWriterState journal(const Uuid &writerID) {
    VeltoWriterState state;
    state.writerID = writerID;
    return state;
}

inline VeltoWriterPageMutation mutation(const Uuid &pageID, VeltoWriterVersion stamp) {
    return {record(pageID), std::move(stamp)};
}

inline VeltoWriterDeletion deletion(const Uuid &pageID, VeltoWriterVersion stamp) {
    return {pageID, std::move(stamp)};
}

inline VeltoDeletionTombstone tombstone(const Uuid &pageID, VeltoWriterVersion stamp,
                                        std::string relativeFilePath = "page.md") {
    return {pageID, std::move(relativeFilePath), std::move(stamp)};
}

/// A page file whose front matter carries the identifier.
inline std::string pageFileText(const Uuid &pageID, const std::string &body = "Hello\n") {
    return "---\nvelto:\n  id: " + pageID.lowercaseText() + "\n---\n" + body;
}

/// A page file whose front matter carries the identifier and marks the page archived.
inline std::string archivedPageFileText(const Uuid &pageID, const std::string &body) {
    return "---\nvelto:\n  id: " + pageID.lowercaseText() + "\n  archived: true\n---\n" + body;
}

/// Inode and modification time together: a file rewritten atomically gets a new inode.
struct FileIdentity {
    ino_t inode = 0;
    timespec modified{};
    friend bool operator==(const FileIdentity &a, const FileIdentity &b) {
        return a.inode == b.inode && a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec;
    }
};

inline FileIdentity fileIdentity(const std::filesystem::path &path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return {status.st_ino, status.st_mtim};
}

} // namespace velto::librarytesting
