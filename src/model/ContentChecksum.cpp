#include "model/ContentChecksum.h"

#include <algorithm>
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

std::uint64_t hashed(std::uint64_t hash, std::string_view bytes) {
    for (char character : bytes) {
        hash ^= static_cast<unsigned char>(character);
        hash *= prime;
    }
    return hash;
}

// Two chains side by side: the processor multiplies for both at once, so a body costs one pass, not two.
void hashBoth(std::uint64_t &first, std::uint64_t &second, std::string_view bytes) {
    for (char character : bytes) {
        auto byte = static_cast<unsigned char>(character);
        first ^= byte;
        first *= prime;
        second ^= byte;
        second *= prime;
    }
}

/// How many of the previous text's checkpoints hold for `text`: those that end before the first difference
/// of the two texts, when the body starts at the same place in both.
std::size_t usableCheckpoints(std::string_view text, std::size_t endingStart, std::string_view previousText,
                              const ContentChecksumCheckpoints *previous) {
    if (previous == nullptr || previous->textSize != previousText.size() || previous->endingStart != endingStart) {
        return 0;
    }
    // Whole spans compared at once (memcmp): a loop over the bytes costs as much as hashing them.
    const std::size_t spacing = ContentChecksumCheckpoints::spacing;
    std::size_t same = 0;
    while (same < previous->textStates.size() &&
           text.substr(same * spacing, spacing) == previousText.substr(same * spacing, spacing)) {
        ++same;
    }
    return same;
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

ContentChecksumPair contentChecksumsResuming(std::string_view text, std::string_view ending,
                                             std::string_view previousText, const ContentChecksumCheckpoints *previous,
                                             ContentChecksumCheckpoints &made, TextEnding textEnding) {
    made = {};
    const bool endsWithEnding =
        textEnding == TextEnding::madeSo ? text.size() >= ending.size() : text.ends_with(ending);
    if (ending.empty() || !endsWithEnding) {
        return contentChecksums(text, ending);
    }
    const std::size_t spacing = ContentChecksumCheckpoints::spacing;
    const std::size_t endingStart = text.size() - ending.size();
    const std::size_t resumed = usableCheckpoints(text, endingStart, previousText, previous);
    made.textSize = text.size();
    made.endingStart = endingStart;
    std::uint64_t textHash = offsetBasis;
    std::uint64_t endingHash = offsetBasis;
    if (resumed > 0) {
        made.textStates.assign(previous->textStates.begin(), previous->textStates.begin() + resumed);
        made.endingStates.assign(previous->endingStates.begin(), previous->endingStates.begin() + resumed);
        textHash = made.textStates.back();
        endingHash = made.endingStates.back();
    }
    hashedBytes += text.size() - resumed * spacing;
    for (std::size_t start = resumed * spacing; start < text.size(); start += spacing) {
        const std::size_t end = std::min(start + spacing, text.size());
        const std::size_t inEnding = std::clamp(endingStart, start, end);
        textHash = hashed(textHash, text.substr(start, inEnding - start));
        hashBoth(textHash, endingHash, text.substr(inEnding, end - inEnding));
        if (end - start == spacing) {
            made.textStates.push_back(textHash);
            made.endingStates.push_back(endingHash);
        }
    }
    made.textChecksum = hexadecimal(textHash);
    return {made.textChecksum, hexadecimal(endingHash)};
}

std::size_t checksummedBytes() {
    return hashedBytes;
}

} // namespace velto
