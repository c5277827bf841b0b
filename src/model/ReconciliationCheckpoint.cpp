#include "model/ReconciliationCheckpoint.h"

#include "model/RecordJson.h"

namespace velto {

Json VeltoLibraryReconciliationCheckpoint::toJson() const {
    Json json = Json::object();
    json["deviceID"] = deviceID;
    json["eventID"] = eventID;
    return json;
}

VeltoLibraryReconciliationCheckpoint VeltoLibraryReconciliationCheckpoint::fromJson(const Json &json) {
    recordjson::requireObject(json, "a reconciliation checkpoint");
    return {requiredUInt64(json, "deviceID"), requiredUInt64(json, "eventID")};
}

} // namespace velto
