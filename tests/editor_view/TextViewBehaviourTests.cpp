#include "TextViewTestSupport.h"
#include "support/async/EventLoopWaits.h"

#include "editor/editing/TextBoundaries.h"
#include "editor_view/accessibility/TextViewAccessibility.h"
#include "editor_view/view/TextViewContextMenu.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QClipboard>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

using namespace velto::editor;
using velto::testing::makeTextView;

namespace {

std::u16string textOf(VeltoTextView &view) {
    return view.storage().substring(TextRange{0, view.storage().length()});
}

QPoint pointOf(VeltoTextView &view, std::size_t position) {
    return view.caretRectInViewport(position).center().toPoint() + QPoint(1, 0);
}

QVariant query(VeltoTextView &view, Qt::InputMethodQuery property) {
    return static_cast<QWidget &>(view).inputMethodQuery(property);
}

void sendMouse(QWidget *target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, buttons, modifiers);
    QApplication::sendEvent(target, &event);
}

/// A body with every kind of character that a page must keep exactly.
const std::u16string unusualBody = u"line one\rline two\r\nthree\u2028four\u2029five\u0085six\u00A0seven\uFDD0"
                                   u"eight\u0000nine 👩‍👩‍👧 e\u0301 end";

/// Lines of 10 to 79 units, so that estimated heights and measured ones differ.
std::u16string linesOfVaryingLength(char16_t unit, int lines) {
    std::u16string text;
    for (int k = 0; k < lines; ++k) {
        text += std::u16string(static_cast<std::size_t>(10 + k * 13 % 70), unit) + u"\n";
    }
    return text;
}

std::size_t measuredParagraphs(const LayoutCache &cache) {
    std::size_t measured = 0;
    for (std::size_t k = 0; k < cache.paragraphCount(); ++k) {
        measured += cache.isMeasured(k) ? 1 : 0;
    }
    return measured;
}

} // namespace

TEST(TextViewBehaviourTests, UnusualCharactersSurviveLoadingEditingElsewhereAndReadingBack) {
    const std::u16string body(unusualBody.data(), unusualBody.size() + 0);
    auto view = makeTextView(u"# Title\n\n" + std::u16string(unusualBody.begin(), unusualBody.end()), 400, 300);
    view->setFocus();
    view->setSelectedRange(TextRange{2, 0});
    QTest::keyClicks(view.get(), "New ");
    QTest::keyClick(view.get(), Qt::Key_End);
    view->viewport()->grab(); // laid out and painted
    EXPECT_EQ(textOf(*view), u"# New Title\n\n" + std::u16string(unusualBody.begin(), unusualBody.end()));
    EXPECT_EQ(view->layoutCache().index().starts(), ParagraphIndex(view->storage()).starts());
}

TEST(TextViewBehaviourTests, CaretNeverLandsInsideAGraphemeByKeysOrClicks) {
    auto view = makeTextView(std::u16string(unusualBody.begin(), unusualBody.end()) + u"\r\n\r\nlast", 200, 300, false);
    view->setFocus();
    view->setSelectedRange(TextRange{0, 0});
    const std::u16string text = textOf(*view);
    std::size_t previous = 0;
    for (int step = 0; step < 200 && view->selectedRange().location < text.size(); ++step) {
        QTest::keyClick(view.get(), Qt::Key_Right);
        const std::size_t caret = view->selectedRange().location;
        ASSERT_TRUE(isGraphemeBoundary(text, caret)) << "after step " << step << " at " << caret;
        ASSERT_GT(caret, previous);
        previous = caret;
    }
    for (int y = 0; y < view->viewport()->height(); y += 5) {
        for (int x = 0; x < view->viewport()->width(); x += 6) {
            const std::size_t position = view->positionAtViewportPoint(QPointF(x, y));
            ASSERT_LE(position, text.size());
            sendMouse(view->viewport(), QEvent::MouseButtonPress, QPoint(x, y), Qt::LeftButton);
            sendMouse(view->viewport(), QEvent::MouseButtonRelease, QPoint(x, y), Qt::NoButton);
            QTest::qWait(0);
            ASSERT_TRUE(isGraphemeBoundary(text, view->editingCore().selectionHead())) << x << "," << y;
        }
        QTest::qWait(QApplication::doubleClickInterval() / 20); // keep clicks from counting as double
    }
}

TEST(TextViewBehaviourTests, ClicksSelectCaretWordAndParagraphAndShiftClickExtends) {
    auto view = makeTextView(u"alpha beta gamma\nsecond line here\n", 400, 300, false);
    QWidget *viewport = view->viewport();
    const QPoint onBeta = pointOf(*view, 7);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, onBeta);
    EXPECT_EQ(view->selectedRange(), (TextRange{7, 0}));
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, onBeta);
    EXPECT_EQ(view->selectedRange(), (TextRange{6, 4}));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, onBeta);
    EXPECT_EQ(view->selectedRange(), (TextRange{0, 17})) << "a third click selects the paragraph and its break";

    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, pointOf(*view, 2));
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, pointOf(*view, 20));
    EXPECT_EQ(view->selectedRange(), (TextRange{2, 18}));
}

TEST(TextViewBehaviourTests, DraggingSelectsAndDraggingBelowTheViewScrollsIt) {
    std::u16string text;
    for (int k = 0; k < 60; ++k) {
        text += u"row of text\n";
    }
    auto view = makeTextView(text, 300, 200, false);
    QWidget *viewport = view->viewport();
    sendMouse(viewport, QEvent::MouseButtonPress, pointOf(*view, 0), Qt::LeftButton);
    sendMouse(viewport, QEvent::MouseMove, pointOf(*view, 14), Qt::LeftButton);
    EXPECT_EQ(view->selectedRange(), (TextRange{0, 14}));
    sendMouse(viewport, QEvent::MouseMove, QPoint(50, viewport->height() + 40), Qt::LeftButton);
    const int before = view->verticalScrollBar()->value();
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->verticalScrollBar()->value() > before + 40; }, 5000));
    sendMouse(viewport, QEvent::MouseButtonRelease, QPoint(50, viewport->height() + 40), Qt::NoButton);
    EXPECT_GT(view->selectedRange().length, 14u);
    EXPECT_EQ(view->selectedRange().location, 0u);
}

TEST(TextViewBehaviourTests, VerticalKeysMoveByVisualLinesKeepingTheColumn) {
    // One paragraph that wraps into several lines, then a short one.
    std::u16string text;
    for (int k = 0; k < 12; ++k) {
        text += u"word" + std::u16string(1, static_cast<char16_t>(u'a' + k)) + u" ";
    }
    text += u"\nshort";
    auto view = makeTextView(text, 200, 300, false);
    view->setFocus();
    view->setSelectedRange(TextRange{2, 0});
    const double column = view->caretRectInViewport(2).x();
    QTest::keyClick(view.get(), Qt::Key_Down);
    const std::size_t second = view->selectedRange().location;
    EXPECT_GT(view->caretRectInViewport(second).y(), view->caretRectInViewport(2).y());
    EXPECT_LT(second, text.find(u'\n')) << "still in the first paragraph";
    EXPECT_NEAR(view->caretRectInViewport(second).x(), column, 12);
    QTest::keyClick(view.get(), Qt::Key_Up);
    EXPECT_EQ(view->selectedRange().location, 2u);
    QTest::keyClick(view.get(), Qt::Key_Up);
    EXPECT_EQ(view->selectedRange().location, 0u) << "above the first line is the start";
    QTest::keyClick(view.get(), Qt::Key_End);
    const std::size_t lineEnd = view->selectedRange().location;
    EXPECT_LT(lineEnd, second) << "End goes to the end of the visual line";
    EXPECT_EQ(view->caretRectInViewport(lineEnd).y(), view->caretRectInViewport(0).y());
    QTest::keyClick(view.get(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(view->selectedRange().location, lineEnd);
    EXPECT_GT(view->selectedRange().length, 0u);
    QTest::keyClick(view.get(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view->selectedRange(), (TextRange{text.size(), 0}));
}

TEST(TextViewBehaviourTests, EndStaysOnAWrappedLineAndTheCaretShowsAtItsEnd) {
    struct Case {
        std::u16string word; // repeated until the paragraph wraps several times
        bool brokeAtBlank;   // End stops before the blank; otherwise after the line's last unit
    };
    const Case cases[] = {{u"AAA-", false}, {u"AAA ", true}, {u"漢字", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(QString::fromStdU16String(c.word).toStdString());
        std::u16string text;
        for (int k = 0; k < 40; ++k) {
            text += c.word;
        }
        auto view = makeTextView(text + u"\nlast", 200, 300, false);
        view->setFocus();
        view->setSelectedRange(TextRange{0, 0});
        const double firstLineY = view->caretRectInViewport(0).y();
        QTest::keyClick(view.get(), Qt::Key_End);
        const std::size_t end = view->selectedRange().location;
        const QRectF caret = view->caretRectInViewport(end, view->headAffinity());
        ASSERT_GT(end, 0u);
        EXPECT_EQ(caret.y(), firstLineY) << "the caret shows on the line End was pressed on";
        EXPECT_FALSE(QChar(text[end - 1]).isSpace()) << "the caret stands after the line's last visible unit";
        EXPECT_GT(caret.x(), view->caretRectInViewport(end - 1).x());
        EXPECT_EQ(view->headAffinity() == CaretAffinity::upstream, !c.brokeAtBlank);
        const double secondLineY = view->caretRectInViewport(end + (c.brokeAtBlank ? 1 : 0)).y();
        EXPECT_GT(secondLineY, firstLineY);
        QTest::keyClick(view.get(), Qt::Key_End);
        EXPECT_EQ(view->selectedRange().location, end) << "a second End stays";
        QTest::keyClick(view.get(), Qt::Key_Down);
        EXPECT_EQ(view->caretRectInViewport(view->selectedRange().location, view->headAffinity()).y(), secondLineY)
            << "Down goes to the next line, not the one after";
        QTest::keyClick(view.get(), Qt::Key_Up);
        EXPECT_EQ(view->selectedRange().location, end);
        EXPECT_EQ(view->caretRectInViewport(end, view->headAffinity()).y(), firstLineY);
        QTest::keyClick(view.get(), Qt::Key_Home);
        EXPECT_EQ(view->selectedRange().location, 0u) << "Home goes to the start of the caret's line";
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(view->viewport()->width() - 2, static_cast<int>(caret.center().y())));
        EXPECT_EQ(view->selectedRange(), (TextRange{end, 0})) << "a click past the line's end goes where End does";
        EXPECT_EQ(view->caretRectInViewport(end, view->headAffinity()).y(), firstLineY);
        QTest::keyClick(view.get(), Qt::Key_End);
        QTest::keyClicks(view.get(), "x");
        EXPECT_EQ(textOf(*view).substr(end, 1), u"x");
        EXPECT_EQ(view->headAffinity(), CaretAffinity::downstream) << "typing ends the upstream side";
    }
}

TEST(TextViewBehaviourTests, ReadOnlyViewSelectsAndCopiesButChangesNothing) {
    auto view = makeTextView(u"fixed text", 300, 200, false);
    view->setEditable(false);
    view->setFocus();
    view->setSelectedRange(TextRange{0, 5});
    QTest::keyClick(view.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "fixed");
    QTest::keyClicks(view.get(), "typed");
    QTest::keyClick(view.get(), Qt::Key_Backspace);
    QTest::keyClick(view.get(), Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(view.get(), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(view.get(), Qt::Key_Return);
    QTest::keyClick(view.get(), Qt::Key_Tab);
    QInputMethodEvent commit;
    commit.setCommitString("ime");
    QApplication::sendEvent(view.get(), &commit);
    EXPECT_FALSE(view->moveText(TextRange{0, 5}, 10));
    QCoreApplication::processEvents();
    EXPECT_EQ(textOf(*view), u"fixed text");
    QTest::keyClick(view.get(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(view->selectedRange(), (TextRange{0, 6}));
}

TEST(TextViewBehaviourTests, TabReachesTheViewInsteadOfMovingFocus) {
    velto::testing::ensureWidgetApplication();
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *view = new VeltoTextView;
    auto *other = new QLineEdit;
    layout->addWidget(view);
    layout->addWidget(other);
    view->editingCore().loadText(u"item");
    window.show();
    view->setFocus();
    view->setSelectedRange(TextRange{0, 0});
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_EQ(window.focusWidget(), view);
    EXPECT_EQ(textOf(*view), u"  item");
}

TEST(TextViewBehaviourTests, InputMethodCommitsComposesAndAnswersQueries) {
    auto view = makeTextView(u"first paragraph\nsecond", 400, 200, false);
    view->setFocus();
    view->setSelectedRange(TextRange{23, 0});
    QInputMethodEvent compose("にほ", {QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, 2, 1)});
    QApplication::sendEvent(view.get(), &compose);
    EXPECT_TRUE(view->hasMarkedText());
    EXPECT_EQ(textOf(*view), u"first paragraph\nsecond") << "composed text is not in the page yet";
    // It is shown where it will go, and the text after it on the line moves aside.
    const QRectF composing = view->layoutCache().compositionCaretRect(2);
    EXPECT_GT(composing.x(), view->layoutCache().caretRect(23).x());
    EXPECT_EQ(composing.top(), view->layoutCache().caretRect(23).top());
    QInputMethodEvent commit;
    commit.setCommitString("日本");
    QApplication::sendEvent(view.get(), &commit);
    EXPECT_FALSE(view->hasMarkedText());
    EXPECT_EQ(textOf(*view), u"first paragraph\nsecond日本");

    EXPECT_EQ(query(*view, Qt::ImSurroundingText).toString(), "second日本");
    EXPECT_EQ(query(*view, Qt::ImCursorPosition).toInt(), 8);
    EXPECT_EQ(query(*view, Qt::ImTextBeforeCursor).toString(), "second日本");
    EXPECT_TRUE(query(*view, Qt::ImEnabled).toBool());
    const QRectF caret = query(*view, Qt::ImCursorRectangle).toRectF();
    EXPECT_EQ(caret, view->caretRectInViewport(25)
                         .adjusted(0, 0, 1 - view->caretRectInViewport(25).width(), 0)
                         .translated(view->viewport()->pos()));
    // Replacing the two units before the caret, as a correction does.
    QInputMethodEvent correct;
    correct.setCommitString("語", -2, 2);
    QApplication::sendEvent(view.get(), &correct);
    EXPECT_EQ(textOf(*view), u"first paragraph\nsecond語");
    view->setEditable(false);
    EXPECT_FALSE(query(*view, Qt::ImEnabled).toBool());
}

TEST(TextViewBehaviourTests, ContextMenuOffersWhatTheStateAllows) {
    struct Case {
        ContextMenuState state;
        std::vector<bool> enabled; // Undo, Redo, Cut, Copy, Paste, Select All
    };
    const std::vector<Case> cases = {
        {{true, false, false, false, false, false}, {false, false, false, false, false, false}},
        {{true, true, true, true, true, true}, {true, true, true, true, true, true}},
        {{false, true, true, true, true, true}, {false, false, false, true, false, true}},
        {{true, false, true, false, true, true}, {true, false, false, false, true, true}},
    };
    for (const Case &entry : cases) {
        std::vector<bool> enabled;
        std::vector<QString> titles;
        for (const ContextMenuEntry &row : contextMenuEntries(entry.state)) {
            if (row.command) {
                enabled.push_back(row.enabled);
                titles.push_back(row.title);
            }
        }
        EXPECT_EQ(enabled, entry.enabled);
        EXPECT_EQ(titles, (std::vector<QString>{"Undo", "Redo", "Cut", "Copy", "Paste", "Select All"}));
    }
}

TEST(TextViewBehaviourTests, MovingTextInsideTheViewIsOneUndoStep) {
    auto view = makeTextView(u"one two three", 400, 200, false);
    ASSERT_TRUE(view->moveText(TextRange{0, 4}, 13));
    EXPECT_EQ(textOf(*view), u"two threeone ");
    EXPECT_EQ(view->selectedRange(), (TextRange{9, 4}));
    EXPECT_FALSE(view->moveText(TextRange{0, 4}, 2)) << "a drop inside the source moves nothing";
    view->perform(TextViewCommand::undo);
    EXPECT_EQ(textOf(*view), u"one two three");
    view->perform(TextViewCommand::redo);
    EXPECT_EQ(textOf(*view), u"two threeone ");
}

// Undo and Redo change text far from the screen after a jump away: the view scrolls to what they changed, by the
// keys (through the shortcut override, as the desktop sends them) as by the menu's commands.
TEST(TextViewBehaviourTests, UndoAndRedoShowWhatTheyChanged) {
    std::u16string page;
    for (int k = 0; k < 3000; ++k) {
        page += u"a line of the page\n";
    }
    const auto atEnd = [](VeltoTextView &view) {
        QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
        ASSERT_FALSE(view.visibleCharacterRange(view.visibleRect()).contains(0));
    };
    const auto shows = [](VeltoTextView &view, std::size_t position) {
        const TextRange shown = view.visibleCharacterRange(view.visibleRect());
        return shown.contains(position);
    };
    struct Row {
        const char *what;
        std::function<void(VeltoTextView &)> undo;
        std::function<void(VeltoTextView &)> redo;
    };
    const std::vector<Row> rows{
        {"keys", [](VeltoTextView &view) { QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier); },
         [](VeltoTextView &view) { QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }},
        {"menu", [](VeltoTextView &view) { view.perform(TextViewCommand::undo); },
         [](VeltoTextView &view) { view.perform(TextViewCommand::redo); }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        auto view = makeTextView(page, 320, 200, false);
        view->activateWindow();
        view->setFocus();
        view->setSelectedRange(TextRange{0, 0});
        QTest::keyClicks(view.get(), "hello ");
        atEnd(*view);
        row.undo(*view);
        EXPECT_EQ(textOf(*view), page);
        EXPECT_EQ(view->selectedRange(), (TextRange{0, 0}));
        EXPECT_TRUE(shows(*view, 0)) << "the undone typing";
        atEnd(*view);
        row.redo(*view);
        EXPECT_EQ(textOf(*view).substr(0, 6), u"hello ");
        EXPECT_TRUE(shows(*view, 6)) << "the typing redone, the caret after it";

        // A change made away from the caret (a task box ticked with the pointer) puts the caret back where it
        // stood: the change is shown all the same.
        const std::size_t line = 40 * 19;
        atEnd(*view);
        ASSERT_TRUE(view->replaceText(TextRange{line, 1}, u"A", view->selectedRange()));
        row.undo(*view);
        EXPECT_TRUE(shows(*view, line));
    }
}

TEST(TextViewBehaviourTests, ScrollGeometryFollowsTheTextAndPinsToTheBottom) {
    std::u16string text;
    for (int k = 0; k < 300; ++k) {
        text += u"a line of the page\n";
    }
    auto view = makeTextView(text, 300, 200, false);
    EXPECT_GT(view->documentHeight(), 300 * 10.0);
    EXPECT_EQ(view->visibleRect(), QRectF(0, 0, view->viewport()->width(), view->viewport()->height()));
    view->pinToBottom();
    const QRectF end = view->caretRectInViewport(text.size());
    EXPECT_GE(end.top(), 0);
    EXPECT_LE(end.bottom(), view->viewport()->height());
    EXPECT_EQ(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
    view->scrollRangeToVisible(TextRange{0, 0});
    EXPECT_EQ(view->verticalScrollBar()->value(), 0);
    view->scrollToPoint(QPointF(0, 500));
    EXPECT_EQ(view->visibleRect().top(), 500);
}

/// The panel fades the text under its top and bottom edges while there is more to scroll to: a caret out of
/// sight is brought in beyond that band, and a line near the start brings the view back to its very top.
TEST(TextViewBehaviourTests, TheCaretsLineIsBroughtInClearOfTheEdges) {
    std::u16string text = u"# A heading\n\n";
    for (int k = 0; k < 100; ++k) {
        text += u"a line of the page\n";
    }
    auto view = makeTextView(text, 300, 200, true);
    const double margin = view->textContainerInset().height();
    view->scrollToPoint(QPointF(0, 400));
    view->scrollRangeToVisible(TextRange{2, 0}); // in the heading
    EXPECT_EQ(view->verticalScrollBar()->value(), 0);

    const std::size_t middle = text.size() / 2;
    view->scrollRangeToVisible(TextRange{middle, 0});
    QRectF caret = view->caretRectInViewport(middle);
    EXPECT_LE(caret.bottom(), view->viewport()->height() - margin + 1) << "the line above the bottom band";
    const int settled = view->verticalScrollBar()->value();
    view->scrollRangeToVisible(TextRange{middle, 0});
    EXPECT_EQ(view->verticalScrollBar()->value(), settled) << "a caret in sight leaves the view where it is";
    view->scrollToPoint(QPointF(0, view->verticalScrollBar()->maximum()));
    view->scrollRangeToVisible(TextRange{middle, 0});
    caret = view->caretRectInViewport(middle);
    EXPECT_GE(caret.top(), margin - 1) << "the line below the top band";
}

TEST(TextViewBehaviourTests, TextDroppedFromAnotherProgramTakesThePagesLineFeeds) {
    auto view = makeTextView(u"start", 300, 200, false);
    QMimeData data;
    data.setText(QStringLiteral("one\r\ntwo\r\n"));
    const QPointF end = view->caretRectInViewport(5).center();
    QDragEnterEvent enter(end.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &enter);
    QDropEvent drop(end, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(textOf(*view), u"startone\ntwo\n");
}

TEST(TextViewBehaviourTests, KeyEquivalentsRunOnTheShortcutOverride) {
    auto view = makeTextView(u"make bold", 300, 200, false);
    view->setFocus();
    view->setSelectedRange(TextRange{5, 4});
    // The override alone does the work and is accepted, so no window shortcut takes the key.
    QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_B, Qt::ControlModifier, "b");
    QApplication::sendEvent(view.get(), &override);
    EXPECT_TRUE(override.isAccepted());
    EXPECT_EQ(textOf(*view), u"make **bold**");
    EXPECT_EQ(view->selectedRange(), (TextRange{7, 4}));
    // A whole key press (override, then the press itself) acts once.
    view->setSelectedRange(TextRange{0, 4});
    QTest::keyClick(view.get(), Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(textOf(*view), u"_make_ **bold**");
    // A key the routing leaves alone is not claimed by the override.
    QKeyEvent other(QEvent::ShortcutOverride, Qt::Key_F5, Qt::NoModifier);
    other.ignore();
    QApplication::sendEvent(view.get(), &other);
    EXPECT_FALSE(other.isAccepted());
}

TEST(TextViewBehaviourTests, AccessibilityReadsAndEditsTheStorageAndAnnouncesChanges) {
    auto view = makeTextView(u"hello world", 300, 200, false);
    std::vector<QAccessible::Event> events;
    std::vector<QString> insertedTexts;
    setAccessibilityAnnouncer([&](QAccessibleEvent &event) {
        events.push_back(event.type());
        if (event.type() == QAccessible::TextInserted) {
            insertedTexts.push_back(static_cast<QAccessibleTextInsertEvent &>(event).textInserted());
        }
    });
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(view.get());
    ASSERT_NE(accessible, nullptr);
    QAccessibleTextInterface *text = accessible->textInterface();
    QAccessibleEditableTextInterface *editable = accessible->editableTextInterface();
    ASSERT_NE(text, nullptr);
    ASSERT_NE(editable, nullptr);
    EXPECT_EQ(text->characterCount(), 11);
    EXPECT_EQ(text->text(6, 11), "world");
    EXPECT_EQ(accessible->text(QAccessible::Value), "hello world");
    EXPECT_TRUE(accessible->state().editable);

    text->setSelection(0, 6, 11);
    EXPECT_EQ(view->selectedRange(), (TextRange{6, 5}));
    editable->replaceText(0, 5, "howdy");
    EXPECT_EQ(textOf(*view), u"howdy world");
    view->perform(TextViewCommand::undo);
    EXPECT_EQ(textOf(*view), u"hello world") << "an accessible edit is one undo step";
    EXPECT_NE(std::find(events.begin(), events.end(), QAccessible::TextRemoved), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), QAccessible::TextInserted), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), QAccessible::TextSelectionChanged), events.end());
    events.clear();
    text->setCursorPosition(3);
    EXPECT_EQ(text->cursorPosition(), 3);
    EXPECT_NE(std::find(events.begin(), events.end(), QAccessible::TextCaretMoved), events.end());

    view->setEditable(false);
    EXPECT_TRUE(accessible->state().readOnly);
    editable->insertText(0, "no");
    EXPECT_EQ(textOf(*view), u"hello world");
    EXPECT_EQ(accessible->childCount(), 0);
    EXPECT_EQ(insertedTexts, (std::vector<QString>{"howdy", "hello"})) << "the undo is announced too";
    setAccessibilityAnnouncer({});
}

TEST(TextViewBehaviourTests, MeasuringWhileIdleKeepsWhatIsShownStill) {
    // Wide characters make the estimated heights wrong, so measuring the paragraphs above the visible
    // ones changes where they stand.
    auto view = makeTextView(linesOfVaryingLength(u'漢', 400), 300, 200, false);
    // One paragraph per slice: the many short slices of a busy machine, on any machine.
    view->setIdleLayoutSlice(std::chrono::microseconds(0));
    view->scrollToPoint(QPointF(0, view->documentHeight() / 2));
    view->viewport()->grab();
    const std::size_t shown = view->positionAtViewportPoint(QPointF(30, 40));
    const double before = view->caretRectInViewport(shown).y();
    LayoutCache &cache = view->layoutCache();
    const auto allMeasured = [&cache] { return measuredParagraphs(cache) == cache.paragraphCount(); };
    ASSERT_FALSE(allMeasured()) << "the test needs paragraphs left to measure";
    ASSERT_TRUE(velto::testing::processEventsUntil(allMeasured));
    EXPECT_NEAR(view->caretRectInViewport(shown).y(), before, 1.0);
}

TEST(TextViewBehaviourTests, ARememberedPointShowsTheTextThatStoodThereBeforeItsParagraphsAreMeasuredAgain) {
    // Wide characters make the estimated heights wrong: scrolling over estimates would land elsewhere.
    const std::u16string text = linesOfVaryingLength(u'漢', 400);
    auto view = makeTextView(text, 300, 200, false);
    view->usedHeightAfterFullLayout();
    const QPointF remembered(0, view->documentHeight() / 2);
    view->scrollToPoint(remembered);
    const std::size_t shown = view->positionAtViewportPoint(QPointF(30, 40));
    view->hide();
    // The page comes back after another was shown: its paragraphs are estimated again.
    view->editingCore().loadText(text, MarkdownStyler::baseAttributes(MarkdownStyler::textColor()));
    view->scrollToRememberedPoint(remembered);
    EXPECT_EQ(view->positionAtViewportPoint(QPointF(30, 40)), shown);
}

TEST(TextViewBehaviourTests, AHiddenViewMeasuresItsParagraphsOnlyOnceShown) {
    const std::u16string text = linesOfVaryingLength(u'x', 300);
    auto view = makeTextView(text, 300, 200, false);
    view->setIdleLayoutSlice(std::chrono::microseconds(0));
    LayoutCache &cache = view->layoutCache();
    view->hide();
    // A page loaded into the hidden view, as into a hidden panel.
    view->editingCore().loadText(text + u"more\n", MarkdownStyler::baseAttributes(MarkdownStyler::textColor()));
    const std::size_t measuredWhileHidden = measuredParagraphs(cache);
    for (int round = 0; round < 50; ++round) {
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(measuredParagraphs(cache), measuredWhileHidden) << "a hidden view measures nothing while idle";
    EXPECT_LT(measuredWhileHidden, cache.paragraphCount() / 2);
    view->show();
    EXPECT_TRUE(
        velto::testing::processEventsUntil([&] { return measuredParagraphs(cache) == cache.paragraphCount(); }));
}
