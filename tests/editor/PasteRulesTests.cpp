#include "RuleTestSupport.h"

#include "editor/rules/CodePasteIndentation.h"
#include "editor/rules/LinkPasteBehavior.h"
#include "editor/rules/PasteRules.h"

using namespace velto::editor;
using namespace velto::editor::testing;

namespace {

class PasteRulesTests : public RuleTest {};

using Texts = PasteRules::ClipboardTexts;

Texts plain(std::u16string text) {
    return Texts{std::nullopt, text, text};
}

struct PasteRow {
    const char16_t *before;
    Texts clipboard;
    const char16_t *after;
    bool reported;
};

const PasteRow pasteRows[] = {
    // Multi-line code pasted into a fenced block is re-indented (two-space steps here).
    {u"```\n‸\n```\n", plain(u"a\n    b\n        c"), u"```\na\n  b\n    c‸\n```\n", true},
    {u"```\n‸\n```\n", plain(u"a\r\n    b"), u"```\na\n  b‸\n```\n", true},
    {u"```\n‸\n```\n", plain(u"    one line"), u"```\n    one line‸\n```\n", true},
    // An address over a selection outside code becomes a link.
    {u"see «word» here", plain(u"https://example.com/a"), u"see [word](https://example.com/a)‸ here", true},
    {u"«a]b»", plain(u"HTTPS://x.example/(p)"), u"[a\\]b](HTTPS://x.example/(p\\))‸", true},
    {u"«w»", Texts{u"mailto:me@example.com", u"text", u"text"}, u"[w](mailto:me@example.com)‸", true},
    {u"«w»", Texts{u"ftp://x.example", u"https://y.example", u"https://y.example"}, u"[w](https://y.example)‸", true},
    // Not links: no selection, a selection in code, trailing blanks, other schemes, line breaks.
    {u"see ‸", plain(u"https://example.com"), u"see https://example.com‸", true},
    {u"```\n«x»\n```\n", plain(u"https://example.com"), u"```\nhttps://example.com‸\n```\n", true},
    {u"«w»", plain(u"https://example.com "), u"https://example.com ‸", true},
    {u"«w»", plain(u"ftp://example.com"), u"ftp://example.com‸", true},
    {u"«w»", plain(u"https://a.example/\nb"), u"https://a.example/\nb‸", true},
    {u"«w»", Texts{u"https://a.example/\u2028b", std::nullopt, u"x"}, u"x‸", true},
    // Ordinary paste: line ends become LF, the page's own CR stays; nothing pasted or no change, no report.
    {u"a\r‸b", plain(u"1\r\n2\r3"), u"a\r1\n2\n3‸b", true},
    {u"a‸", Texts{}, u"a‸", false},
    {u"«same»", plain(u"same"), u"same‸", false},
    {u"a‸", Texts{std::nullopt, std::nullopt, u"from rich text"}, u"afrom rich text‸", true},
};

} // namespace

TEST_F(PasteRulesTests, PasteAppliesCodeAndLinkRules) {
    for (const PasteRow &row : pasteRows) {
        bool reported[2] = {};
        int run = 0;
        expectRow(
            row.before, [&](TestEditingTarget &target) { reported[run++] = PasteRules::paste(target, row.clipboard); },
            row.after);
        EXPECT_EQ(reported[0], row.reported) << utf8(row.before);
        EXPECT_EQ(reported[1], row.reported) << utf8(row.before);
    }
}

TEST_F(PasteRulesTests, RefusedCodePasteIsStillReported) {
    TestEditingTarget target = targetFor(u"```\n‸\n```\n", false);
    target.refusesChanges = true;
    EXPECT_TRUE(PasteRules::paste(target, plain(u"a\nb")));
    EXPECT_EQ(utf8(marked(target)), utf8(u"```\n‸\n```\n"));
}

TEST_F(PasteRulesTests, PasteIsAnUndoStepOfItsOwn) {
    TestEditingTarget target = targetFor(u"‸", false);
    target.insertTypedText(TextRange{0, 0}, u"ab");
    PasteRules::paste(target, plain(u"cd"));
    target.insertTypedText(target.selectedRange(), u"ef");
    ASSERT_EQ(target.steps.size(), 3u);
    target.undo();
    EXPECT_EQ(utf8(target.storage().string()), "abcd");
    target.undo();
    EXPECT_EQ(utf8(target.storage().string()), "ab");
}

TEST_F(PasteRulesTests, PlainPasteAppliesNoRule) {
    TestEditingTarget target = targetFor(u"```\n«x»\n```\n", false);
    EXPECT_TRUE(PasteRules::pastePlainText(target, u"  a\r\n    b"));
    EXPECT_EQ(utf8(marked(target)), utf8(u"```\n  a\n    b‸\n```\n"));
    target.editable = false;
    EXPECT_FALSE(PasteRules::pastePlainText(target, u"x"));
    EXPECT_FALSE(PasteRules::paste(target, plain(u"x")));
}

TEST(CodePasteIndentationTests, LinesTakeTheirLevelInTheEditorsStep) {
    using enum EditorIndentationChoice;
    const struct {
        const char16_t *pasted;
        EditorIndentationChoice choice;
        const char16_t *result;
    } rows[] = {
        {u"    a\n        b", spaces2, u"  a\n    b"},
        {u"    a\n        b", tab, u"\ta\n\t\tb"},
        {u"   a\n    b", spaces2, u"      a\n        b"},
        {u"\ta\n  b", spaces4, u"        a\n    b"},
        {u"  \t", spaces4, u"  \t"},
        {u"a\n  \n    b", spaces2, u"a\n\n  b"},
        {u"a\nb", spaces4, u"a\nb"},
        {u"", tab, u""},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(utf8(CodePasteIndentation::normalize(row.pasted, row.choice)), utf8(row.result)) << utf8(row.pasted);
    }
}
