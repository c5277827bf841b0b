#include "model/DeletionIndex.h"

#include "model/LibraryErrors.h"
#include "model/RecordJson.h"
#include "model/TextEquality.h"

namespace velto {

Json VeltoDeletionTombstone::toJson() const {
    Json json = Json::object();
    json["pageID"] = uuidJson(pageID);
    json["relativeFilePath"] = relativeFilePath;
    json["version"] = version.toJson();
    recordjson::putOptional(json, "removedFileChecksum", removedFileChecksum);
    return json;
}

VeltoDeletionTombstone VeltoDeletionTombstone::fromJson(const Json &json) {
    recordjson::requireObject(json, "a deletion tombstone");
    VeltoDeletionTombstone tombstone;
    tombstone.pageID = requiredUuid(json, "pageID");
    tombstone.relativeFilePath = requiredString(json, "relativeFilePath");
    tombstone.version = VeltoWriterVersion::fromJson(requiredField(json, "version"));
    tombstone.removedFileChecksum = optionalString(json, "removedFileChecksum");
    return tombstone;
}

std::string VeltoDeletionTombstone::encode() const {
    return encodeJSON(toJson());
}

VeltoDeletionTombstone VeltoDeletionTombstone::decode(std::string_view bytes) {
    return fromJson(decodeJSON(bytes));
}

bool operator==(const VeltoDeletionTombstone &a, const VeltoDeletionTombstone &b) {
    return a.pageID == b.pageID && sameText(a.relativeFilePath, b.relativeFilePath) && a.version == b.version &&
           a.removedFileChecksum == b.removedFileChecksum;
}

Json VeltoDeletionIndexShard::toJson() const {
    Json json = Json::object();
    json["schemaVersion"] = schemaVersion;
    json["shard"] = shard;
    Json tombstones = Json::array();
    for (const VeltoDeletionTombstone &tombstone : deletions) {
        tombstones.push_back(tombstone.toJson());
    }
    json["deletions"] = std::move(tombstones);
    return json;
}

VeltoDeletionIndexShard VeltoDeletionIndexShard::fromJson(const Json &json) {
    recordjson::requireObject(json, "a deletion-index shard");
    VeltoDeletionIndexShard shard;
    shard.schemaVersion = requiredInt64(json, "schemaVersion");
    // A newer writer may have changed anything else, so nothing more is read.
    if (shard.schemaVersion > currentSchemaVersion) {
        throw UnsupportedDeletionIndexSchemaError(shard.schemaVersion);
    }
    shard.shard = requiredString(json, "shard");
    shard.deletions =
        recordjson::requiredArray<VeltoDeletionTombstone>(json, "deletions", VeltoDeletionTombstone::fromJson);
    return shard;
}

std::string VeltoDeletionIndexShard::encode() const {
    return encodeJSON(toJson());
}

VeltoDeletionIndexShard VeltoDeletionIndexShard::decode(std::string_view bytes) {
    return fromJson(decodeJSON(bytes));
}

bool operator==(const VeltoDeletionIndexShard &a, const VeltoDeletionIndexShard &b) {
    return a.schemaVersion == b.schemaVersion && sameText(a.shard, b.shard) && a.deletions == b.deletions;
}

} // namespace velto
