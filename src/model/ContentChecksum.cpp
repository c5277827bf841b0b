#include "model/ContentChecksum.h"

#include <cstdint>
#include <cstdio>

namespace velto {

std::optional<std::string> contentChecksum(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (char character : text) {
        hash ^= static_cast<unsigned char>(character);
        hash *= 0x100000001b3ULL;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%llx", static_cast<unsigned long long>(hash));
    return std::string(digits);
}

} // namespace velto
