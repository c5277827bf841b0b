#pragma once

#include "editor/text/TextAttributes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velto::editor {

/// Finds a set's index in a text storage's palette by the interned set's identity. A page's palette holds
/// hundreds of thousands of sets (one per link), so the table keeps only indices, four bytes a slot in an
/// open-addressing table at most half full, and compares identities through the palette itself; a hash map
/// node for each set cost about 40 bytes.
class PaletteLookup {
public:
    /// The index of the set in the palette, or `palette.size()` when it is not there.
    std::uint32_t find(const std::vector<Attributes> &palette, const Attributes &set) const {
        if (slots_.empty()) {
            return static_cast<std::uint32_t>(palette.size());
        }
        for (std::size_t slot = firstSlot(set);; slot = (slot + 1) & (slots_.size() - 1)) {
            const std::uint32_t stored = slots_[slot];
            if (stored == empty) {
                return static_cast<std::uint32_t>(palette.size());
            }
            if (palette[stored - 1] == set) {
                return stored - 1;
            }
        }
    }

    /// Notes that the palette's last set, just appended, is at its index.
    void addLast(const std::vector<Attributes> &palette) {
        if (2 * palette.size() > slots_.size()) {
            rebuild(palette);
            return;
        }
        place(palette.back(), static_cast<std::uint32_t>(palette.size() - 1));
    }

    /// Indexes the palette afresh, after its sets were renumbered.
    void rebuild(const std::vector<Attributes> &palette) {
        std::size_t size = 16;
        shift_ = 60;
        while (size < 2 * palette.size()) {
            size *= 2;
            --shift_;
        }
        slots_.assign(size, empty);
        for (std::uint32_t index = 0; index < palette.size(); ++index) {
            place(palette[index], index);
        }
    }

    std::size_t slotCount() const { return slots_.size(); }

private:
    static constexpr std::uint32_t empty = 0; // a slot holds an index plus one

    /// The slot a set's search starts at: the high bits of its identity times the golden ratio, which
    /// spreads the identities of sets allocated side by side.
    std::size_t firstSlot(const Attributes &set) const {
        const auto identity = reinterpret_cast<std::uintptr_t>(set.identity());
        return static_cast<std::size_t>((identity * 0x9e3779b97f4a7c15ULL) >> shift_);
    }

    void place(const Attributes &set, std::uint32_t index) {
        std::size_t slot = firstSlot(set);
        while (slots_[slot] != empty) {
            slot = (slot + 1) & (slots_.size() - 1);
        }
        slots_[slot] = index + 1;
    }

    std::vector<std::uint32_t> slots_;
    int shift_ = 60; // 64 less the bits of a slot number
};

} // namespace velto::editor
