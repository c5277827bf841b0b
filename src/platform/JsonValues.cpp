#include "platform/JsonValues.h"

namespace velto {

Json uuidJson(const Uuid &uuid) {
    return uuid.uppercaseText();
}

Uuid uuidFromJson(const Json &value) {
    if (!value.is_string()) {
        throw JsonDecodingError("Expected a UUID string");
    }
    auto uuid = Uuid::parse(value.get_ref<const std::string &>());
    if (!uuid) {
        throw JsonDecodingError("Attempted to decode UUID from invalid UUID string");
    }
    return *uuid;
}

namespace {

// The value's error, with the key it was read for.
Uuid uuidOfField(const Json &value, const char *key) {
    try {
        return uuidFromJson(value);
    } catch (const JsonDecodingError &error) {
        throw JsonDecodingError(std::string(error.what()) + " for key \"" + key + "\"");
    }
}

Date dateOfField(const Json &value, const char *key) {
    try {
        return dateFromJson(value);
    } catch (const JsonDecodingError &error) {
        throw JsonDecodingError(std::string(error.what()) + " for key \"" + key + "\"");
    }
}

} // namespace

Uuid requiredUuid(const Json &object, const char *key) {
    return uuidOfField(requiredField(object, key), key);
}

std::optional<Uuid> optionalUuid(const Json &object, const char *key) {
    const Json *value = optionalField(object, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    return uuidOfField(*value, key);
}

Json dateJson(Date date) {
    return iso8601Text(date);
}

Date dateFromJson(const Json &value) {
    if (!value.is_string()) {
        throw JsonDecodingError("Expected an ISO-8601 date string");
    }
    auto date = parseISO8601(value.get_ref<const std::string &>());
    if (!date) {
        throw JsonDecodingError("Expected date string to be ISO8601-formatted");
    }
    return *date;
}

Date requiredDate(const Json &object, const char *key) {
    return dateOfField(requiredField(object, key), key);
}

std::optional<Date> optionalDate(const Json &object, const char *key) {
    const Json *value = optionalField(object, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    return dateOfField(*value, key);
}

} // namespace velto
