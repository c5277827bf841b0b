#include "library/PageFileChecksums.h"

#include "model/ContentChecksum.h"

#include <cstdint>
#include <cstdio>

namespace VeltoPageLibrary {

namespace {

// The 64-bit FNV-1a parameters of contentChecksum.
constexpr std::uint64_t offsetBasis = 0xcbf29ce484222325ULL;
constexpr std::uint64_t prime = 0x100000001b3ULL;

std::optional<std::string> hexadecimal(std::uint64_t hash) {
    char digits[17];
    std::snprintf(digits, sizeof digits, "%llx", static_cast<unsigned long long>(hash));
    return std::string(digits);
}

} // namespace

PageFileChecksums pageFileChecksums(std::string_view text, const velto::VeltoPageFileContent &content) {
    const std::string &body = content.body;
    bool bodyEndsText = content.lineEnding == "\n" && body.size() <= text.size() && !text.empty() && !body.empty() &&
                        text.substr(text.size() - body.size()) == body;
    if (!bodyEndsText) {
        return {velto::contentChecksum(text), velto::contentChecksum(body)};
    }

    std::size_t bodyStart = text.size() - body.size();
    std::uint64_t textHash = offsetBasis;
    unsigned char allBits = 0;
    for (std::size_t index = 0; index < bodyStart; ++index) {
        auto byte = static_cast<unsigned char>(text[index]);
        allBits |= byte;
        textHash ^= byte;
        textHash *= prime;
    }
    std::uint64_t bodyHash = offsetBasis;
    for (std::size_t index = bodyStart; index < text.size(); ++index) {
        auto byte = static_cast<unsigned char>(text[index]);
        allBits |= byte;
        textHash ^= byte;
        textHash *= prime;
        bodyHash ^= byte;
        bodyHash *= prime;
    }
    return {hexadecimal(textHash), hexadecimal(bodyHash), allBits < 0x80};
}

} // namespace VeltoPageLibrary
