#include "model/WriterVersion.h"

#include "model/RecordJson.h"

#include <algorithm>

namespace velto {

Json VeltoWriterHead::toJson() const {
    Json json = recordjson::objectWithRoomFor(2);
    json["writerID"] = uuidJson(writerID);
    json["sequence"] = sequence;
    return json;
}

VeltoWriterHead VeltoWriterHead::fromJson(const Json &json) {
    recordjson::requireObject(json, "a writer head");
    return {requiredUuid(json, "writerID"), requiredUInt64(json, "sequence")};
}

std::map<Uuid, std::uint64_t> VeltoWriterVersion::causalClock() const {
    std::map<Uuid, std::uint64_t> clock;
    if (observedWriterHeads.has_value()) {
        for (const VeltoWriterHead &head : *observedWriterHeads) {
            std::uint64_t &entry = clock[head.writerID];
            entry = std::max(entry, head.sequence);
        }
    }
    std::uint64_t &own = clock[writerID];
    own = std::max(own, sequence);
    return clock;
}

VeltoWriterVersion::CausalRelation VeltoWriterVersion::causalRelation(const VeltoWriterVersion &other) const {
    const std::map<Uuid, std::uint64_t> mine = causalClock();
    const std::map<Uuid, std::uint64_t> theirs = other.causalClock();
    auto valueIn = [](const std::map<Uuid, std::uint64_t> &clock, const Uuid &writer) -> std::uint64_t {
        auto entry = clock.find(writer);
        return entry == clock.end() ? 0 : entry->second;
    };

    bool behind = false;
    bool ahead = false;
    auto compareWriter = [&](const Uuid &writer) {
        std::uint64_t a = valueIn(mine, writer);
        std::uint64_t b = valueIn(theirs, writer);
        behind = behind || a < b;
        ahead = ahead || a > b;
    };
    // Writers of either clock; one present in both is compared twice, which changes nothing.
    for (const auto &[writer, sequence] : mine) {
        compareWriter(writer);
    }
    for (const auto &[writer, sequence] : theirs) {
        compareWriter(writer);
    }

    if (behind && ahead) {
        return CausalRelation::concurrent;
    }
    if (behind) {
        return CausalRelation::precedes;
    }
    if (ahead) {
        return CausalRelation::follows;
    }
    return CausalRelation::equal;
}

Json VeltoWriterVersion::toJson() const {
    Json json = recordjson::objectWithRoomFor(5);
    json["writerID"] = uuidJson(writerID);
    json["sequence"] = sequence;
    json["recordedAt"] = dateJson(recordedAt);
    json["operationID"] = uuidJson(operationID);
    if (observedWriterHeads.has_value()) {
        Json heads = recordjson::arrayWithRoomFor(observedWriterHeads->size());
        for (const VeltoWriterHead &head : *observedWriterHeads) {
            heads.push_back(head.toJson());
        }
        json["observedWriterHeads"] = std::move(heads);
    }
    return json;
}

VeltoWriterVersion VeltoWriterVersion::fromJson(const Json &json) {
    recordjson::requireObject(json, "a writer version");
    VeltoWriterVersion version;
    version.writerID = requiredUuid(json, "writerID");
    version.sequence = requiredUInt64(json, "sequence");
    version.recordedAt = requiredDate(json, "recordedAt");
    version.operationID = requiredUuid(json, "operationID");
    version.observedWriterHeads =
        recordjson::optionalArray<VeltoWriterHead>(json, "observedWriterHeads", VeltoWriterHead::fromJson);
    return version;
}

} // namespace velto
