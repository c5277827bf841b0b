#include "RuleTestSupport.h"

#include "editor/markdown/MarkdownTaskListCheckbox.h"

using namespace velto::editor;
using namespace velto::editor::testing;

namespace velto::editor {
inline std::ostream &operator<<(std::ostream &stream, const MarkdownTaskListCheckbox &checkbox) {
    return stream << checkbox.range
                  << (checkbox.state == MarkdownTaskListCheckbox::State::checked ? " checked" : " unchecked");
}
} // namespace velto::editor

namespace {

using State = MarkdownTaskListCheckbox::State;

std::optional<MarkdownTaskListCheckbox> box(std::size_t location, State state) {
    return MarkdownTaskListCheckbox{TextRange{location, 3}, state};
}

} // namespace

TEST(MarkdownTaskListCheckboxTests, TaskItemsAreFoundOnTheLine) {
    const struct {
        const char16_t *text;
        std::ptrdiff_t index;
        std::optional<MarkdownTaskListCheckbox> found;
    } rows[] = {
        {u"- [ ] a", 0, box(2, State::unchecked)},
        {u"x\n \t*\t [X] a", 4, box(7, State::checked)},
        {u"+ [x]", 5, box(2, State::checked)},
        {u"- [x]\n", 99, std::nullopt}, // beyond the end: the last (empty) line
        {u"a\n- [x]", 99, box(4, State::checked)},
        {u"- [ ] a", -3, box(2, State::unchecked)},
        {u"-[ ] a", 0, std::nullopt},   // no blank after the marker
        {u"1. [ ] a", 0, std::nullopt}, // ordered items have no box
        {u"- [y] a", 0, std::nullopt},
        {u"- [ ", 0, std::nullopt},
        {u"a - [ ]", 0, std::nullopt},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(MarkdownTaskListCheckbox::onLine(row.index, row.text), row.found) << utf8(row.text);
    }
    EXPECT_EQ(MarkdownTaskListCheckbox::make(TextRange{1, 3}, u"x[X]"), box(1, State::checked));
    EXPECT_EQ(MarkdownTaskListCheckbox::make(TextRange{2, 3}, u"x[X]"), std::nullopt);
    EXPECT_EQ(MarkdownTaskListCheckbox::make(TextRange{0, 4}, u"[ ] "), std::nullopt);
}

TEST(MarkdownTaskListCheckboxTests, LabelIsTheRestOfTheLine) {
    EXPECT_EQ(box(2, State::unchecked)->accessibilityLabel(u"- [ ]  buy milk \nnext"), u"buy milk");
    EXPECT_EQ(box(2, State::unchecked)->accessibilityLabel(u"- [ ]   \nnext"), u"Task checkbox");
    EXPECT_EQ(box(2, State::unchecked)->accessibilityLabel(u"- [ ]"), u"Task checkbox");
}

TEST(MarkdownTaskListCheckboxTests, StyledBoxesAreFoundThroughTheirAttribute) {
    TestEditingTarget target = targetFor(u"- [X] a\n- [ ] b\ntext [ ]", true);
    EXPECT_EQ(taskCheckbox(3, target.storage()), box(2, State::checked));
    EXPECT_EQ(taskCheckbox(10, target.storage()), box(10, State::unchecked));
    EXPECT_EQ(taskCheckbox(0, target.storage()), std::nullopt);
    EXPECT_EQ(taskCheckbox(21, target.storage()), std::nullopt);
    EXPECT_EQ(taskCheckbox(-1, target.storage()), std::nullopt);
    EXPECT_EQ(taskCheckbox(99, target.storage()), std::nullopt);
    // A stale attribute over characters that no longer make a box finds nothing.
    target.mutableStorage().replaceCharacters(TextRange{3, 1}, u"y");
    EXPECT_EQ(taskCheckbox(3, target.storage()), std::nullopt);
}

TEST(MarkdownTaskListCheckboxTests, TogglingWritesTheBoxAsOneNamedUndoStep) {
    TestEditingTarget target = targetFor(u"- [X] a‸", true);
    ASSERT_TRUE(toggleTaskCheckbox(target, *taskCheckbox(2, target.storage())));
    EXPECT_EQ(utf8(marked(target)), utf8(u"- [ ] a‸"));
    ASSERT_TRUE(toggleTaskCheckbox(target, *MarkdownTaskListCheckbox::onLine(0, target.storage().string())));
    EXPECT_EQ(utf8(marked(target)), utf8(u"- [x] a‸"));
    ASSERT_EQ(target.steps.size(), 2u);
    EXPECT_EQ(utf8(target.steps[0].actionName), "Reopen Task");
    EXPECT_EQ(utf8(target.steps[1].actionName), "Complete Task");
    target.undo();
    EXPECT_EQ(utf8(target.storage().string()), "- [ ] a");
    target.undo();
    EXPECT_EQ(utf8(target.storage().string()), "- [X] a");
}

TEST(MarkdownTaskListCheckboxTests, ToggleRefusesReadOnlyTextStaleBoxesAndRefusedChanges) {
    TestEditingTarget target = targetFor(u"- [ ] a", false);
    const MarkdownTaskListCheckbox unchecked = *box(2, State::unchecked);
    target.editable = false;
    EXPECT_FALSE(toggleTaskCheckbox(target, unchecked));
    target.editable = true;
    target.refusesChanges = true;
    EXPECT_FALSE(toggleTaskCheckbox(target, unchecked));
    target.refusesChanges = false;
    EXPECT_FALSE(toggleTaskCheckbox(target, *box(2, State::checked)));
    EXPECT_FALSE(toggleTaskCheckbox(target, *box(6, State::unchecked)));
    EXPECT_EQ(utf8(target.storage().string()), "- [ ] a");
    EXPECT_TRUE(target.steps.empty());
}

TEST(MarkdownTaskListCheckboxTests, TheBoxOnTheLineOfAStorageIsTheOneOfItsWholeText) {
    const std::u16string text = u"intro\n- [ ] one\r\n  * [X] two\n1. [x] no\n-[ ] no\n+ [x]";
    for (std::size_t gap = 0; gap <= text.size(); gap += 3) {
        TextStorage storage(text);
        storage.replaceCharacters(TextRange{gap, 0}, u"#");
        storage.replaceCharacters(TextRange{gap, 1}, u""); // leaves the edit gap here
        for (std::ptrdiff_t index = -1; index <= static_cast<std::ptrdiff_t>(text.size()) + 1; ++index) {
            EXPECT_EQ(MarkdownTaskListCheckbox::onLine(index, storage), MarkdownTaskListCheckbox::onLine(index, text))
                << "gap " << gap << ", index " << index;
        }
    }
}
