#include "editor/text/RegexRunner.h"

#include "editor/RandomRanges.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

using namespace velto::editor;

TEST(RegexRunnerTests, GroupsThatTookNoPartAreNotFound) {
    std::vector<RegexMatch> matches;
    EXPECT_TRUE(RegexRunner::enumerateMatches("(a)|(b)", u"ba", [&](const RegexMatch &m) { matches.push_back(m); }));
    ASSERT_EQ(matches.size(), 2u);
    EXPECT_EQ(matches[0].range(1).location, TextRange::notFound);
    EXPECT_EQ(matches[0].range(2), (TextRange{0, 1}));
    EXPECT_EQ(matches[1].range(1), (TextRange{1, 1}));
}

TEST(RegexRunnerTests, PatternsCompileOnceAndBrokenOnesMatchNothing) {
    const std::size_t before = RegexRunner::compiledPatternCount();
    RegexRunner::enumerateMatches("x+y", u"xxy", [](const RegexMatch &) {});
    RegexRunner::enumerateMatches("x+y", u"xy", [](const RegexMatch &) {});
    EXPECT_EQ(RegexRunner::compiledPatternCount(), before + 1);
    bool called = false;
    EXPECT_FALSE(RegexRunner::enumerateMatches("(unclosed", u"(unclosed", [&](const RegexMatch &) { called = true; }));
    EXPECT_FALSE(called);
    EXPECT_EQ(RegexRunner::compiledPatternCount(), before + 1);
}

TEST(RegexRunnerTests, MultiLineAnchorsAndDotFollowTheEngine) {
    std::vector<TextRange> lines;
    RegexRunner::enumerateMatches("(?m)^(.+)$", u"a\r\nb\rc\u2028d",
                                  [&](const RegexMatch &m) { lines.push_back(m.range(1)); });
    EXPECT_EQ(lines, (std::vector<TextRange>{{0, 1}, {3, 1}, {5, 1}, {7, 1}}));
}

TEST(RegexRunnerTests, BacktrackingRunawayStopsAsNoMatch) {
    const std::u16string text = std::u16string(40, u'a');
    const auto start = std::chrono::steady_clock::now();
    int matches = 0;
    RegexRunner::enumerateMatches("(a+)+b", text, [&](const RegexMatch &) { ++matches; });
    EXPECT_EQ(matches, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(RegexRunnerTests, ReplacementUsesGroupReferences) {
    EXPECT_EQ(RegexRunner::replacingMatches(R"(\\(.))", u"a\\(b\\)c\\", u"$1"), u"a(b)c\\");
    EXPECT_EQ(RegexRunner::replacingMatches("(", u"keep", u"x"), u"keep");
}

// A pattern opening with "(?m)^" is tried only where its search would try it; the same pattern behind a
// group opening is searched unit by unit by the engine. The two must agree on every text and every set
// of ranges: terminators of every kind, a carriage return before its line feed, matches that end on a
// line start, empty matches, and ranges that start or end inside lines.
TEST(RegexRunnerTests, PatternsAnchoredAtLineStartsFindWhatTheEngineFinds) {
    const std::string anchoredBodies[] = {
        R"([ \t]*([-+*]|[0-9]+\.)[ \t]+)",
        R"((#{1,6})[ \t]+(.+)$)",
        R"([ \t]{0,3}((?:-{3,}|\*{3,}))[ \t]*$)",
        "a*",
        "$",
        "(?:a|-)\\n?",
        "(?<=\\r)a",
        "[^\\n]*\\n=",
    };
    const std::u16string alphabet = u"aa--#  \t1.\n\n\r\v\f\u0085\u2028\u2029=*";
    std::mt19937 random(17);
    for (int round = 0; round < 6000; ++round) {
        std::u16string text;
        const std::size_t length = random() % 16;
        for (std::size_t k = 0; k < length; ++k) {
            text += alphabet[random() % alphabet.size()];
        }
        const std::vector<TextRange> ranges = randomRanges(random, text.size());
        for (const std::string &body : anchoredBodies) {
            const auto matchesOf = [&](const std::string &pattern) {
                std::vector<std::vector<TextRange>> matches;
                RegexRunner::enumerateMatches(pattern, text, ranges,
                                              [&](const RegexMatch &match) { matches.push_back(match.groups); });
                return matches;
            };
            ASSERT_EQ(matchesOf("(?m)^" + body), matchesOf("(?m)(?:^" + body + ")"))
                << "round " << round << ", " << body;
        }
    }
}
