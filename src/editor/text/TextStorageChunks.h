#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// How the text storage keeps its chunks and the attribute runs inside one chunk: the sizes chunks are
// cut to, where a cut may fall, and the run operations its reading, attribute and character changes share.
// A chunk's runs are found by their starts: from a nearby run the caller knows, else by binary
// search; changes split runs at the changed range's ends and join neighbours that became equal.
namespace velto::editor::storage_chunks {

// Chunk sizes in units. Large enough that a page's chunk list stays short (a 5 MB page has about
// five thousand), small enough that changing one chunk's units and runs costs little: a styling pass
// splits runs all over the page, and each split moves the runs after it in its chunk.
inline constexpr std::size_t chunkUnits = 1024;        // what a text is cut into
inline constexpr std::size_t largestChunkUnits = 2048; // a longer chunk is cut again
inline constexpr std::size_t smallestChunkUnits = 256; // a shorter one joins a neighbour

inline bool isLeadSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

inline bool isTrailSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

/// Where to cut units near `wanted` so that no surrogate pair is split.
inline std::size_t cutNear(std::u16string_view units, std::size_t wanted) {
    if (wanted > 0 && wanted < units.size() && isLeadSurrogate(units[wanted - 1]) && isTrailSurrogate(units[wanted])) {
        return wanted + 1;
    }
    return wanted;
}

/// Where to cut units too long for one chunk so that the parts come out about equal in size (none left
/// tiny) and no surrogate pair is cut: the end of each part, the last one the units' end.
inline std::vector<std::size_t> equalPartEnds(std::u16string_view units) {
    std::vector<std::size_t> ends;
    std::size_t partsLeft = (units.size() + chunkUnits - 1) / chunkUnits;
    for (std::size_t start = 0; start < units.size(); --partsLeft) {
        start = cutNear(units, start + (units.size() - start) / partsLeft);
        ends.push_back(start);
    }
    return ends;
}

/// The index of the run holding the offset, searched from the run `from` on when that one starts at
/// or before the offset. Passes walk the text forward, so the run they want next usually lies a few
/// runs after the one they used last, and stepping there touches less memory than a binary search.
template <typename Run> std::size_t runIndexAt(const std::vector<Run> &runs, std::size_t offset, std::size_t from = 0) {
    if (from >= runs.size() || runs[from].start > offset) {
        from = 0;
    }
    constexpr std::size_t steps = 8;
    const std::size_t stepLimit = std::min(runs.size() - 1, from + steps);
    while (from < stepLimit && runs[from + 1].start <= offset) {
        ++from;
    }
    if (from < stepLimit || from + 1 == runs.size()) {
        return from;
    }
    const auto after = std::upper_bound(runs.begin() + static_cast<std::ptrdiff_t>(from) + 1, runs.end(), offset,
                                        [](std::size_t value, const Run &run) { return value < run.start; });
    return static_cast<std::size_t>(after - runs.begin()) - 1;
}

/// The index of the run starting at the offset, splitting the run that holds it; the number of runs
/// when the offset is the chunk's end. The search for the run starts at `from` (see runIndexAt).
template <typename Chunk> std::size_t splitRunAt(Chunk &chunk, std::size_t offset, std::size_t from = 0) {
    if (offset >= chunk.units.size()) {
        return chunk.runs.size();
    }
    const std::size_t index = runIndexAt(chunk.runs, offset, from);
    if (chunk.runs[index].start == offset) {
        return index;
    }
    using Run = typename decltype(chunk.runs)::value_type;
    chunk.runs.insert(chunk.runs.begin() + static_cast<std::ptrdiff_t>(index) + 1,
                      Run{static_cast<std::uint32_t>(offset), chunk.runs[index].set});
    return index + 1;
}

/// Joins the run at the index to the one before it when their attributes are equal.
template <typename Chunk> void joinWithPrevious(Chunk &chunk, std::size_t index) {
    if (index > 0 && index < chunk.runs.size() && chunk.runs[index - 1].set == chunk.runs[index].set) {
        chunk.runs.erase(chunk.runs.begin() + static_cast<std::ptrdiff_t>(index));
    }
}

template <typename Chunk> void shiftRunStarts(Chunk &chunk, std::size_t from, std::ptrdiff_t delta) {
    for (std::size_t index = from; index < chunk.runs.size(); ++index) {
        chunk.runs[index].start =
            static_cast<std::uint32_t>(static_cast<std::ptrdiff_t>(chunk.runs[index].start) + delta);
    }
}

} // namespace velto::editor::storage_chunks
