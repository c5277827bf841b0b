#include "editor/text/StringRanges.h"

#include <gtest/gtest.h>

#include <random>

using namespace velto::editor;

TEST(StringRangesTests, LineRangesTreatCrLfAsOneTerminatorAndLoneCrAsOne) {
    const std::u16string crlf = u"a\r\nb";
    EXPECT_EQ(lineRange(crlf, TextRange{0, 0}), (TextRange{0, 3}));
    EXPECT_EQ(lineRange(crlf, TextRange{1, 0}), (TextRange{0, 3}));
    EXPECT_EQ(lineRange(crlf, TextRange{2, 0}), (TextRange{0, 3})); // between CR and LF
    EXPECT_EQ(lineRange(crlf, TextRange{3, 0}), (TextRange{3, 1}));
    const std::u16string lone = u"a\rb";
    EXPECT_EQ(lineRange(lone, TextRange{0, 0}), (TextRange{0, 2}));
    EXPECT_EQ(lineRange(lone, TextRange{2, 0}), (TextRange{2, 1}));
}

TEST(StringRangesTests, LineSeparatorAndNextLineEndLinesButNotParagraphs) {
    for (const char16_t separator : {u'\u2028', u'\u0085'}) {
        const std::u16string text = std::u16string(u"a") + separator + u"b\u2029c";
        EXPECT_EQ(lineRange(text, TextRange{0, 0}), (TextRange{0, 2}));
        EXPECT_EQ(paragraphRange(text, TextRange{0, 0}), (TextRange{0, 4}));
        EXPECT_EQ(paragraphRange(text, TextRange{4, 0}), (TextRange{4, 1}));
    }
}

TEST(StringRangesTests, RangesCoverEveryLineTheRangeTouches) {
    const std::u16string text = u"ab\ncd\nef";
    EXPECT_EQ(lineRange(text, TextRange{1, 3}), (TextRange{0, 6}));
    EXPECT_EQ(lineRange(text, TextRange{1, 2}), (TextRange{0, 3})); // ends on the line break
    EXPECT_EQ(lineRange(text, TextRange{8, 0}), (TextRange{6, 2}));
    EXPECT_EQ(lineRange(u"ab\n", TextRange{3, 0}), (TextRange{3, 0}));
    EXPECT_EQ(lineRange(u"", TextRange{0, 0}), (TextRange{0, 0}));
    EXPECT_EQ(contentsEnd(u"ab\r\n", TextRange{0, 4}), 2u);
    EXPECT_EQ(contentsEnd(u"ab", TextRange{0, 2}), 2u);
}

TEST(StringRangesTests, LineEndAndUnitSearchAgreeWithPlainLoops) {
    std::u16string text;
    for (int k = 0; k < 300; ++k) {
        text += (k % 17 == 0) ? u'\n' : (k % 23 == 0) ? u'\u2028' : (k % 31 == 0) ? u'`' : u'a' + (k % 5);
    }
    for (std::size_t start = 0; start <= text.size(); ++start) {
        std::size_t plain = start;
        while (plain < text.size() && !isLineTerminator(text[plain])) {
            ++plain;
        }
        EXPECT_EQ(lineEnd(text, start), plain < text.size() ? plain + 1 : plain);
        EXPECT_EQ(findUnit(text, start, u'`'), std::min(text.find(u'`', start), text.size()));
        EXPECT_EQ(findEitherUnit(text, start, u'`', u'\u2028'),
                  std::min(text.find_first_of(u"`\u2028", start), text.size()));
    }
}

TEST(StringRangesTests, PatternLineTerminatorSearchAgreesWithAPlainLoop) {
    // Every terminator of the engine among units just outside the set, mostly far apart.
    const std::u16string terminators = u"\n\v\f\r\u0085\u2028\u2029";
    const std::u16string neighbours = u"a\t\u000E\u0084\u0086\u2027\u202A\u00E9";
    std::mt19937 random(3);
    std::u16string text;
    for (int k = 0; k < 400; ++k) {
        text +=
            random() % 9 == 0 ? terminators[random() % terminators.size()] : neighbours[random() % neighbours.size()];
    }
    for (std::size_t start = 0; start <= text.size(); ++start) {
        std::size_t plain = start;
        while (plain < text.size() && !isPatternLineTerminator(text[plain])) {
            ++plain;
        }
        EXPECT_EQ(findPatternLineTerminator(text, start), plain) << "from " << start;
    }
}

TEST(StringRangesTests, WhiteSpaceSetsFollowThePlatform) {
    EXPECT_TRUE(isWhitespace(u' '));
    EXPECT_TRUE(isWhitespace(u'\t'));
    EXPECT_TRUE(isWhitespace(u'\u00A0'));
    EXPECT_FALSE(isWhitespace(u'\n'));
    EXPECT_TRUE(isWhitespaceOrNewline(u'\u2028'));
    EXPECT_TRUE(isWhitespaceOrNewline(u'\u0085'));
    EXPECT_EQ(trimmingWhitespaceAndNewlines(u" \t\u00A0js \r\n"), u"js");
}

TEST(StringRangesTests, GraphemeBoundariesKeepClustersWhole) {
    const std::u16string text = u"e\u0301\U0001F1E9\U0001F1EAx"; // e + accent, a flag of two regional indicators
    EXPECT_EQ(nextGraphemeBoundary(text, 0), 2u);
    EXPECT_EQ(nextGraphemeBoundary(text, 2), 6u);
    EXPECT_EQ(previousGraphemeBoundary(text, 6), 2u);
    EXPECT_EQ(previousGraphemeBoundary(text, 0), 0u);
    EXPECT_EQ(nextGraphemeBoundary(text, 7), 7u);
}
