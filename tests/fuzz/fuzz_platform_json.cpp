// Arbitrary bytes through the JSON decoder and encoder: refusals must be JsonDecodingError, and whatever
// decodes must encode to text that decodes again and, from the second writing on, encodes to the same bytes.
#include "platform/JsonCoding.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char *>(data), size);
    velto::Json value;
    try {
        value = velto::decodeJSON(bytes);
    } catch (const velto::JsonDecodingError &) {
        return 0;
    }
    // The first writing may still change: "-0.0" reads back as the integer 0.
    const std::string first = velto::encodeJSON(value);
    const std::string second = velto::encodeJSON(velto::decodeJSON(first));
    const std::string third = velto::encodeJSON(velto::decodeJSON(second));
    if (second != third) {
        __builtin_trap();
    }
    return 0;
}
