#pragma once

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>
#include <string_view>

namespace velto {

using Json = nlohmann::ordered_json;

/// Thrown when bytes are not JSON, or JSON is not the record that was expected.
/// The message says what was wrong, for diagnostics; user-facing texts come from the caller's error.
class JsonDecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Compact JSON text, fields in the order they were inserted, "/" written as "\/", non-ASCII
/// characters as UTF-8 — byte for byte what the peer encoder writes, so that writers on different
/// machines do not keep rewriting each other's files.
std::string encodeJSON(const Json &value);

/// Parses JSON text; throws JsonDecodingError for anything that is not one JSON value.
Json decodeJSON(std::string_view text);

// Field access for decoding records: each throws JsonDecodingError naming the key when the field is
// missing (for the required forms) or of the wrong type. Unknown keys are never an error.
const Json &requiredField(const Json &object, const char *key);
const Json *optionalField(const Json &object, const char *key); // nullptr when absent or null
std::string requiredString(const Json &object, const char *key);
std::optional<std::string> optionalString(const Json &object, const char *key);
bool requiredBool(const Json &object, const char *key);
std::uint64_t requiredUInt64(const Json &object, const char *key);
std::optional<std::uint64_t> optionalUInt64(const Json &object, const char *key);
std::int64_t requiredInt64(const Json &object, const char *key);
std::optional<std::int64_t> optionalInt64(const Json &object, const char *key);
std::optional<bool> optionalBool(const Json &object, const char *key);

} // namespace velto

// Record helpers for UUIDs and dates live beside the types: see JsonValues.h.
