#include "editor/markdown/MarkdownBareAddresses.h"

#include "editor/RandomRanges.h"

#include <gtest/gtest.h>

#include <random>

using namespace velto::editor;

namespace {

using Matches = std::vector<std::vector<TextRange>>;

Matches addressMatches(std::u16string_view text, const std::vector<TextRange> &ranges) {
    Matches matches;
    enumerateBareAddresses(text, ranges, [&](const RegexMatch &match) { matches.push_back(match.groups); });
    return matches;
}

Matches engineMatches(std::u16string_view text, const std::vector<TextRange> &ranges) {
    Matches matches;
    RegexRunner::enumerateMatches(bareAddressPattern, text, ranges,
                                  [&](const RegexMatch &match) { matches.push_back(match.groups); });
    return matches;
}

} // namespace

TEST(MarkdownBareAddressesTests, FindsAddressesUpToWhiteSpaceOrBrackets) {
    struct Case {
        std::u16string text;
        Matches expected;
    };
    const Case cases[] = {
        {u"see https://a.b/c. and mailto:x@y", {{{4, 14}}, {{23, 10}}}},
        {u"(http://a)", {{{1, 8}}}},
        {u"http:// https://\u00A0x", {}},
        {u"xhttps://a", {{{1, 9}}}},
        {u"mailto:", {}},
    };
    for (const Case &test : cases) {
        EXPECT_EQ(addressMatches(test.text, {TextRange{0, test.text.size()}}), test.expected);
    }
}

// The matcher stands in for the engine: on every input and every set of ranges the two must give the
// same matches, white space beyond ASCII included.
TEST(MarkdownBareAddressesTests, AgreesWithTheRegularExpressionEngineOnRandomText) {
    std::mt19937 random(9);
    const std::u16string pieces[] = {
        u"http",   u"https",  u"mailto", u":",      u"//",     u"/",      u"a", u" ", u"\t", u"\n",     u"\v",
        u"\u0085", u"\u00A0", u"\u001C", u"\u200B", u"\u2028", u"\u3000", u"<", u")", u"(",  u"\xD83D", u"\xDE00"};
    for (int round = 0; round < 20000; ++round) {
        std::u16string text;
        const std::size_t count = random() % 12;
        for (std::size_t k = 0; k < count; ++k) {
            text += pieces[random() % std::size(pieces)];
        }
        const std::vector<TextRange> ranges = randomRanges(random, text.size());
        ASSERT_EQ(addressMatches(text, ranges), engineMatches(text, ranges)) << "round " << round;
    }
}
