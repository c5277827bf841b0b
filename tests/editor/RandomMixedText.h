#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace velto::testing {

/// Random texts made of pieces drawn from an alphabet of UTF-16 texts (ASCII, two- and three-byte characters,
/// surrogate pairs, lone surrogates, a longer ASCII run), for comparing a shortcut with the whole conversion
/// it stands for: the same seed gives the same texts, so a failing round can be replayed.
class RandomMixedText {
public:
    RandomMixedText(unsigned seed, std::vector<std::u16string> alphabet)
        : random_(seed)
        , alphabet_(std::move(alphabet)) {}

    /// A number from 0 to below - 1.
    std::size_t pick(std::size_t below) { return std::uniform_int_distribution<std::size_t>(0, below - 1)(random_); }

    /// A text of at least `units` units, ending with a whole piece of the alphabet.
    std::u16string text(std::size_t units) {
        std::u16string text;
        while (text.size() < units) {
            text += alphabet_[pick(alphabet_.size())];
        }
        return text;
    }

private:
    std::mt19937 random_;
    std::vector<std::u16string> alphabet_;
};

} // namespace velto::testing
