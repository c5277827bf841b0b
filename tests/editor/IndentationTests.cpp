#include "RuleTestSupport.h"

#include "editor/rules/Indentation.h"

using namespace velto::editor;
using namespace velto::editor::testing;

namespace {

class IndentationTests : public RuleTest {};

struct TabRow {
    EditorIndentationChoice choice;
    bool outdent;
    const char16_t *before;
    const char16_t *after;
};

using enum EditorIndentationChoice;

const TabRow tabRows[] = {
    // Tab at a caret goes to the next stop.
    {spaces4, false, u"abcdef‸", u"abcdef  ‸"},
    {spaces4, false, u"abcdefgh‸", u"abcdefgh    ‸"},
    {spaces2, false, u"x\nabc‸", u"x\nabc ‸"},
    {tab, false, u"ab‸c", u"ab\t‸c"},
    {spaces2, false, u"```\n‸\n```\n", u"```\n  ‸\n```\n"},
    // Shift+Tab at a caret removes one step from its line.
    {spaces4, true, u"   ‸x", u"‸x"},
    {spaces2, true, u"   ‸x", u" ‸x"},
    {tab, true, u"     x‸", u" x‸"},
    {spaces2, true, u"\t  x‸", u"  x‸"},
    {spaces4, true, u"\tx‸", u"x‸"},
    {spaces4, true, u"x‸", u"x‸"},
    {spaces4, true, u" ‸   x", u"‸x"},
    {spaces2, true, u"a\n  b‸\nc", u"a\nb‸\nc"},
    // Over a selection, every line it touches; the break after the last line ends it.
    {spaces2, false, u"«a\nb\nc\n»d", u"«  a\n  b\n  c\n»d"},
    {spaces2, false, u"x«a\n\nb»", u"«  xa\n  \n  b»"},
    {spaces4, false, u"«a\rb\u2028c\r\nd»", u"«    a\r    b\u2028    c\r\n    d»"},
    {tab, false, u"a«b»", u"«\tab»"},
    {spaces2, true, u"«  a\n\tb\nc»", u"«a\nb\nc»"},
    {spaces2, true, u"«a\nb»", u"«a\nb»"},
    {spaces4, true, u"«  a\u2028    b»", u"«a\u2028b»"},
};

} // namespace

TEST_F(IndentationTests, TabAndShiftTabFollowTheChoice) {
    for (const TabRow &row : tabRows) {
        useIndentation(row.choice);
        expectRow(
            row.before, [&row](TestEditingTarget &target) { Indentation::changeIndentation(target, row.outdent); },
            row.after);
    }
}

TEST_F(IndentationTests, RemovingOneIndentDropsTheUnitThenATabThenLeadingSpaces) {
    EXPECT_EQ(Indentation::removingOneIndent(u"    x", spaces4), u"x");
    EXPECT_EQ(Indentation::removingOneIndent(u"     x", spaces4), u" x");
    EXPECT_EQ(Indentation::removingOneIndent(u"\t\tx", spaces2), u"\tx");
    EXPECT_EQ(Indentation::removingOneIndent(u" \tx", spaces2), u"\tx");
    EXPECT_EQ(Indentation::removingOneIndent(u"x  ", tab), u"x  ");
    EXPECT_EQ(Indentation::removingOneIndent(u"", tab), u"");
}

TEST_F(IndentationTests, ReadOnlyTextIgnoresTab) {
    TestEditingTarget target = targetFor(u"«a\nb»", false);
    target.editable = false;
    Indentation::changeIndentation(target, false);
    EXPECT_EQ(utf8(marked(target)), utf8(u"«a\nb»"));
}
