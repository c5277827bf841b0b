#include "model/LineDiff.h"

#include <algorithm>

namespace velto {

namespace {

using Offset = std::int64_t;

/// The most rounds whose choices fit the budget: rounds 0 to d hold (d + 1)(d + 2) / 2 bits.
Offset affordableRounds(std::uint64_t choiceBitBudget) {
    std::uint64_t rounds = 0;
    while ((rounds + 2) * (rounds + 3) / 2 <= choiceBitBudget) {
        ++rounds;
    }
    return static_cast<Offset>(rounds);
}

/// Follows equal lines diagonally from (x, y).
void followEqualLines(std::span<const LineNumber> base, std::span<const LineNumber> side, Offset &x, Offset &y) {
    const auto n = static_cast<Offset>(base.size());
    const auto m = static_cast<Offset>(side.size());
    while (x < n && y < m && base[static_cast<std::size_t>(x)] == side[static_cast<std::size_t>(y)]) {
        ++x;
        ++y;
    }
}

/// For every round d the choices of diagonals -d, -d + 2, …, d in that order: whether the furthest path on the
/// diagonal stepped down from k + 1 (an insertion) rather than right from k - 1 (a removal). One bit each.
class SearchChoices {
public:
    Offset lastRound = 0; // D, the length of the shortest script

    /// Appends the next choice. Bits gather in a word of their own before they are stored, which keeps the
    /// search's inner loop free of memory round trips.
    void append(bool steppedDown) {
        pending_ |= std::uint64_t(steppedDown) << (count_ % 64);
        if (++count_ % 64 == 0) {
            words_.push_back(pending_);
            pending_ = 0;
        }
    }

    /// Stores the last, partly filled word; called once after the last choice.
    void finish() {
        if (count_ % 64 != 0) {
            words_.push_back(pending_);
        }
    }

    bool steppedDownAt(Offset round, Offset diagonal) const {
        auto index = static_cast<std::uint64_t>(round * (round + 1) / 2 + (diagonal + round) / 2);
        return (words_[index / 64] >> (index % 64)) & 1;
    }

private:
    std::vector<std::uint64_t> words_;
    std::uint64_t pending_ = 0;
    std::uint64_t count_ = 0;
};

/// The forward greedy search; nothing when the script is longer than the budget allows.
std::optional<SearchChoices> searchChoices(std::span<const LineNumber> base, std::span<const LineNumber> side,
                                           std::uint64_t choiceBitBudget) {
    const auto n = static_cast<Offset>(base.size());
    const auto m = static_cast<Offset>(side.size());
    const Offset lastRound = std::min(n + m, affordableRounds(choiceBitBudget));

    // furthest[k]: how far along the base the best path on diagonal k has come so far, for k from
    // -(lastRound + 1) to lastRound + 1. A round only reads the diagonals of the other parity, which the previous
    // round wrote, so one array serves all rounds.
    std::vector<Offset> storage(static_cast<std::size_t>(2 * lastRound + 3), 0);
    Offset *furthest = storage.data() + lastRound + 1;

    SearchChoices choices;
    for (Offset round = 0; round <= lastRound; ++round) {
        for (Offset diagonal = -round; diagonal <= round; diagonal += 2) {
            bool down = diagonal == -round || (diagonal != round && furthest[diagonal - 1] < furthest[diagonal + 1]);
            Offset x = down ? furthest[diagonal + 1] : furthest[diagonal - 1] + 1;
            Offset y = x - diagonal;
            followEqualLines(base, side, x, y);
            furthest[diagonal] = x;
            choices.append(down);
            if (x >= n && y >= m) {
                choices.lastRound = round;
                choices.finish();
                return choices;
            }
        }
    }
    return std::nullopt;
}

/// Going back from the end, whether the path's step in each round 1…D was down (index 0 is unused).
std::vector<bool> stepsDownOfPath(const SearchChoices &choices, Offset n, Offset m) {
    std::vector<bool> stepsDown(static_cast<std::size_t>(choices.lastRound + 1));
    Offset diagonal = n - m;
    for (Offset round = choices.lastRound; round >= 1; --round) {
        bool down = choices.steppedDownAt(round, diagonal);
        stepsDown[static_cast<std::size_t>(round)] = down;
        diagonal += down ? 1 : -1;
    }
    return stepsDown;
}

} // namespace

std::optional<LineDifference> shortestLineDifference(std::span<const LineNumber> base, std::span<const LineNumber> side,
                                                     std::uint64_t choiceBitBudget) {
    LineDifference difference{std::vector<bool>(base.size()), std::vector<bool>(side.size())};

    // The greedy search always keeps the whole common beginning (its first diagonal run), so leaving it out
    // changes no choice; a common ending is not kept in every case and stays in.
    std::size_t common = 0;
    while (common < base.size() && common < side.size() && base[common] == side[common]) {
        ++common;
    }
    std::span<const LineNumber> restOfBase = base.subspan(common);
    std::span<const LineNumber> restOfSide = side.subspan(common);

    std::optional<SearchChoices> choices = searchChoices(restOfBase, restOfSide, choiceBitBudget);
    if (!choices) {
        return std::nullopt;
    }
    std::vector<bool> stepsDown =
        stepsDownOfPath(*choices, static_cast<Offset>(restOfBase.size()), static_cast<Offset>(restOfSide.size()));

    // Walk the path forward again: each round is one step, then a run of equal lines.
    Offset x = 0;
    Offset y = 0;
    followEqualLines(restOfBase, restOfSide, x, y);
    for (Offset round = 1; round <= choices->lastRound; ++round) {
        if (stepsDown[static_cast<std::size_t>(round)]) {
            difference.inserted[common + static_cast<std::size_t>(y)] = true;
            ++y;
        } else {
            difference.removed[common + static_cast<std::size_t>(x)] = true;
            ++x;
        }
        followEqualLines(restOfBase, restOfSide, x, y);
    }
    return difference;
}

} // namespace velto
