#include "model/LineDiff.h"
#include "model/LineNumbering.h"
#include "model/ThreeWayMerge.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

using namespace velto;
using VeltoThreeWayMerge::maxDate;
using VeltoThreeWayMerge::merge;

namespace {

std::string numberedLines(int count) {
    std::string text;
    for (int line = 1; line <= count; ++line) {
        text += "line " + std::to_string(line) + "\n";
    }
    return text;
}

} // namespace

// ---- Whole files ------------------------------------------------------------------------------------------

struct MergeCase {
    const char *name;
    std::string base;
    std::string local;
    std::string external;
    std::optional<std::string> merged;
};

class ThreeWayMerge : public testing::TestWithParam<MergeCase> {};

TEST_P(ThreeWayMerge, CombinesOrRefuses) {
    const MergeCase &c = GetParam();
    EXPECT_EQ(merge(c.base, c.local, c.external), c.merged);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ThreeWayMerge,
    testing::Values(
        // One side unchanged, or both the same: no parsing, the text comes back byte for byte.
        MergeCase{"SameOnBothSidesGivesLocal", "a", "b\r\nx", "b\r\nx", "b\r\nx"},
        MergeCase{"UnchangedLocalGivesExternalExactly", "a\nb", "a\nb", "---\r\nx\r\n...\r\nz", "---\r\nx\r\n...\r\nz"},
        MergeCase{"UnchangedExternalGivesLocal", "a\nb", "a\nB", "a\nb", "a\nB"},
        // Bodies line by line.
        MergeCase{"DistantChangesBothApply", "1\n2\n3\n4\n5\n6", "1\nTWO\n3\n4\n5\n6", "1\n2\n3\n4\nFIVE\n6",
                  "1\nTWO\n3\n4\nFIVE\n6"},
        MergeCase{"AdjacentReplacementsMerge", "1\n2\n3\n4", "1\nA\n3\n4", "1\n2\nB\n4", "1\nA\nB\n4"},
        MergeCase{"DifferentAppendsConflict", "a\nb", "a\nb\nc", "a\nb\nd", std::nullopt},
        MergeCase{"InsertionBeforeReplacedRangeConflicts", "1\n2\n3\n4", "1\nX\nY\n4", "1\nnew\n2\n3\n4", std::nullopt},
        MergeCase{"InsertionAfterReplacedRangeConflicts", "1\n2\n3\n4", "1\nX\nY\n4", "1\n2\n3\nnew\n4", std::nullopt},
        MergeCase{"InsertionInsideReplacedRangeConflicts", "1\n2\n3\n4", "1\n4", "1\n2\nnew\n3\n4", std::nullopt},
        MergeCase{"OverlappingReplacementsConflict", "1\n2\n3\n4", "1\nA\nB\n4", "1\n2\nC\n4", std::nullopt},
        MergeCase{"SharedChangeAppliedOnce", "1\n2\n3\n4\n5\n6\n7", "1\nX\n3\n4\n5\nY\n7", "1\nX\n3\nZ\n5\n6\n7",
                  "1\nX\n3\nZ\n5\nY\n7"},
        MergeCase{"SharedInsertionAppliedOnce", "a\nb\nc", "a\nnew\nb\nc\nlocal", "a\nnew\nb\nc",
                  "a\nnew\nb\nc\nlocal"},
        MergeCase{"RemovalAndDistantEdit", "1\n2\n3\n4\n5", "1\n3\n4\n5", "1\n2\n3\n4\nFIVE", "1\n3\n4\nFIVE"},
        // Line endings and trailing line breaks.
        MergeCase{"CRLFConversionAndBodyEditCombine", "a\nb\nc", "a\r\nb\r\nc", "a\nB\nc", "a\r\nB\r\nc"},
        MergeCase{"BothSwitchingToCRLFAgree", "a\nb\nc", "a\r\nb\r\nc\n", "a\rb\nc\r\n", "a\rb\r\nc\r\n"},
        MergeCase{"TrailingLineBreakRemovedBesideEdit", "a\nb\nc\n", "a\nB\nc\n", "a\nb\nc", "a\nB\nc"},
        MergeCase{"TrailingLineBreakAddedBesideDistantEdit", "a\nb\nc", "A\nb\nc", "a\nb\nc\n", "A\nb\nc\n"},
        // Empty texts.
        MergeCase{"BothFillEmptyPageConflict", "", "a", "b", std::nullopt},
        MergeCase{"EmptiedPageAgainstAppendConflicts", "x", "", "x\ny", std::nullopt},
        MergeCase{"EmptyBaseAndAppendOnOneSide", "", "", "b", "b"},
        // The front matter is one value.
        MergeCase{"FrontMatterChangedOnOneSide", "---\nvelto:\n  id: 1\n---\na\nb\nc",
                  "---\nvelto:\n  id: 1\n  archived: true\n---\na\nb\nc", "---\nvelto:\n  id: 1\n---\na\nb\nC",
                  "---\nvelto:\n  id: 1\n  archived: true\n---\na\nb\nC"},
        MergeCase{"FrontMatterChangedDifferentlyConflicts", "---\nx: 1\n---\na\nb\nc", "---\nx: 2\n---\nA\nb\nc",
                  "---\nx: 3\n---\na\nb\nC", std::nullopt},
        MergeCase{"FrontMatterRemovedOnOneSide", "---\nx: 1\n---\nbody", "body", "---\nx: 1\n---\nbody\nmore",
                  "body\nmore"},
        MergeCase{"EmptyFrontMatterDiffersFromNone", "B\nc", "---\n---\nB\nc", "B\nC", "---\n\n---\nB\nC"},
        // Canonically equivalent lines are equal lines; unchanged lines keep the base's bytes.
        MergeCase{"DecomposedLineIsNoChange", "caf\u00e9\nb\nc\nd", "cafe\u0301\nb\nc\nd\nlocal", "caf\u00e9\nB\nc\nd",
                  "caf\u00e9\nB\nc\nd\nlocal"},
        MergeCase{"UnchangedBodyKeepsBaseFormOfEquivalentLines", "---\na\n---\ncafe\u0301\nx",
                  "---\nb\n---\ncafe\u0301\nx", "---\na\n---\ncaf\u00e9\ny", "---\nb\n---\ncafe\u0301\ny"},
        MergeCase{"CanonicallyEqualSidesGiveLocal", "x", "cafe\u0301", "caf\u00e9", "cafe\u0301"},
        MergeCase{"EqualFrontMattersInDifferentFormsAgree", "---\nt: a\n---\n1\n2\n3", "---\nt: \u00e9\n---\nX\n2\n3",
                  "---\nt: e\u0301\n---\n1\n2\nY", "---\nt: \u00e9\n---\nX\n2\nY"},
        // Among equally short scripts the greedy search matches the earlier "a": the local edits are
        // [0,1)→z and [2,4)→(nothing), so an external change of the last line overlaps.
        MergeCase{"TieBreakFollowsGreedySearch", "x\na\ny\na", "z\na", "x\na\ny\nb", std::nullopt}),
    [](const testing::TestParamInfo<MergeCase> &info) { return std::string(info.param.name); });

TEST(ThreeWayMergeOfLargePages, ScatteredEditsOnBothSidesAllApply) {
    std::string base = numberedLines(20000);
    std::string local = base;
    std::string external = base;
    std::string expected = base;
    for (int line = 100; line < 20000; line += 1000) {
        std::string original = "line " + std::to_string(line) + "\n";
        std::string localEdit = "local " + std::to_string(line) + "\n";
        std::string externalEdit = "external " + std::to_string(line + 500) + "\n";
        std::string externalOriginal = "line " + std::to_string(line + 500) + "\n";
        local.replace(local.find(original), original.size(), localEdit);
        expected.replace(expected.find(original), original.size(), localEdit);
        external.replace(external.find(externalOriginal), externalOriginal.size(), externalEdit);
        expected.replace(expected.find(externalOriginal), externalOriginal.size(), externalEdit);
    }
    EXPECT_EQ(merge(base, local, external), expected);
}

TEST(ThreeWayMergeOfLargePages, CompleteRewritesOnBothSidesConflict) {
    std::string base = numberedLines(1000);
    std::string local;
    std::string external;
    for (int line = 0; line < 1000; ++line) {
        local += "local " + std::to_string(line) + "\n";
        external += "external " + std::to_string(line) + "\n";
    }
    EXPECT_EQ(merge(base, local, external), std::nullopt);
}

TEST(ThreeWayMergeOfLargePages, RewrittenBodyBesideFrontMatterChangeMerges) {
    std::string rewritten;
    for (int line = 0; line < 30000; ++line) {
        rewritten += "rewritten " + std::to_string(line) + "\n";
    }
    std::string base = "---\nvelto:\n  id: 1\n---\n" + numberedLines(30000);
    std::string local = "---\nvelto:\n  id: 1\n  archived: true\n---\n" + numberedLines(30000);
    std::string external = "---\nvelto:\n  id: 1\n---\n" + rewritten;
    EXPECT_EQ(merge(base, local, external), "---\nvelto:\n  id: 1\n  archived: true\n---\n" + rewritten);
}

// ---- maxDate ----------------------------------------------------------------------------------------------

TEST(ThreeWayMergeMaxDate, PicksTheLaterOrThePresentDate) {
    Date earlier = dateFromSecondsSince1970(1000);
    Date later = dateFromSecondsSince1970(2000);
    EXPECT_EQ(maxDate(std::nullopt, std::nullopt), std::nullopt);
    EXPECT_EQ(maxDate(std::nullopt, earlier), earlier);
    EXPECT_EQ(maxDate(later, std::nullopt), later);
    EXPECT_EQ(maxDate(earlier, later), later);
    EXPECT_EQ(maxDate(later, earlier), later);
}

// ---- The line difference ----------------------------------------------------------------------------------

namespace {

/// The greedy search and backtracking exactly as textbooks write them: every round's whole array kept.
LineDifference referenceDifference(const std::vector<LineNumber> &base, const std::vector<LineNumber> &side) {
    const long n = static_cast<long>(base.size());
    const long m = static_cast<long>(side.size());
    std::vector<std::map<long, long>> trace;
    std::map<long, long> furthest{{1, 0}};
    long x = 0;
    long y = 0;
    for (long d = 0; d <= n + m; ++d) {
        trace.push_back(furthest);
        std::map<long, long> previous = furthest;
        for (long k = -d; k <= d; k += 2) {
            x = (k == -d || (k != d && previous[k - 1] < previous[k + 1])) ? previous[k + 1] : previous[k - 1] + 1;
            y = x - k;
            while (x < n && y < m && base[x] == side[y]) {
                ++x;
                ++y;
            }
            furthest[k] = x;
            if (x >= n && y >= m) {
                break;
            }
        }
        if (x >= n && y >= m) {
            break;
        }
    }
    LineDifference difference{std::vector<bool>(base.size()), std::vector<bool>(side.size())};
    x = n;
    y = m;
    for (long d = static_cast<long>(trace.size()) - 1; d > 0; --d) {
        std::map<long, long> &v = trace[d];
        long k = x - y;
        long previousK = (k == -d || (k != d && v[k - 1] < v[k + 1])) ? k + 1 : k - 1;
        long previousX = v[previousK];
        long previousY = previousX - previousK;
        while (x > previousX && y > previousY) {
            --x;
            --y;
        }
        if (y != previousY) {
            difference.inserted[previousY] = true;
        } else {
            difference.removed[previousX] = true;
        }
        x = previousX;
        y = previousY;
    }
    return difference;
}

std::vector<LineNumber> randomLines(std::mt19937 &random, std::size_t maximumLength, LineNumber alphabet) {
    std::vector<LineNumber> lines(std::uniform_int_distribution<std::size_t>(0, maximumLength)(random));
    for (LineNumber &line : lines) {
        line = std::uniform_int_distribution<LineNumber>(0, alphabet - 1)(random);
    }
    return lines;
}

} // namespace

TEST(LineDifference, ChoosesTheSameScriptAsTheTextbookSearch) {
    std::mt19937 random(20260105);
    for (int trial = 0; trial < 3000; ++trial) {
        LineNumber alphabet = trial % 3 == 0 ? 2 : 4;
        std::vector<LineNumber> base = randomLines(random, 14, alphabet);
        std::vector<LineNumber> side = randomLines(random, 14, alphabet);
        std::optional<LineDifference> difference = shortestLineDifference(base, side);
        ASSERT_TRUE(difference);
        LineDifference expected = referenceDifference(base, side);
        ASSERT_EQ(difference->removed, expected.removed) << "trial " << trial;
        ASSERT_EQ(difference->inserted, expected.inserted) << "trial " << trial;
    }
}

TEST(LineDifference, EmptyListsHaveNoChanges) {
    std::optional<LineDifference> difference = shortestLineDifference({}, {});
    ASSERT_TRUE(difference);
    EXPECT_TRUE(difference->removed.empty());
    EXPECT_TRUE(difference->inserted.empty());
}

TEST(LineDifference, GivesUpWhenTheScriptOutgrowsItsMemoryBudget) {
    std::vector<LineNumber> base(100, 1);
    std::vector<LineNumber> side(100, 2);
    // Nothing matches, so the script has 200 steps: rounds 0 to 200 remember 201 · 202 / 2 choices.
    EXPECT_FALSE(shortestLineDifference(base, side, 20300));
    EXPECT_TRUE(shortestLineDifference(base, side, 20301));
}

TEST(LineNumbering, EquivalentLinesShareANumberBeyondTheAnnouncedRoom) {
    std::vector<std::string> texts;
    for (int line = 0; line < 100; ++line) {
        texts.push_back("line " + std::to_string(line));
    }
    texts.push_back("caf\u00e9");
    texts.push_back("cafe\u0301");
    texts.push_back("line 7");
    std::vector<std::string_view> lines(texts.begin(), texts.end());

    LineNumbering numbering(1);
    std::vector<LineNumber> numbers = numbering.numbersOf(lines);
    EXPECT_EQ(std::set<LineNumber>(numbers.begin(), numbers.begin() + 101).size(), 101u);
    EXPECT_EQ(numbers[101], numbers[100]);
    EXPECT_EQ(numbers[102], numbers[7]);
    EXPECT_FALSE(numbering.everyLineIsNFC());
}
