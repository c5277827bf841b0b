#pragma once

#include "model/WriterVersion.h"
#include "platform/JsonCoding.h"
#include "platform/Uuid.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velto {

/// The record of one removed page, stamped with the causal version of the removal.
struct VeltoDeletionTombstone {
    Uuid pageID;
    std::string relativeFilePath; // at the time of removal
    VeltoWriterVersion version;
    /// The contentChecksum of the bytes the deleting writer saw in the page's file ("" for an empty file): the proof
    /// every later removal of a file at that path is held to. Absent where the deletion saw no bytes (it could not
    /// read the file) and in tombstones of earlier versions, which do not know the field; such a deletion removes no
    /// file. Stored only when present, so that older readers, which ignore unknown keys, still read the tombstone.
    std::optional<std::string> removedFileChecksum = std::nullopt;

    Json toJson() const;
    static VeltoDeletionTombstone fromJson(const Json &json); // throws JsonDecodingError
    std::string encode() const;
    static VeltoDeletionTombstone decode(std::string_view bytes);

    friend bool operator==(const VeltoDeletionTombstone &, const VeltoDeletionTombstone &);
};

/// One of the sixteen shard documents of the deletion index, `.velto/deletions/v1-<shard>.json`.
struct VeltoDeletionIndexShard {
    /// The format this system writes; a shard of a later version is refused.
    static constexpr std::int64_t currentSchemaVersion = 1;

    std::int64_t schemaVersion = currentSchemaVersion;
    std::string shard; // "0" to "f"; checked by the reader of the index, not here
    std::vector<VeltoDeletionTombstone> deletions;

    Json toJson() const;
    /// Throws UnsupportedDeletionIndexSchemaError for schema 2 or later (before anything else is read),
    /// JsonDecodingError for a missing key or a wrong type.
    static VeltoDeletionIndexShard fromJson(const Json &json);
    std::string encode() const;
    static VeltoDeletionIndexShard decode(std::string_view bytes);

    friend bool operator==(const VeltoDeletionIndexShard &, const VeltoDeletionIndexShard &);
};

} // namespace velto
