#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velto::editor {

/// Which UTF-16 units a stretch of text may hold: one bit for each ASCII unit, and for every other unit a bit
/// chosen by a hash of it. A search asks it first and skips a stretch that cannot hold what it looks for, so
/// looking for a line feed back through a line of a megabyte reads a few bits per chunk instead of every unit.
///
/// It may claim units the stretch no longer holds (units removed since they were added), never fewer than it
/// holds: a claim costs a search only a look, a missing one would make it miss a unit.
class UnitsHeld {
public:
    UnitsHeld() = default;
    explicit UnitsHeld(std::u16string_view units) { add(units); }

    void add(char16_t unit) { bits_[wordOf(unit)] |= bitOf(unit); }
    void add(std::u16string_view units) {
        if (units.size() < shortestMarkedAdd) {
            for (const char16_t unit : units) {
                add(unit);
            }
            return;
        }
        // A chunk's worth of units marks a byte per bit and folds the bytes into the words once: setting the
        // word's bit at each unit made every unit wait for the unit before it to be written, which was most of
        // the time filling a big page's chunks took.
        std::array<std::uint8_t, bitCount> marked{};
        for (const char16_t unit : units) {
            marked[bitIndex(unit)] = 1;
        }
        for (std::size_t index = 0; index < bitCount; ++index) {
            bits_[index / 64] |= std::uint64_t{marked[index]} << (index % 64);
        }
    }
    void add(const UnitsHeld &other) {
        for (std::size_t word = 0; word < bits_.size(); ++word) {
            bits_[word] |= other.bits_[word];
        }
    }

    bool mayHold(char16_t unit) const { return (bits_[wordOf(unit)] & bitOf(unit)) != 0; }
    bool mayHoldAnyOf(std::u16string_view units) const {
        for (const char16_t unit : units) {
            if (mayHold(unit)) {
                return true;
            }
        }
        return false;
    }

private:
    // Words 0 and 1 hold the ASCII units exactly; word 2 the others, by a multiplicative hash that spreads
    // neighbouring code points (accented letters, quotation marks, the paragraph separator) over its bits.
    static constexpr std::size_t bitCount = 3 * 64;
    static constexpr std::size_t shortestMarkedAdd = 256; // below it, folding the marks costs more than it saves
    /// The unit's bit counted over the three words: the ASCII unit's own, another's by the hash.
    static unsigned bitIndex(char16_t unit) { return unit < 128 ? unit : 128 + (((unit * 40503u) & 0xFFFFu) >> 10); }
    static std::size_t wordOf(char16_t unit) { return bitIndex(unit) / 64; }
    static std::uint64_t bitOf(char16_t unit) { return std::uint64_t{1} << (bitIndex(unit) % 64); }

    std::array<std::uint64_t, 3> bits_{};
};

} // namespace velto::editor
