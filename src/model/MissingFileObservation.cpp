#include "model/MissingFileObservation.h"

#include "model/RecordJson.h"
#include "model/TextEquality.h"

namespace velto {

Json VeltoMissingFileObservation::toJson() const {
    Json json = Json::object();
    json["pageID"] = uuidJson(pageID);
    json["relativeFilePath"] = relativeFilePath;
    json["firstObservedAt"] = dateJson(firstObservedAt);
    return json;
}

VeltoMissingFileObservation VeltoMissingFileObservation::fromJson(const Json &json) {
    recordjson::requireObject(json, "a missing-file observation");
    VeltoMissingFileObservation observation;
    observation.pageID = requiredUuid(json, "pageID");
    observation.relativeFilePath = requiredString(json, "relativeFilePath");
    observation.firstObservedAt = requiredDate(json, "firstObservedAt");
    return observation;
}

std::string VeltoMissingFileObservation::encode() const {
    return encodeJSON(toJson());
}

VeltoMissingFileObservation VeltoMissingFileObservation::decode(std::string_view bytes) {
    return fromJson(decodeJSON(bytes));
}

bool operator==(const VeltoMissingFileObservation &a, const VeltoMissingFileObservation &b) {
    return a.pageID == b.pageID && sameText(a.relativeFilePath, b.relativeFilePath) &&
           a.firstObservedAt == b.firstObservedAt;
}

} // namespace velto
