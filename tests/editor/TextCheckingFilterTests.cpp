#include "editor/rules/TextCheckingFilter.h"

#include <gtest/gtest.h>

using namespace velto::editor;

TEST(TextCheckingFilterTests, SpellingInCodeIsDroppedOtherKindsRemain) {
    const std::u16string text = u"wrod `cdoe` wrod\n```\nfnuc\n```\nlast";
    using enum TextCheckingType;
    const std::vector<TextCheckingResult> results{
        {spelling, TextRange{0, 4}},    // prose
        {spelling, TextRange{4, 2}},    // touches the span's first backtick by one character
        {grammar, TextRange{4, 2}},     // grammar stays wherever it is
        {correction, TextRange{6, 4}},  // inside the span
        {spelling, TextRange{11, 5}},   // right after the span
        {spelling, TextRange{21, 4}},   // inside the fenced block
        {correction, TextRange{30, 4}}, // after the block
    };
    const std::vector<TextCheckingResult> kept{results[0], results[2], results[4], results[6]};
    EXPECT_EQ(textCheckingResultsExcludingMarkdownCode(results, text), kept);
    EXPECT_EQ(textCheckingResultsExcludingMarkdownCode(results, u"no code at all here, none"), results);
}
