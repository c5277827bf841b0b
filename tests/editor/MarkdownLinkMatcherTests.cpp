#include "editor/markdown/MarkdownLinkMatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

using namespace velto::editor;

namespace {

std::vector<std::vector<TextRange>> linkMatches(std::u16string_view text) {
    std::vector<std::vector<TextRange>> matches;
    enumerateMarkdownLinks(text, [&](const RegexMatch &match) { matches.push_back(match.groups); });
    return matches;
}

std::vector<std::vector<TextRange>> engineMatches(std::u16string_view text) {
    std::vector<std::vector<TextRange>> matches;
    RegexRunner::enumerateMatches(markdownLinkPattern, text,
                                  [&](const RegexMatch &match) { matches.push_back(match.groups); });
    return matches;
}

} // namespace

TEST(MarkdownLinkMatcherTests, FindsLinkAndImageGroups) {
    const auto matches = linkMatches(u"see [label](https://x.y/a) and ![img](p.png)");
    ASSERT_EQ(matches.size(), 2u);
    EXPECT_EQ(matches[0], (std::vector<TextRange>{{4, 22}, {4, 1}, {5, 5}, {10, 2}, {12, 13}, {25, 1}}));
    EXPECT_EQ(matches[1][1], (TextRange{31, 2}));
}

TEST(MarkdownLinkMatcherTests, EscapedParenthesisStaysInDestinationAndBacktracksAtLineEnd) {
    // "\)" is part of the destination; with no closing ")" on the line the engine gives back to the
    // last ")" it passed, leaving a backslash at the destination's end.
    auto matches = linkMatches(u"[a](b\\)c)");
    ASSERT_EQ(matches.size(), 1u);
    EXPECT_EQ(matches[0][4], (TextRange{4, 4}));
    matches = linkMatches(u"[a](b\\)c\nd)");
    ASSERT_EQ(matches.size(), 1u);
    EXPECT_EQ(matches[0][4], (TextRange{4, 2}));
    EXPECT_TRUE(linkMatches(u"[a]()").empty());
    EXPECT_TRUE(linkMatches(u"[](x)").empty());
}

// The matcher stands in for the engine: on every input the two must give the same matches.
TEST(MarkdownLinkMatcherTests, AgreesWithTheRegularExpressionEngineOnRandomText) {
    std::mt19937 random(11);
    const std::u16string alphabet = u"[]()!\\a\n\r\u2028";
    for (int round = 0; round < 20000; ++round) {
        std::u16string text;
        const std::size_t length = random() % 24;
        for (std::size_t k = 0; k < length; ++k) {
            text += alphabet[random() % alphabet.size()];
        }
        ASSERT_EQ(linkMatches(text), engineMatches(text)) << "round " << round;
    }
}

TEST(MarkdownLinkMatcherTests, BackslashPairsWithoutClosingParenthesisTakeLinearTime) {
    std::u16string line = u"[x](";
    for (int k = 0; k < 5000; ++k) {
        line += u"\\a";
    }
    std::u16string text;
    for (int k = 0; k < 20; ++k) {
        text += line + u"\n";
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(linkMatches(text).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
}

TEST(MarkdownLinkMatcherTests, ManyOpenBracketsOnOneLongLineTakeLinearTime) {
    std::u16string text;
    for (int k = 0; k < 50000; ++k) {
        text += u"[a](b ";
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(linkMatches(text).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
}

// The styler runs the setext pattern with a possessive title run; it must find what the pattern as
// written finds.
TEST(MarkdownLinkMatcherTests, PossessiveSetextPatternAgreesWithTheWrittenOne) {
    std::mt19937 random(13);
    const std::u16string alphabet = u"a=\n \t\r#";
    for (int round = 0; round < 5000; ++round) {
        std::u16string text;
        const std::size_t length = random() % 20;
        for (std::size_t k = 0; k < length; ++k) {
            text += alphabet[random() % alphabet.size()];
        }
        std::vector<std::vector<TextRange>> written;
        std::vector<std::vector<TextRange>> possessive;
        RegexRunner::enumerateMatches(R"((?m)^([^\n]+)\n(=+)[ \t]*$)", text,
                                      [&](const RegexMatch &match) { written.push_back(match.groups); });
        RegexRunner::enumerateMatches(R"((?m)^([^\n]++)\n(=+)[ \t]*$)", text,
                                      [&](const RegexMatch &match) { possessive.push_back(match.groups); });
        ASSERT_EQ(written, possessive) << "round " << round;
    }
}
