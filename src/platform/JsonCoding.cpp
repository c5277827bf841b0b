#include "platform/JsonCoding.h"
#include "platform/JsonTextWriter.h"

#include "platform/Text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace velto {

namespace {

/// The escape sequence of a byte that JSON text cannot hold as it is; empty for the bytes written unchanged.
std::string_view escapeFor(char c, char (&scratch)[6]) {
    switch (c) {
    case '"':
        return "\\\"";
    case '\\':
        return "\\\\";
    case '/':
        return "\\/";
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    case '\b':
        return "\\b";
    case '\f':
        return "\\f";
    default:
        break;
    }
    if (static_cast<unsigned char>(c) >= 0x20) {
        return {};
    }
    static constexpr char hexDigits[] = "0123456789abcdef";
    scratch[0] = '\\';
    scratch[1] = 'u';
    scratch[2] = '0';
    scratch[3] = '0';
    scratch[4] = hexDigits[static_cast<unsigned char>(c) >> 4];
    scratch[5] = hexDigits[static_cast<unsigned char>(c) & 0x0F];
    return {scratch, 6};
}

void appendEscapedString(std::string &out, std::string_view raw) {
    // JSON strings must be UTF-8; a caller's stray byte becomes U+FFFD rather than an unreadable file.
    std::string repaired;
    std::string_view text = raw;
    if (!text::isASCII(raw) && !text::isValidUTF8(raw)) {
        repaired = text::decodingUTF8Lossy(raw);
        text = repaired;
    }
    out.push_back('"');
    // Most of a string needs no escape: the bytes between two escapes are appended as one piece.
    char scratch[6];
    std::size_t runStart = 0;
    for (std::size_t index = 0; index < text.size(); ++index) {
        std::string_view escape = escapeFor(text[index], scratch);
        if (escape.empty()) {
            continue;
        }
        out.append(text.data() + runStart, index - runStart);
        out.append(escape);
        runStart = index + 1;
    }
    out.append(text.data() + runStart, text.size() - runStart);
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
        for (const auto &[key, element] : value.get_ref<const Json::object_t &>()) {
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

// The writer lives beside the encoder whose bytes it must give.
void JsonTextWriter::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!containerIsEmpty_.empty()) {
        if (!containerIsEmpty_.back()) {
            text_.push_back(',');
        }
        containerIsEmpty_.back() = false;
    }
}

void JsonTextWriter::beginObject() {
    separate();
    text_.push_back('{');
    containerIsEmpty_.push_back(true);
}

void JsonTextWriter::endObject() {
    containerIsEmpty_.pop_back();
    text_.push_back('}');
}

void JsonTextWriter::beginArray() {
    separate();
    text_.push_back('[');
    containerIsEmpty_.push_back(true);
}

void JsonTextWriter::endArray() {
    containerIsEmpty_.pop_back();
    text_.push_back(']');
}

void JsonTextWriter::key(std::string_view name) {
    separate();
    appendEscapedString(text_, name);
    text_.push_back(':');
    afterKey_ = true;
}

void JsonTextWriter::string(std::string_view text) {
    separate();
    appendEscapedString(text_, text);
}

void JsonTextWriter::boolean(bool truth) {
    separate();
    text_ += truth ? "true" : "false";
}

void JsonTextWriter::integer(std::int64_t number) {
    separate();
    appendInteger(text_, number);
}

void JsonTextWriter::value(const Json &json) {
    separate();
    appendValue(text_, json);
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

/// Builds the same document as the library's own parser, faster. That parser appends each member to its object
/// as it comes; an object's members live in one vector of pairs with a const key, so every time the vector
/// grows the pairs cannot be moved and are copied, nested values and all. Here an object's members are
/// gathered first and its vector is made once at the right size. The members' staging vectors are kept per
/// depth and reused, so a journal of thousands of small records costs no allocation beyond the document's.
/// A repeated key keeps its first place and takes the last value, as with the library's parser.
class DocumentBuilder {
public:
    Json document() { return std::move(root); }

    bool null() { return add(Json(nullptr)); }
    bool boolean(bool value) { return add(Json(value)); }
    bool number_integer(std::int64_t value) { return add(Json(value)); }
    bool number_unsigned(std::uint64_t value) { return add(Json(value)); }
    bool number_float(double value, const std::string &) { return add(Json(value)); }
    // The lexer clears its buffer before the next token, so the text can be taken rather than copied.
    bool string(std::string &value) { return add(Json(std::move(value))); }
    bool binary(Json::binary_t &value) { return add(Json::binary(std::move(value))); }

    bool start_object(std::size_t) {
        open().isObject = true;
        return true;
    }

    bool key(std::string &name) {
        frames[depth - 1].members.emplace_back(std::move(name), Json());
        return true;
    }

    bool end_object() {
        Frame &frame = frames[--depth];
        Json::object_t object;
        object.reserve(frame.members.size());
        for (auto &[name, value] : frame.members) {
            auto [position, inserted] = object.emplace(std::move(name), std::move(value));
            if (!inserted) {
                position->second = std::move(value);
            }
        }
        frame.members.clear();
        return add(Json(std::move(object)));
    }

    bool start_array(std::size_t) {
        open().isObject = false;
        return true;
    }

    bool end_array() {
        Frame &frame = frames[--depth];
        Json array(std::move(frame.elements));
        frame.elements.clear();
        return add(std::move(array));
    }

    template <typename Exception> bool parse_error(std::size_t, const std::string &, const Exception &error) {
        throw error;
    }

private:
    struct Frame {
        bool isObject = false;
        std::vector<std::pair<std::string, Json>> members;
        Json::array_t elements;
    };

    Frame &open() {
        if (depth == frames.size()) {
            frames.emplace_back();
        }
        return frames[depth++];
    }

    bool add(Json &&value) {
        if (depth == 0) {
            root = std::move(value);
            return true;
        }
        Frame &frame = frames[depth - 1];
        if (frame.isObject) {
            frame.members.back().second = std::move(value);
        } else {
            frame.elements.push_back(std::move(value));
        }
        return true;
    }

    std::vector<Frame> frames;
    std::size_t depth = 0;
    Json root;
};

} // namespace

Json decodeJSON(std::string_view text) {
    if (isNestedTooDeeply(text)) {
        throw JsonDecodingError("The data is not valid JSON: it is nested more than 512 levels deep");
    }
    try {
        DocumentBuilder builder;
        Json::sax_parse(text.begin(), text.end(), &builder);
        return builder.document();
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
    return value.get_ref<const std::string &>();
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

namespace {

bool boolValue(const Json &value, const char *key) {
    if (!value.is_boolean()) {
        throwTypeMismatch(key, "a boolean");
    }
    return value.get<bool>();
}

} // namespace

bool requiredBool(const Json &object, const char *key) {
    return boolValue(requiredField(object, key), key);
}

std::optional<bool> optionalBool(const Json &object, const char *key) {
    const Json *value = optionalField(object, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    return boolValue(*value, key);
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

std::optional<std::int64_t> optionalInt64(const Json &object, const char *key) {
    const Json *value = optionalField(object, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    return int64Value(*value, key);
}

} // namespace velto
