#pragma once

#include "platform/JsonCoding.h"
#include "platform/JsonValues.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Small pieces shared by the JSON records of the library's metadata: optional fields are left out
// when they hold nothing, and a missing key reads the same as null.
namespace velto::recordjson {

inline void requireObject(const Json &value, const char *recordName) {
    if (!value.is_object()) {
        throw JsonDecodingError(std::string("Expected a JSON object for ") + recordName + ".");
    }
}

// One lookup for the optional fields: the forms in JsonCoding.h.
using velto::optionalBool;
using velto::optionalInt64;

/// An empty object with room for `fieldCount` fields. The members of an ordered object are pairs with a const
/// key, so each time the object outgrows its room they are copied, nested values and all.
inline Json objectWithRoomFor(std::size_t fieldCount) {
    Json json = Json::object();
    json.get_ref<Json::object_t &>().reserve(fieldCount);
    return json;
}

/// An empty array with room for `elementCount` elements.
inline Json arrayWithRoomFor(std::size_t elementCount) {
    Json json = Json::array();
    json.get_ref<Json::array_t &>().reserve(elementCount);
    return json;
}

inline void putOptional(Json &object, const char *key, const std::optional<std::string> &value) {
    if (value.has_value()) {
        object[key] = *value;
    }
}

inline void putOptional(Json &object, const char *key, const std::optional<Date> &value) {
    if (value.has_value()) {
        object[key] = dateJson(*value);
    }
}

inline void putOptional(Json &object, const char *key, const std::optional<std::int64_t> &value) {
    if (value.has_value()) {
        object[key] = *value;
    }
}

inline void putOptional(Json &object, const char *key, const std::optional<bool> &value) {
    if (value.has_value()) {
        object[key] = *value;
    }
}

/// The elements of a required array field, each read by `readElement`.
template <typename Element, typename Reader>
std::vector<Element> requiredArray(const Json &object, const char *key, Reader readElement) {
    const Json &field = requiredField(object, key);
    if (!field.is_array()) {
        throw JsonDecodingError(std::string("Expected an array for \"") + key + "\".");
    }
    std::vector<Element> elements;
    elements.reserve(field.size());
    for (const Json &element : field) {
        elements.push_back(readElement(element));
    }
    return elements;
}

/// The elements of an optional array field: nothing when the key is missing or null.
template <typename Element, typename Reader>
std::optional<std::vector<Element>> optionalArray(const Json &object, const char *key, Reader readElement) {
    if (optionalField(object, key) == nullptr) {
        return std::nullopt;
    }
    return requiredArray<Element>(object, key, readElement);
}

inline std::string stringFromJson(const Json &value) {
    if (!value.is_string()) {
        throw JsonDecodingError("Expected a string.");
    }
    return value.get<std::string>();
}

} // namespace velto::recordjson
