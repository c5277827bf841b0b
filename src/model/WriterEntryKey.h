#pragma once

#include "platform/Uuid.h"

#include <cstddef>
#include <optional>

namespace velto {

/// The identity of one journal entry while journals are compacted: the writer, its save operation and,
/// for page entries, the page. Never written to a file.
struct VeltoWriterEntryKey {
    Uuid writerID;
    Uuid operationID;
    std::optional<Uuid> pageID;

    friend bool operator==(const VeltoWriterEntryKey &, const VeltoWriterEntryKey &) = default;
};

/// Combines writerID, operationID, then whether a page is present and the page, so that a key without a
/// page never hashes like one with a page.
struct VeltoWriterEntryKeyHash {
    std::size_t operator()(const VeltoWriterEntryKey &key) const noexcept {
        UuidHash uuidHash;
        std::size_t hash = uuidHash(key.writerID);
        auto combine = [&hash](std::size_t value) {
            hash ^= value + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
        };
        combine(uuidHash(key.operationID));
        combine(key.pageID.has_value() ? 1 : 0);
        if (key.pageID.has_value()) {
            combine(uuidHash(*key.pageID));
        }
        return hash;
    }
};

} // namespace velto
