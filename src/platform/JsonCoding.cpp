#include "platform/JsonCoding.h"

#include "platform/Text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace velto {

namespace {

void appendEscapedString(std::string &out, std::string_view raw) {
    // JSON strings must be UTF-8; a caller's stray byte becomes U+FFFD rather than an unreadable file.
    std::string repaired;
    std::string_view text = raw;
    if (!text::isValidUTF8(raw)) {
        repaired = text::decodingUTF8Lossy(raw);
        text = repaired;
    }
    static constexpr char hexDigits[] = "0123456789abcdef";
    out.push_back('"');
    for (char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '/':
            out += "\\/";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out.push_back(hexDigits[static_cast<unsigned char>(c) >> 4]);
                out.push_back(hexDigits[static_cast<unsigned char>(c) & 0x0F]);
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back('"');
}

/// The shortest text that reads back as the same double, in the peer's notation: decimal from 0.0001 up to
/// 2^54 ("1000000000000000", "0.5"; a whole number without ".0"), exponential outside ("1e-05", "1e+16").
void appendDouble(std::string &out, double value) {
    if (!std::isfinite(value)) {
        throw std::domain_error("JSON cannot represent a non-finite number");
    }
    double magnitude = std::fabs(value);
    bool decimal = magnitude == 0 || (magnitude >= 1e-4 && magnitude <= 18014398509481984.0);
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                decimal ? std::chars_format::fixed : std::chars_format::scientific);
    out.append(buffer, result.ptr);
}

template <typename Integer> void appendInteger(std::string &out, Integer value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void appendValue(std::string &out, const Json &value) {
    switch (value.type()) {
    case Json::value_t::null:
    case Json::value_t::discarded:
        out += "null";
        break;
    case Json::value_t::boolean:
        out += value.get<bool>() ? "true" : "false";
        break;
    case Json::value_t::number_integer:
        appendInteger(out, value.get<std::int64_t>());
        break;
    case Json::value_t::number_unsigned:
        appendInteger(out, value.get<std::uint64_t>());
        break;
    case Json::value_t::number_float:
        appendDouble(out, value.get<double>());
        break;
    case Json::value_t::string:
        appendEscapedString(out, value.get_ref<const std::string &>());
        break;
    case Json::value_t::array: {
        out.push_back('[');
        bool first = true;
        for (const Json &element : value) {
            if (!first) {
                out.push_back(',');
            }
            first = false;
            appendValue(out, element);
        }
        out.push_back(']');
        break;
    }
    case Json::value_t::object: {
        out.push_back('{');
        bool first = true;
        for (const auto &[key, element] : value.items()) {
            if (!first) {
                out.push_back(',');
            }
            first = false;
            appendEscapedString(out, key);
            out.push_back(':');
            appendValue(out, element);
        }
        out.push_back('}');
        break;
    }
    case Json::value_t::binary:
        throw std::domain_error("JSON cannot represent binary data");
    }
}

std::string keyDescription(const char *key) {
    return std::string("\"") + key + "\"";
}

[[noreturn]] void throwTypeMismatch(const char *key, const char *expected) {
    throw JsonDecodingError("Expected " + std::string(expected) + " for key " + keyDescription(key));
}

} // namespace

std::string encodeJSON(const Json &value) {
    std::string out;
    appendValue(out, value);
    return out;
}

namespace {

// The peer decoder refuses documents nested deeper than this. Checking before parsing also keeps a
// hostile file of a few megabytes of "[" from costing gigabytes of memory and seconds of parsing.
constexpr std::size_t maximumNestingDepth = 512;

bool isNestedTooDeeply(std::string_view text) {
    std::size_t depth = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > maximumNestingDepth) {
                return true;
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

} // namespace

Json decodeJSON(std::string_view text) {
    if (isNestedTooDeeply(text)) {
        throw JsonDecodingError("The data is not valid JSON: it is nested more than 512 levels deep");
    }
    try {
        return Json::parse(text.begin(), text.end());
    } catch (const Json::exception &error) {
        throw JsonDecodingError(std::string("The data is not valid JSON: ") + error.what());
    }
}

const Json &requiredField(const Json &object, const char *key) {
    if (!object.is_object()) {
        throw JsonDecodingError("Expected an object holding key " + keyDescription(key));
    }
    auto found = object.find(key);
    if (found == object.end()) {
        throw JsonDecodingError("No value for key " + keyDescription(key));
    }
    return *found;
}

const Json *optionalField(const Json &object, const char *key) {
    if (!object.is_object()) {
        throw JsonDecodingError("Expected an object holding key " + keyDescription(key));
    }
    auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return nullptr;
    }
    return &*found;
}

namespace {

std::string stringValue(const Json &value, const char *key) {
    if (!value.is_string()) {
        throwTypeMismatch(key, "a string");
    }
    return value.get<std::string>();
}

// A double counts as an integer only when it is whole and inside the type's range; 2^64 itself is not.
std::uint64_t uint64Value(const Json &value, const char *key) {
    if (value.is_number_unsigned()) {
        return value.get<std::uint64_t>();
    }
    if (value.is_number_integer() && value.get<std::int64_t>() >= 0) {
        return static_cast<std::uint64_t>(value.get<std::int64_t>());
    }
    if (value.is_number_float()) {
        double number = value.get<double>();
        if (number >= 0 && number < 18446744073709551616.0 && std::trunc(number) == number) {
            return static_cast<std::uint64_t>(number);
        }
    }
    throwTypeMismatch(key, "an unsigned 64-bit integer");
}

std::int64_t int64Value(const Json &value, const char *key) {
    if (value.is_number_integer() && !value.is_number_unsigned()) {
        return value.get<std::int64_t>();
    }
    if (value.is_number_unsigned() && value.get<std::uint64_t>() <= std::numeric_limits<std::int64_t>::max()) {
        return static_cast<std::int64_t>(value.get<std::uint64_t>());
    }
    if (value.is_number_float()) {
        double number = value.get<double>();
        if (number >= -9223372036854775808.0 && number < 9223372036854775808.0 && std::trunc(number) == number) {
            return static_cast<std::int64_t>(number);
        }
    }
    throwTypeMismatch(key, "a 64-bit integer");
}

} // namespace

std::string requiredString(const Json &object, const char *key) {
    return stringValue(requiredField(object, key), key);
}

std::optional<std::string> optionalString(const Json &object, const char *key) {
    const Json *value = optionalField(object, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    return stringValue(*value, key);
}

bool requiredBool(const Json &object, const char *key) {
    const Json &value = requiredField(object, key);
    if (!value.is_boolean()) {
        throwTypeMismatch(key, "a boolean");
    }
    return value.get<bool>();
}

std::uint64_t requiredUInt64(const Json &object, const char *key) {
    return uint64Value(requiredField(object, key), key);
}

std::optional<std::uint64_t> optionalUInt64(const Json &object, const char *key) {
    const Json *value = optionalField(object, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    return uint64Value(*value, key);
}

std::int64_t requiredInt64(const Json &object, const char *key) {
    return int64Value(requiredField(object, key), key);
}

} // namespace velto
