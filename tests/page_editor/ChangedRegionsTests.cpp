#include "page_editor/ChangedRegions.h"

#include <gtest/gtest.h>

#include <string>

namespace velto::editor {
namespace {

// A place in the shown text, found again in the text another writer left: before a change it keeps its offset,
// after it it moves with the change, inside it it goes to the changed text's end.
TEST(ChangedRegions, APlaceKeepsItsTextThroughLinesChangedElsewhere) {
    struct Case {
        const char *name;
        std::u16string before;
        std::u16string after;
        std::size_t position;
        std::size_t expected;
    };
    const Case cases[] = {
        {"unchanged text", u"one\ntwo", u"one\ntwo", 5, 5},
        {"the end, the last line rewritten", u"one\ntwo\nlast", u"one\ntwo\nthe last line", 12, 21},
        {"before the change", u"one\ntwo\nlast", u"one\ntwo\nthe last line", 2, 2},
        {"at the start of a changed line", u"one\ntwo\nlast", u"one\ntwo\nthe last line", 8, 8},
        {"inside a changed line: to the end of its new text", u"one\ntwo\nthree", u"one\n2\nthree", 5, 5},
        {"after a changed line", u"one\ntwo\nthree", u"one\n2\nthree", 9, 7},
        {"between two changes far apart", u"a\nkept\nb\n", u"first\nkept\nsecond\n", 4, 8},
        {"after a line inserted above", u"one\ntwo", u"zero\none\ntwo", 5, 10},
        {"on a line removed", u"one\ntwo\nthree", u"one\nthree", 5, 4},
        {"at the end, a line appended", u"one\n", u"one\ntwo\n", 4, 4},
        {"an emptied page", u"one\ntwo", u"", 5, 0},
        {"a page written where there was none", u"", u"one\ntwo", 0, 0},
        {"the end, a last line feed added", u"one", u"one\n", 3, 4},
    };
    for (const Case &test : cases) {
        EXPECT_EQ(ChangedRegions(test.before, test.after).map(test.position), test.expected) << test.name;
    }
}

} // namespace
} // namespace velto::editor
