#pragma once

#include "platform/Date.h"
#include "platform/JsonCoding.h"
#include "platform/Uuid.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace velto {

/// The latest sequence number known of one writer.
struct VeltoWriterHead {
    Uuid writerID;
    std::uint64_t sequence = 0;

    Json toJson() const;
    static VeltoWriterHead fromJson(const Json &json); // throws JsonDecodingError

    friend bool operator==(const VeltoWriterHead &, const VeltoWriterHead &) = default;
};

/// The stamp of one write: who wrote, the writer's own counter, when, in which save, and what the
/// writer had seen of every other writer. Versions are ordered causally through their vector clocks.
struct VeltoWriterVersion {
    enum class CausalRelation { precedes, equal, follows, concurrent };

    Uuid writerID;
    std::uint64_t sequence = 0;
    Date recordedAt;
    Uuid operationID;
    std::optional<std::vector<VeltoWriterHead>> observedWriterHeads;

    /// The observed heads (largest sequence per writer) with this writer's own sequence folded in.
    std::map<Uuid, std::uint64_t> causalClock() const;

    /// How this version stands to `other`, decided by the clocks alone (a missing entry counts as 0):
    /// W at 3 precedes W at 4; W at 2 and V at 1 without heads are concurrent.
    CausalRelation causalRelation(const VeltoWriterVersion &other) const;

    Json toJson() const;
    static VeltoWriterVersion fromJson(const Json &json); // throws JsonDecodingError

    friend bool operator==(const VeltoWriterVersion &, const VeltoWriterVersion &) = default;
};

} // namespace velto
