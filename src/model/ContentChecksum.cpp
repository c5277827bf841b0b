#include "model/ContentChecksum.h"

#include <cstdint>
#include <cstdio>

namespace velto {
namespace {

constexpr std::uint64_t offsetBasis = 0xcbf29ce484222325ULL;
constexpr std::uint64_t prime = 0x100000001b3ULL;

thread_local std::size_t hashedBytes = 0;

std::optional<std::string> hexadecimal(std::uint64_t hash) {
    char digits[17];
    std::snprintf(digits, sizeof digits, "%llx", static_cast<unsigned long long>(hash));
    return std::string(digits);
}

} // namespace

std::optional<std::string> contentChecksum(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    hashedBytes += text.size();
    std::uint64_t hash = offsetBasis;
    for (char character : text) {
        hash ^= static_cast<unsigned char>(character);
        hash *= prime;
    }
    return hexadecimal(hash);
}

ContentChecksumPair contentChecksums(std::string_view text, std::string_view ending) {
    if (ending.empty() || !text.ends_with(ending)) {
        return {contentChecksum(text), contentChecksum(ending)};
    }
    hashedBytes += text.size();
    const std::size_t endingStart = text.size() - ending.size();
    std::uint64_t textHash = offsetBasis;
    unsigned char allBits = 0;
    for (std::size_t index = 0; index < endingStart; ++index) {
        auto byte = static_cast<unsigned char>(text[index]);
        allBits |= byte;
        textHash ^= byte;
        textHash *= prime;
    }
    std::uint64_t endingHash = offsetBasis;
    for (std::size_t index = endingStart; index < text.size(); ++index) {
        auto byte = static_cast<unsigned char>(text[index]);
        allBits |= byte;
        textHash ^= byte;
        textHash *= prime;
        endingHash ^= byte;
        endingHash *= prime;
    }
    return {hexadecimal(textHash), hexadecimal(endingHash), allBits < 0x80};
}

std::size_t checksummedBytes() {
    return hashedBytes;
}

} // namespace velto
