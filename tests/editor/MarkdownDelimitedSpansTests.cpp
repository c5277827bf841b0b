#include "editor/markdown/MarkdownDelimitedSpans.h"

#include "editor/RandomRanges.h"

#include <gtest/gtest.h>

#include <random>

using namespace velto::editor;

namespace {

using Matches = std::vector<std::vector<TextRange>>;

const DelimitedSpanPattern *const allPatterns[] = {&strongStarsPattern, &strongUnderscoresPattern, &emphasisStarPattern,
                                                   &emphasisUnderscorePattern, &strikethroughPattern};

Matches spanMatches(const DelimitedSpanPattern &span, std::u16string_view text, const std::vector<TextRange> &ranges) {
    Matches matches;
    enumerateDelimitedSpans(span, text, ranges, [&](const RegexMatch &match) { matches.push_back(match.groups); });
    return matches;
}

Matches engineMatches(const DelimitedSpanPattern &span, std::u16string_view text,
                      const std::vector<TextRange> &ranges) {
    Matches matches;
    RegexRunner::enumerateMatches(span.pattern, text, ranges,
                                  [&](const RegexMatch &match) { matches.push_back(match.groups); });
    return matches;
}

} // namespace

TEST(MarkdownDelimitedSpansTests, FindsSpansWithTheirContent) {
    struct Case {
        const DelimitedSpanPattern *span;
        std::u16string text;
        Matches expected;
    };
    const Case cases[] = {
        {&strongStarsPattern, u"a **b** c", {{{2, 5}, {4, 1}}}},
        {&strongStarsPattern, u"***a**", {{{1, 5}, {3, 1}}}},
        {&strongStarsPattern, u"**a\nb**", {}},
        {&emphasisStarPattern, u"*a* **b** *c*", {{{0, 3}, {1, 1}}, {{10, 3}, {11, 1}}}},
        {&emphasisUnderscorePattern, u"_a__", {}},
        {&strikethroughPattern, u"~~x~~~~y~~", {{{0, 5}, {2, 1}}, {{5, 5}, {7, 1}}}},
    };
    for (const Case &test : cases) {
        EXPECT_EQ(spanMatches(*test.span, test.text, {TextRange{0, test.text.size()}}), test.expected)
            << test.span->pattern;
    }
}

TEST(MarkdownDelimitedSpansTests, LoneDelimiterLooksAroundTheSearchedRange) {
    // "*a*" alone is emphasis, but the star before the range and the one after it touch its delimiters.
    EXPECT_TRUE(spanMatches(emphasisStarPattern, u"**a*", {TextRange{1, 3}}).empty());
    EXPECT_TRUE(spanMatches(emphasisStarPattern, u"*a**", {TextRange{0, 3}}).empty());
    EXPECT_EQ(spanMatches(emphasisStarPattern, u"x*a*x", {TextRange{1, 3}}).size(), 1u);
}

// The matcher stands in for the engine: on every input and every set of ranges the two must give the
// same matches.
TEST(MarkdownDelimitedSpansTests, AgreesWithTheRegularExpressionEngineOnRandomText) {
    std::mt19937 random(5);
    const std::u16string alphabet = u"**__~~a \n\r\u2028\U0001F600";
    for (int round = 0; round < 20000; ++round) {
        std::u16string text;
        const std::size_t length = random() % 20;
        for (std::size_t k = 0; k < length; ++k) {
            text += alphabet[random() % alphabet.size()];
        }
        const std::vector<TextRange> ranges = randomRanges(random, text.size());
        for (const DelimitedSpanPattern *span : allPatterns) {
            ASSERT_EQ(spanMatches(*span, text, ranges), engineMatches(*span, text, ranges))
                << "round " << round << ", " << span->pattern;
        }
    }
}
