#include "editor/RegexRunner.h"

#include <gtest/gtest.h>

#include <chrono>

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
