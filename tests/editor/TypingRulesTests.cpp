#include "RuleTestSupport.h"

#include "editor/rules/TypingRules.h"

using namespace velto::editor;
using namespace velto::editor::testing;

namespace {

class TypingRulesTests : public RuleTest {
protected:
    static void type(TestEditingTarget &target, std::u16string_view text) {
        TypingRules::insertText(target, text, TextRange{TextRange::notFound, 0});
    }
    static void backspace(TestEditingTarget &target) {
        if (!TypingRules::deleteBackward(target)) {
            ordinaryBackspace(target);
        }
    }
};

struct TypingRow {
    const char16_t *before;
    const char16_t *typed;
    const char16_t *after;
};

const TypingRow typingRows[] = {
    // Wrapping works everywhere; nothing else pairs outside code.
    {u"a «word» b", u"(", u"a («word») b"},
    {u"a «word» b", u"\"", u"a \"«word»\" b"},
    {u"```\n«x»\n```\n", u"[", u"```\n[«x»]\n```\n"},
    {u"a «word» b", u"x", u"a x‸ b"},
    {u"a ‸b", u"(", u"a (‸b"},
    {u"a ‸)", u")", u"a )‸)"},
    // Inside code: pairs, stepping over closers, closers moving left.
    {u"```\n‸\n```\n", u"(", u"```\n(‸)\n```\n"},
    {u"```\n‸\n```\n", u"'", u"```\n'‸'\n```\n"},
    {u"```\nf(‸)\n```\n", u")", u"```\nf()‸\n```\n"},
    {u"```\n'‸'\n```\n", u"'", u"```\n''‸\n```\n"},
    {u"```\n    ‸\n```\n", u"}", u"```\n  }‸\n```\n"},
    {u"```\n  x‸\n```\n", u"}", u"```\n  x}‸\n```\n"},
    {u"```\nab‸\n```\n", u"c", u"```\nabc‸\n```\n"},
    // A backtick fence line is typing Markdown: no pairs there.
    {u"```‸\ncode\n```\n", u"(", u"```(‸\ncode\n```\n"},
    // Two backticks typed at once after a backtick make three.
    {u"a`‸", u"``", u"a``‸"},
    {u"a ‸", u"``", u"a ``‸"},
    // The partial fence typed over the closing fence Return inserted: the closing fence is kept.
    {u"```\ncode\n``‸\n```\n", u"`", u"```\ncode\n\n```\n‸"},
    {u"~~~~\ncode\n~~~‸\n~~~~", u"~", u"~~~~\ncode\n\n~~~~‸"},
    {u"```\ncode\n`‸\n```\n", u"`", u"```\ncode\n``‸\n```\n"},
    // Kept as it is: text after the caret stays on its line while the caret moves to the fence's end.
    {u"```\ncode\n``‸x\n```\n", u"`", u"```\ncode\nx\n```\n‸"},
};

} // namespace

TEST_F(TypingRulesTests, TypedTextFollowsThePairAndFenceRules) {
    for (const TypingRow &row : typingRows) {
        expectRow(
            row.before, [&row](TestEditingTarget &target) { type(target, row.typed); }, row.after);
    }
}

TEST_F(TypingRulesTests, ClosingBracketOutdentFollowsTheIndentationChoice) {
    useIndentation(EditorIndentationChoice::spaces4);
    expectRow(
        u"```\n    ‸\n```\n", [](TestEditingTarget &target) { type(target, u"}"); }, u"```\n}‸\n```\n");
    useIndentation(EditorIndentationChoice::tab);
    expectRow(
        u"```\n\t  ‸\n```\n", [](TestEditingTarget &target) { type(target, u"]"); }, u"```\n  ]‸\n```\n");
}

TEST_F(TypingRulesTests, CommittedFenceRunMergesWithTheInsertedClosingFence) {
    for (const bool styled : {false, true}) {
        TestEditingTarget target = targetFor(u"```\ncode\n``‸\n\n```\n", styled);
        target.markedText = true;
        type(target, u"`");
        EXPECT_EQ(utf8(marked(target)), utf8(u"```\ncode\n```\n‸"));
    }
    // An info string on the fence below keeps both.
    TestEditingTarget target = targetFor(u"```\ncode\n``‸\n```js\n", false);
    target.markedText = true;
    type(target, u"`");
    EXPECT_EQ(utf8(marked(target)), utf8(u"```\ncode\n```‸\n```js\n"));
}

TEST_F(TypingRulesTests, WrappingTakesTheInputMethodsRangeNotTheSelection) {
    TestEditingTarget target = targetFor(u"one «two» three", false);
    TypingRules::insertText(target, u"(", TextRange{0, 3});
    EXPECT_EQ(utf8(marked(target)), utf8(u"(«one») two three"));
}

TEST_F(TypingRulesTests, TypedCodeTakesCodeAttributesAtOnce) {
    TestEditingTarget target = targetFor(u"```\nx‸\n```\n", true);
    target.mutableStorage().addAttribute(AttributeKey::veltoCodeSyntaxToken, std::string("keyword"), TextRange{4, 1});
    type(target, u"y");
    const Attributes typed = target.storage().attributes(5);
    EXPECT_EQ(typed.merging(MarkdownStyler::codeAttributes(target.codeTextColor())), typed);
    EXPECT_FALSE(typed.contains(AttributeKey::veltoCodeSyntaxToken));
    EXPECT_EQ(target.typingAttributes(), MarkdownStyler::baseAttributes(MarkdownStyler::textColor()));
}

TEST_F(TypingRulesTests, ReadOnlyTextIgnoresTypingAndBackspace) {
    TestEditingTarget target = targetFor(u"```\n(‸)\n```\n", false);
    target.editable = false;
    type(target, u"x");
    EXPECT_TRUE(TypingRules::deleteBackward(target));
    EXPECT_EQ(utf8(marked(target)), utf8(u"```\n(‸)\n```\n"));
}

TEST_F(TypingRulesTests, BackspaceRemovesPairs) {
    const struct {
        const char16_t *before;
        const char16_t *after;
    } rows[] = {
        {u"```\n(‸)\n```\n", u"```\n‸\n```\n"},
        {u"```\n\"‸\"\n```\n", u"```\n‸\n```\n"},
        {u"(‸)", u"‸)"},
        {u"(«word»)", u"«word»"},
        {u"```\n[«x»]\n```\n", u"```\n«x»\n```\n"},
        {u"a«word»b", u"a‸b"},
        {u"(«word»]", u"(‸]"},
        {u"«word»)", u"‸)"},
    };
    for (const auto &row : rows) {
        expectRow(
            row.before, [](TestEditingTarget &target) { backspace(target); }, row.after);
    }
}

TEST_F(TypingRulesTests, RefusedRuleEditLeavesTextAndSelection) {
    TestEditingTarget target = targetFor(u"a «word» b", false);
    target.refusesChanges = true;
    type(target, u"(");
    EXPECT_EQ(utf8(marked(target)), utf8(u"a «word» b"));
    EXPECT_EQ(target.replaceCalls, 1);
}

TEST_F(TypingRulesTests, RuleEditsAreUndoStepsOfTheirOwn) {
    TestEditingTarget target = targetFor(u"```\n‸\n```\n", false);
    type(target, u"a");
    type(target, u"b");
    type(target, u"(");
    type(target, u"c");
    type(target, u"d");
    ASSERT_EQ(target.steps.size(), 3u);
    EXPECT_EQ(utf8(marked(target)), utf8(u"```\nab(cd‸)\n```\n"));
    target.undo();
    EXPECT_EQ(utf8(target.storage().string()), utf8(u"```\nab()\n```\n"));
    target.undo();
    EXPECT_EQ(utf8(target.storage().string()), utf8(u"```\nab\n```\n"));
    target.undo();
    EXPECT_EQ(utf8(target.storage().string()), utf8(u"```\n\n```\n"));
}
