#include "model/PageSlug.h"

#include <array>
#include <random>

namespace velto::VeltoPageSlug {
namespace {

constexpr std::array<const char *, 32> adjectives = {
    "amber", "blue",   "bright", "calm",   "clear",  "cozy", "crisp", "gentle", "golden", "hidden", "hushed",
    "kind",  "little", "lucid",  "mellow", "misty",  "neat", "open",  "pale",   "quiet",  "rapid",  "silver",
    "small", "soft",   "still",  "sunny",  "tender", "tidy", "tiny",  "warm",   "wise",   "young",
};

constexpr std::array<const char *, 32> nouns = {
    "alcove", "beacon", "brook",  "cloud",   "cove",  "dawn",   "echo",   "fern", "field", "glade",  "grove",
    "harbor", "island", "kite",   "lantern", "leaf",  "margin", "meadow", "moon", "nook",  "orbit",  "pebble",
    "pine",   "pond",   "ripple", "shore",   "spark", "star",   "trail",  "vale", "wave",  "willow",
};

std::size_t randomIndex(std::random_device &source, std::size_t count) {
    std::uniform_int_distribution<std::size_t> distribution(0, count - 1);
    return distribution(source);
}

} // namespace

std::string make() {
    std::random_device source;
    std::string slug = adjectives[randomIndex(source, adjectives.size())];
    slug += '-';
    slug += nouns[randomIndex(source, nouns.size())];
    return slug;
}

} // namespace velto::VeltoPageSlug
