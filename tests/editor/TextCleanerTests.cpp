#include "editor/AttributeDump.h"
#include "editor/rules/TextCleaner.h"
#include "editor/text/RegexRunner.h"

#include <gtest/gtest.h>

#include <random>

using namespace velto::editor;
using velto::editor::testing::utf8;

namespace {

/// The cleaning as its five replacements, with the regular expressions the rules are written in.
std::u16string cleanedByPatterns(std::u16string text) {
    text = RegexRunner::replacingMatches("\\r\\n", text, u"\n");
    text = RegexRunner::replacingMatches("\\r", text, u"\n");
    text = RegexRunner::replacingMatches("\\u00A0", text, u" ");
    text = RegexRunner::replacingMatches("(?m)[ \\t]+$", text, u"");
    return RegexRunner::replacingMatches("\\n{3,}", text, u"\n\n");
}

} // namespace

TEST(TextCleanerTests, CleaningTidiesLineEndsBlanksAndEmptyLines) {
    EXPECT_EQ(utf8(TextCleaner::clean(u"one  \r\ntwo\t\r\n\r\n\r\n\r\n\r\nthree\u00A0\u00A0")), "one\ntwo\n\nthree");
    EXPECT_EQ(utf8(TextCleaner::clean(u"\n\n a \u2028b \fc")), "\n\n a\u2028b\fc");
    EXPECT_EQ(utf8(TextCleaner::clean(u"a\r\rb")), "a\n\nb");
}

TEST(TextCleanerTests, LongBlankRunsAreCleanedToo) {
    const std::u16string blanks(1'000'000, u' ');
    EXPECT_EQ(utf8(TextCleaner::clean(u"a" + blanks + u"\nb" + blanks)), "a\nb");
}

TEST(TextCleanerTests, OnePassAgreesWithThePatternsOnRandomText) {
    const char16_t alphabet[] = {u'a', u' ', u'\t', u'\n', u'\r', 0x00A0, 0x2028, 0x2029, 0x0085, u'\v', u'\f', u'x'};
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(alphabet) - 1);
    std::uniform_int_distribution<std::size_t> length(0, 40);
    for (int round = 0; round < 3000; ++round) {
        std::u16string text;
        for (std::size_t index = length(random); index > 0; --index) {
            text += alphabet[pick(random)];
        }
        ASSERT_EQ(TextCleaner::clean(text), cleanedByPatterns(text)) << velto::editor::testing::escapedForDump(text);
    }
}
