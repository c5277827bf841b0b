#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velto {

/// Lines numbered so that equal lines carry equal numbers.
using LineNumber = std::uint32_t;

/// One side's changes against a base: which base lines go and which side lines come.
struct LineDifference {
    std::vector<bool> removed;  // by offset into the base
    std::vector<bool> inserted; // by offset into the side
};

/// The shortest edit script that turns `base` into `side`, with no moves.
///
/// Where several scripts are equally short the choice decides whether some merges conflict, so it is the one the
/// textbook greedy form of Myers' algorithm makes: on each diagonal k of round d, step down from k + 1 when
/// k = -d, or when k != d and diagonal k - 1 reaches less far than k + 1; otherwise step right from k - 1.
///
/// Time is O((N + M) · D) for D differing lines. The search remembers one bit per diagonal and round, about
/// D²/2 bits; past a budget of 32 MiB (D ≈ 23,000, about a second of work) it gives up and returns nothing,
/// which the merge reports as a conflict, so that wholesale rewrites of a huge page on both sides cannot exhaust
/// memory or hold a save for long.
inline constexpr std::uint64_t defaultChoiceBitBudget = std::uint64_t(1) << 28;

std::optional<LineDifference> shortestLineDifference(std::span<const LineNumber> base, std::span<const LineNumber> side,
                                                     std::uint64_t choiceBitBudget = defaultChoiceBitBudget);

} // namespace velto
