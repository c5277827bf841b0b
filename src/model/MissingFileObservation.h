#pragma once

#include "platform/Date.h"
#include "platform/JsonCoding.h"
#include "platform/Uuid.h"

#include <string>
#include <string_view>

namespace velto {

/// The first sighting of a page file's absence, so that a file gone for only a moment (a sync in
/// progress) is not taken for a removal.
struct VeltoMissingFileObservation {
    Uuid pageID;
    std::string relativeFilePath; // where the file was expected
    Date firstObservedAt;

    Json toJson() const;
    static VeltoMissingFileObservation fromJson(const Json &json); // throws JsonDecodingError
    std::string encode() const;
    static VeltoMissingFileObservation decode(std::string_view bytes);

    friend bool operator==(const VeltoMissingFileObservation &, const VeltoMissingFileObservation &);
};

} // namespace velto
