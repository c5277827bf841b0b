#include "TextViewTestSupport.h"

#include "editor/editing/UndoManager.h"
#include "editor_view/accessibility/TextViewAccessibility.h"
#include "editor_view/input/TextViewPointer.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QTest>

#include <vector>

using namespace velto::editor;
using velto::testing::grabViewport;
using velto::testing::makeTextView;

namespace {

// "[ ]" at 2, "[X]" at 13, the link "site" at 25.
const std::u16string tasks = u"- [ ] task\n- [X] done\nsee site";
constexpr std::size_t uncheckedBox = 2;
constexpr std::size_t checkedBox = 13;
constexpr std::size_t linkStart = 26;

std::u16string textOf(VeltoTextView &view) {
    return view.storage().substring(TextRange{0, view.storage().length()});
}

/// A point inside the glyph at the position (just right of the caret before it).
QPoint pointOf(VeltoTextView &view, std::size_t position) {
    return view.caretRectInViewport(position).center().toPoint() + QPoint(2, 0);
}

void sendMouse(QWidget *target, QEvent::Type type, QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, buttons, modifiers);
    QApplication::sendEvent(target, &event);
}

void click(VeltoTextView &view, QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    sendMouse(view.viewport(), QEvent::MouseButtonPress, at, modifiers);
    sendMouse(view.viewport(), QEvent::MouseButtonRelease, at, modifiers);
}

/// Records the links the view asks to open instead of opening them.
class LinkRecordingHost : public TextViewCommandHost {
public:
    bool openLink(const QUrl &url) override {
        opened.push_back(url);
        return true;
    }
    std::vector<QUrl> opened;
};

std::unique_ptr<VeltoTextView> taskView(TextViewCommandHost &host = TextViewCommandHost::unconfigured()) {
    auto view = makeTextView(tasks, 400, 300, true, host);
    view->textStorage().addAttribute(AttributeKey::link, std::string("https://example.com/a?b=1"),
                                     TextRange{linkStart, 4});
    return view;
}

} // namespace

TEST(TaskCheckboxViewTests, ClickOnABoxTogglesItAsOneUndoStepWithoutMovingTheCaret) {
    auto view = taskView();
    view->setSelectedRange(TextRange{10, 0});
    QTest::keyClicks(view.get(), "s"); // typing just before must not merge into the toggle's undo step
    ASSERT_EQ(textOf(*view), u"- [ ] tasks\n- [X] done\nsee site");

    click(*view, pointOf(*view, uncheckedBox + 1));
    EXPECT_EQ(textOf(*view).substr(0, 11), u"- [x] tasks");
    EXPECT_EQ(view->selectedRange(), (TextRange{11, 0})) << "the caret stays where it was";
    EXPECT_EQ(view->editingCore().undoManager()->undoActionName(), "Complete Task");

    click(*view, pointOf(*view, checkedBox + 1 + 1));
    EXPECT_EQ(textOf(*view).substr(12, 5), u"- [ ]") << "a checked box unchecks";
    EXPECT_EQ(view->editingCore().undoManager()->undoActionName(), "Reopen Task");

    view->perform(TextViewCommand::undo);
    view->perform(TextViewCommand::undo);
    EXPECT_EQ(textOf(*view), u"- [ ] tasks\n- [X] done\nsee site") << "each toggle is one step; the typing stays";
    EXPECT_EQ(view->selectedRange(), (TextRange{11, 0}));
}

TEST(TaskCheckboxViewTests, ClicksBesideABoxOrOnAReadOnlyViewDoNotToggle) {
    auto view = taskView();
    const struct {
        const char *where;
        QPoint point;
    } misses[] = {
        {"on the task's text", pointOf(*view, 7)},
        {"beside the end of the line", QPoint(380, pointOf(*view, 1).y())},
        {"on the list marker", pointOf(*view, 0)},
        {"below the text", QPoint(30, 290)},
    };
    for (const auto &miss : misses) {
        click(*view, miss.point);
        EXPECT_EQ(textOf(*view), tasks) << miss.where;
    }
    click(*view, pointOf(*view, 7));
    EXPECT_EQ(view->selectedRange().location, 7u) << "an ordinary click still places the caret";

    view->setEditable(false);
    click(*view, pointOf(*view, uncheckedBox + 1));
    EXPECT_EQ(textOf(*view), tasks);
    sendMouse(view->viewport(), QEvent::MouseMove, pointOf(*view, uncheckedBox + 1));
    EXPECT_FALSE(view->pointer().previewedTaskCheckbox().has_value());
    EXPECT_EQ(view->viewport()->cursor().shape(), Qt::IBeamCursor);
}

TEST(TaskCheckboxViewTests, CursorShapeFollowsWhatLiesUnderThePointer) {
    const struct {
        bool inView, overLink, ctrl, editable, overBox;
        Qt::CursorShape shape;
    } cases[] = {
        {false, true, true, true, true, Qt::IBeamCursor},   {true, true, true, true, false, Qt::PointingHandCursor},
        {true, true, false, true, false, Qt::IBeamCursor},  {true, true, true, false, false, Qt::PointingHandCursor},
        {true, false, false, true, true, Qt::ArrowCursor},  {true, false, true, true, true, Qt::ArrowCursor},
        {true, false, false, false, true, Qt::IBeamCursor}, {true, false, false, true, false, Qt::IBeamCursor},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(cursorShapeFor(c.inView, c.overLink, c.ctrl, c.editable, c.overBox), c.shape)
            << c.inView << c.overLink << c.ctrl << c.editable << c.overBox;
    }
}

TEST(TaskCheckboxViewTests, HoverPreviewsUncheckedBoxesAndCtrlSwitchesTheLinkCursor) {
    auto view = taskView();
    view->setFocus();
    const QImage plain = grabViewport(*view);
    sendMouse(view->viewport(), QEvent::MouseMove, pointOf(*view, uncheckedBox + 1));
    ASSERT_TRUE(view->pointer().previewedTaskCheckbox().has_value());
    EXPECT_EQ(view->pointer().previewedTaskCheckbox()->range, (TextRange{uncheckedBox, 3}));
    EXPECT_EQ(view->viewport()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_NE(grabViewport(*view), plain) << "the faint check mark is drawn";

    sendMouse(view->viewport(), QEvent::MouseMove, pointOf(*view, checkedBox + 1));
    EXPECT_FALSE(view->pointer().previewedTaskCheckbox().has_value()) << "a checked box has no preview";
    EXPECT_EQ(view->viewport()->cursor().shape(), Qt::ArrowCursor);

    sendMouse(view->viewport(), QEvent::MouseMove, pointOf(*view, uncheckedBox + 1));
    QTest::keyClicks(view.get(), "x"); // a change of the text ends the preview
    EXPECT_FALSE(view->pointer().previewedTaskCheckbox().has_value());

    sendMouse(view->viewport(), QEvent::MouseMove, pointOf(*view, linkStart + 2 + 1));
    EXPECT_EQ(view->viewport()->cursor().shape(), Qt::IBeamCursor);
    QTest::keyPress(view.get(), Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(view->viewport()->cursor().shape(), Qt::PointingHandCursor) << "Ctrl pressed without moving";
    QTest::keyRelease(view.get(), Qt::Key_Control, Qt::NoModifier);
    EXPECT_EQ(view->viewport()->cursor().shape(), Qt::IBeamCursor);
}

TEST(TaskCheckboxViewTests, CtrlClickOpensALinkAndAPlainClickPlacesTheCaretInIt) {
    LinkRecordingHost host;
    auto view = taskView(host);
    const std::vector<QUrl> &opened = host.opened;
    view->setSelectedRange(TextRange{3, 0});
    click(*view, pointOf(*view, linkStart + 1), Qt::ControlModifier);
    EXPECT_EQ(opened, (std::vector<QUrl>{QUrl("https://example.com/a?b=1")}));
    EXPECT_EQ(view->selectedRange(), (TextRange{3, 0}));

    click(*view, pointOf(*view, linkStart + 1));
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_EQ(view->selectedRange(), (TextRange{linkStart + 1, 0}));
    EXPECT_NE(view->storage().attribute(AttributeKey::link, linkStart), nullptr) << "the link stays in place";

    view->textStorage().addAttribute(AttributeKey::link, std::string("not a url at all ::"), TextRange{linkStart, 4});
    click(*view, pointOf(*view, linkStart + 1), Qt::ControlModifier);
    EXPECT_EQ(opened.size(), 1u) << "a value that is no address is no link";
}

TEST(TaskCheckboxViewTests, VisibleBoxesAreAccessibleCheckBoxesThatCanBePressed) {
    auto view = taskView();
    std::vector<QAccessible::Event> events;
    setAccessibilityAnnouncer([&](QAccessibleEvent &event) { events.push_back(event.type()); });
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(view.get());
    ASSERT_EQ(accessible->childCount(), 2);
    QAccessibleInterface *first = accessible->child(0);
    QAccessibleInterface *second = accessible->child(1);
    EXPECT_EQ(first->role(), QAccessible::CheckBox);
    EXPECT_EQ(first->text(QAccessible::Name), "task");
    EXPECT_FALSE(first->state().checked);
    EXPECT_TRUE(second->state().checked);
    EXPECT_EQ(first->text(QAccessible::Description), "Press to toggle this task.") << "the help a screen reader reads";
    EXPECT_EQ(accessible->indexOfChild(second), 1);
    EXPECT_EQ(first->parent(), accessible);
    EXPECT_TRUE(first->rect().intersects(QRect(view->viewport()->mapToGlobal(QPoint(0, 0)), view->viewport()->size())));

    ASSERT_NE(first->actionInterface(), nullptr);
    first->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(textOf(*view).substr(0, 5), u"- [x]");
    EXPECT_TRUE(first->state().checked);
    EXPECT_NE(std::find(events.begin(), events.end(), QAccessible::StateChanged), events.end());
    EXPECT_EQ(accessible->child(0), first) << "a box still shown keeps its element";

    view->setEditable(false);
    QAccessibleInterface *readOnly = accessible->child(1);
    EXPECT_EQ(readOnly->text(QAccessible::Description), "This task is read-only.");
    EXPECT_TRUE(readOnly->state().disabled);
    readOnly->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(textOf(*view).substr(11, 5), u"- [X]");
    setAccessibilityAnnouncer({});

    view->editingCore().loadText(u"plain text", MarkdownStyler::baseAttributes(MarkdownStyler::textColor()));
    EXPECT_EQ(accessible->childCount(), 0);
}
