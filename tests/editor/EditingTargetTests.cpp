#include "TestEditingTarget.h"

#include "editor/markdown/MarkdownStyler.h"

#include <gtest/gtest.h>

using namespace velto::editor;
using namespace velto::editor::testing;

namespace {

struct PositionCase {
    const char16_t *text; // "‸" marks the location asked about
    bool insideFencedCode;
    bool insideLiteralCode;
};

const PositionCase positionCases[] = {
    {u"plain ‸text", false, false},      {u"```\nco‸de\n```\n", true, true},
    {u"```\ncode\n``‸`\n", false, true}, // a backtick fence line is never inside fenced code
    {u"~~~\n~~~‸ x\n~~~\n", true, true}, // a tilde line inside a block has no such exception
    {u"```\n‸code", true, true},         {u"a `co‸de` b", false, true},
    {u"a `code` ‸b", false, false},      {u"a ‸`code` b", false, true},
};

} // namespace

TEST(EditingTargetTests, CharacterAtAnswersNoneOutsideTheText) {
    TestEditingTarget target(u"ab");
    EXPECT_EQ(target.characterAt(-1), std::nullopt);
    EXPECT_EQ(target.characterAt(0), u'a');
    EXPECT_EQ(target.characterAt(1), u'b');
    EXPECT_EQ(target.characterAt(2), std::nullopt);
}

TEST(EditingTargetTests, CodePositionsAgreeStyledAndUnstyled) {
    for (const bool styled : {false, true}) {
        for (const PositionCase &entry : positionCases) {
            const TestEditingTarget target = targetFor(entry.text, styled);
            const auto location = static_cast<std::ptrdiff_t>(target.selectedRange().location);
            SCOPED_TRACE(utf8(entry.text) + (styled ? " styled" : " unstyled"));
            EXPECT_EQ(target.isInsideFencedCode(location), entry.insideFencedCode);
            EXPECT_EQ(target.isInsideMarkdownLiteralCode(location), entry.insideLiteralCode);
        }
    }
}

TEST(EditingTargetTests, CodePositionsClampLocationsOutsideTheText) {
    const TestEditingTarget target = targetFor(u"```\ncode\n", false);
    EXPECT_FALSE(target.isInsideFencedCode(-5)); // the opening fence line
    EXPECT_TRUE(target.isInsideMarkdownLiteralCode(-5));
    EXPECT_FALSE(target.isInsideFencedCode(1000)); // the end of the text, after the unclosed content
    EXPECT_FALSE(target.isInsideMarkdownLiteralCode(1000));
    const TestEditingTarget empty;
    EXPECT_FALSE(empty.isInsideFencedCode(0));
    EXPECT_FALSE(empty.isInsideMarkdownLiteralCode(3));
}

TEST(EditingTargetTests, CodeTypingAttributesHoldOnlyDuringTheBody) {
    TestEditingTarget target(u"x");
    const Attributes before = target.typingAttributes();
    Attributes during;
    target.withCodeTypingAttributes([&] { during = target.typingAttributes(); });
    EXPECT_EQ(during, before.merging(MarkdownStyler::codeAttributes(target.codeTextColor())));
    EXPECT_NE(during, before);
    EXPECT_EQ(target.typingAttributes(), before);
}
