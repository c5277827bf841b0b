#pragma once

#include "platform/Date.h"
#include "platform/JsonCoding.h"
#include "platform/Uuid.h"

#include <optional>

namespace velto {

/// UUIDs are written in upper case and read in either case.
Json uuidJson(const Uuid &uuid);
Uuid uuidFromJson(const Json &value); // throws JsonDecodingError
Uuid requiredUuid(const Json &object, const char *key);
std::optional<Uuid> optionalUuid(const Json &object, const char *key);

/// Dates are ISO-8601 text with whole seconds.
Json dateJson(Date date);
Date dateFromJson(const Json &value); // throws JsonDecodingError
Date requiredDate(const Json &object, const char *key);
std::optional<Date> optionalDate(const Json &object, const char *key);

} // namespace velto
