#include "RuleTestSupport.h"

#include "editor/rules/MarkdownLineContinuation.h"
#include "editor/rules/NewlineRules.h"

using namespace velto::editor;
using namespace velto::editor::testing;

namespace {

class NewlineRulesTests : public RuleTest {
protected:
    static void pressReturn(TestEditingTarget &target) {
        if (!NewlineRules::insertNewline(target)) {
            target.insertTypedText(target.selectedRange(), u"\n");
        }
    }
};

struct ReturnRow {
    const char16_t *before;
    const char16_t *after;
};

const ReturnRow returnRows[] = {
    // Lists and quotes continue with the right marker.
    {u"- [x] done‸", u"- [x] done\n- [ ] ‸"},
    {u"* [X] done‸", u"* [X] done\n* [ ] ‸"},
    {u"+ x‸", u"+ x\n+ ‸"},
    {u"  > 3.  item‸", u"  > 3.  item\n  > 4.  ‸"},
    {u"> quote‸", u"> quote\n> ‸"},
    {u"- a‸ b", u"- a\n- ‸ b"},
    // Kept as they are: a "- - -" line and a box without a blank after it continue as bullets.
    {u"- - -‸", u"- - -\n- ‸"},
    {u"- [ ]‸", u"- [ ]\n- ‸"},
    // An item holding only its marker ends the list or quote.
    {u"- ‸", u"‸"},
    {u"  - ‸", u"  ‸"},
    {u"> - ‸", u"> ‸"},
    {u"> ‸", u"‸"},
    {u"- [ ] ‸", u"‸"},
    {u"1. ‸", u"‸"},
    {u"- ‸item", u"‸item"},
    // Not list items.
    {u"3) x‸", u"3) x\n‸"},
    {u"plain‸", u"plain\n‸"},
    {u"-x‸", u"-x\n‸"},
    // Ordered numbers: the successor, or 1 where it would not fit or the digits are not ASCII.
    {u"9. x‸", u"9. x\n10. ‸"},
    {u"007. x‸", u"007. x\n8. ‸"},
    {u"9223372036854775806. x‸", u"9223372036854775806. x\n9223372036854775807. ‸"},
    {u"9223372036854775807. x‸", u"9223372036854775807. x\n1. ‸"},
    {u"99999999999999999999999. x‸", u"99999999999999999999999. x\n1. ‸"},
    {u"\u0663. x‸", u"\u0663. x\n1. ‸"},
    // A freshly typed opening fence gets its closing fence.
    {u"```js‸", u"```js\n‸\n```"},
    {u"~~~~‸", u"~~~~\n‸\n~~~~"},
    {u"  ```‸\n", u"  ```\n  ‸\n  ```\n"},
    {u"```‸\ncode\n```\n", u"```\n‸\ncode\n```\n"},
    {u"```‸ \n", u"```\n‸ \n"},
    // A closing fence line gets a plain line break.
    {u"```\ncode\n``‸`\n", u"```\ncode\n``\n‸`\n"},
    {u"```\n- a\n```‸", u"```\n- a\n```\n‸"},
    // Code keeps its indentation, one step deeper after an opening bracket.
    {u"```\nif {‸}\n```\n", u"```\nif {\n  ‸\n}\n```\n"},
    {u"```\n  f(‸\n```\n", u"```\n  f(\n    ‸\n```\n"},
    {u"```\n  [ \t‸\n```\n", u"```\n  [ \t\n    ‸\n```\n"},
    {u"```\n\tx‸\n```\n", u"```\n\tx\n\t‸\n```\n"},
    {u"```\n- a‸\n```\n", u"```\n- a\n‸\n```\n"},
    // The end of an unclosed block is outside its content: the list rules apply.
    {u"```\n- a‸", u"```\n- a\n- ‸"},
    // A selection is replaced by an ordinary line break.
    {u"- «a»", u"- \n‸"},
};

} // namespace

TEST_F(NewlineRulesTests, ReturnContinuesListsFencesAndCode) {
    for (const ReturnRow &row : returnRows) {
        expectRow(
            row.before, [](TestEditingTarget &target) { pressReturn(target); }, row.after);
    }
}

TEST_F(NewlineRulesTests, CodeIndentationStepFollowsThePreference) {
    useIndentation(EditorIndentationChoice::tab);
    expectRow(
        u"```\n  x = [‸]\n```\n", [](TestEditingTarget &target) { pressReturn(target); },
        u"```\n  x = [\n  \t‸\n  ]\n```\n");
    useIndentation(EditorIndentationChoice::spaces4);
    expectRow(
        u"```\nf(‸\n```\n", [](TestEditingTarget &target) { pressReturn(target); }, u"```\nf(\n    ‸\n```\n");
}

TEST_F(NewlineRulesTests, ReturnOnAClosingFenceLeavesPlainTypingAttributes) {
    TestEditingTarget target = targetFor(u"```\ncode\n```‸", true);
    target.setTypingAttributes(MarkdownStyler::codeAttributes(target.codeTextColor()));
    pressReturn(target);
    const Attributes base = MarkdownStyler::baseAttributes(target.codeTextColor());
    EXPECT_EQ(target.typingAttributes(), base);
    EXPECT_EQ(target.storage().attributes(12), base);
}

TEST_F(NewlineRulesTests, EachRuleMadeReturnIsOneUndoStep) {
    TestEditingTarget target = targetFor(u"- a‸", false);
    pressReturn(target);
    pressReturn(target);
    EXPECT_EQ(utf8(marked(target)), utf8(u"- a\n‸"));
    ASSERT_EQ(target.steps.size(), 2u);
    target.undo();
    EXPECT_EQ(utf8(target.storage().string()), utf8(u"- a\n- "));
    target.undo();
    EXPECT_EQ(utf8(target.storage().string()), utf8(u"- a"));
}

TEST_F(NewlineRulesTests, ReadOnlyTextIgnoresReturn) {
    TestEditingTarget target = targetFor(u"- a‸", false);
    target.editable = false;
    EXPECT_TRUE(NewlineRules::insertNewline(target));
    EXPECT_EQ(utf8(marked(target)), utf8(u"- a‸"));
}

TEST_F(NewlineRulesTests, ContinuationDecisionsNameThePrefixOrTheExit) {
    using namespace MarkdownLineContinuation;
    EXPECT_EQ(action(u"  - [x] a"), Action(Continuation{u"  - [ ] "}));
    EXPECT_EQ(action(u"> >  "), Action(Exit{5, u""}));
    EXPECT_EQ(action(u" 12.\tx"), Action(Continuation{u" 13.\t"}));
    EXPECT_EQ(action(u"text"), std::nullopt);
    EXPECT_EQ(nextOrderedNumber(u""), u"1");
    EXPECT_EQ(nextOrderedNumber(u"0"), u"1");
}
