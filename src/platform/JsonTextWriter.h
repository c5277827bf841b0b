#pragma once

#include "platform/JsonCoding.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velto {

/// Compact JSON text written piece by piece, byte for byte as encodeJSON writes the same value, without the
/// value being built first: a manifest of ten thousand records took longer to build and free as a tree than
/// to write. Members and elements are separated by themselves; each key is followed by exactly one value.
class JsonTextWriter {
public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    /// The key of the open object's next member.
    void key(std::string_view name);
    void string(std::string_view text);
    void boolean(bool truth);
    void integer(std::int64_t number);
    /// A whole value, written as encodeJSON writes it.
    void value(const Json &json);

    /// The text written so far.
    std::string take() && { return std::move(text_); }

private:
    /// Writes the comma before a member or element that is not its container's first.
    void separate();

    std::string text_;
    std::vector<bool> containerIsEmpty_; // one per open object or array, innermost last
    bool afterKey_ = false;
};

} // namespace velto
