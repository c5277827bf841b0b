#include "TextViewTestSupport.h"
#include "editor_view/layout/LayoutCache.h"
#include "editor_view/view/ChangedArea.h"
#include "editor_view/view/PostponableTimer.h"
#include "support/async/EventLoopWaits.h"

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTest>

#include <string>
#include <vector>

using namespace velto::editor;
using namespace std::chrono_literals;

namespace {

/// Counts the timer events it gets and notes the timer's identifier at each.
class TimerReceiver : public QObject {
public:
    std::vector<int> firedIds;
    std::function<void(QTimerEvent *)> onTimer;

protected:
    void timerEvent(QTimerEvent *event) override {
        if (onTimer) {
            onTimer(event);
        }
    }
};

/// The viewport's paint events' rectangles.
class PaintRecorder : public QObject {
public:
    std::vector<QRect> painted;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint) {
            painted.push_back(static_cast<QPaintEvent *>(event)->rect());
        }
        return false;
    }
};

/// A shown, focused text view of the text whose viewport's paints are recorded.
struct RecordedView {
    PaintRecorder recorder;
    std::unique_ptr<VeltoTextView> view;

    explicit RecordedView(const std::u16string &text)
        : view(velto::testing::makeTextView(text, 320, 400)) {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        view->activateWindow();
        view->setFocus();
        view->viewport()->installEventFilter(&recorder);
    }
};

bool idleTimerRegistered(QObject &view) {
    for (const QAbstractEventDispatcher::TimerInfo &timer :
         QAbstractEventDispatcher::instance()->registeredTimers(&view)) {
        if (timer.interval == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST(TextViewKeyWorkTests, APostponedTimerFiresOnceADelayAfterItsLastStartWithoutBeingRegisteredAnew) {
    velto::testing::ensureWidgetApplication();
    TimerReceiver receiver;
    PostponableTimer timer;
    int fired = 0;
    PostponableTimer::Clock::time_point lastStart;
    receiver.onTimer = [&](QTimerEvent *event) {
        receiver.firedIds.push_back(event->timerId());
        fired += timer.isDue(&receiver) ? 1 : 0;
    };
    timer.start(80ms, &receiver);
    const int id = timer.timerId();
    for (int start = 0; start < 4; ++start) {
        const auto wanted = PostponableTimer::Clock::now() + 30ms;
        ASSERT_TRUE(velto::testing::processEventsUntil([&] { return PostponableTimer::Clock::now() >= wanted; }));
        timer.start(80ms, &receiver);
        lastStart = PostponableTimer::Clock::now();
        if (start == 0) {
            // Started anew, it would be set 80 ms from now; it still fires when first set, and waits again then.
            EXPECT_EQ(timer.timerId(), id);
            EXPECT_LE(QAbstractEventDispatcher::instance()->remainingTime(id), 65);
        }
    }
    ASSERT_TRUE(velto::testing::processEventsUntil([&] { return fired > 0; }));
    // A coarse timer may fire up to a twentieth early.
    EXPECT_GE(PostponableTimer::Clock::now() - lastStart, 76ms);
    EXPECT_FALSE(timer.isActive());
    EXPECT_LE(receiver.firedIds.size(), 4u) << "a wait for what was left of the delay, not one per start";

    // Put off to sooner, it is set for the sooner time.
    timer.start(10s, &receiver);
    timer.start(20ms, &receiver);
    ASSERT_TRUE(velto::testing::processEventsUntil([&] { return fired > 1; }, 5s));
}

TEST(TextViewKeyWorkTests, KeysStartNoIdleMeasuringOnceThePagesBudgetIsSpent) {
    velto::testing::ensureWidgetApplication();
    std::u16string text;
    for (int k = 0; text.size() < 200000; ++k) {
        text += u"Paragraph " + QString::number(k).toStdU16String() + u" with some words that wrap at this width.\n\n";
    }
    auto view = std::make_unique<VeltoTextView>();
    view->setIdleMeasuringBudget(std::chrono::microseconds(0));
    view->resize(300, 200);
    view->editingCore().loadText(text, MarkdownStyler::baseAttributes(MarkdownStyler::textColor()));
    view->show();
    view->viewport()->grab();
    ASSERT_TRUE(velto::testing::processEventsUntil([&] { return !idleTimerRegistered(*view); }));
    view->setSelectedRange(TextRange{text.find(u" with"), 0});
    view->viewport()->grab();
    QCoreApplication::processEvents();
    for (const char16_t *typed : {u"a", u"b", u"c"}) {
        view->insertTypedText(view->selectedRange(), typed);
        EXPECT_FALSE(idleTimerRegistered(*view)) << "after the key";
        view->viewport()->grab();
        EXPECT_FALSE(idleTimerRegistered(*view)) << "after its paint";
    }

    // A bigger budget measures again.
    view->setIdleMeasuringBudget(std::chrono::microseconds(20000));
    view->insertTypedText(view->selectedRange(), u"d");
    EXPECT_TRUE(idleTimerRegistered(*view));
}

TEST(TextViewKeyWorkTests, KeysRepaintTheTextColumnAndLeaveNoStalePixels) {
    velto::testing::ensureWidgetApplication();
    // A long rule shows its source on one line while the caret is on it, far past the text's column.
    const std::u16string rule(120, u'-');
    const std::u16string text = u"First paragraph with words.\n\n" + rule +
                                u"\n\nA paragraph to type in, long enough to wrap onto a second line here.\n\nLast.\n";
    const velto::testing::SteadyCaret steadyCaret;
    RecordedView recorded(text);
    auto &view = recorded.view;
    PaintRecorder &recorder = recorded.recorder;
    const auto shownMatchesAFullPaint = [&view](const std::string &step) {
        velto::testing::expectShownMatchesAFullPaint(*view, step);
    };
    shownMatchesAFullPaint("opened");
    const std::size_t typing = text.find(u"here.");
    view->setSelectedRange(TextRange{typing, 0});
    shownMatchesAFullPaint("the caret placed");

    // Typed keys repaint the text's column alone, not the insets along the view's sides.
    recorder.painted.clear();
    view->insertTypedText(view->selectedRange(), u"typed ");
    velto::testing::settleRepaints();
    ASSERT_FALSE(recorder.painted.empty());
    const int inset = static_cast<int>(view->textContainerInset().width());
    const int margin = static_cast<int>(ChangedArea::margin);
    for (const QRect &painted : recorder.painted) {
        EXPECT_GE(painted.left(), inset - margin) << "the left inset";
        EXPECT_LE(painted.right(), view->viewport()->width() - inset + margin) << "the right inset";
    }
    shownMatchesAFullPaint("a word typed");

    struct Step {
        const char *name;
        std::function<void()> act;
    };
    const Step steps[] = {
        {"spaces typed past the line's end",
         [&] { view->insertTypedText(view->selectedRange(), std::u16string(60, u' ')); }},
        {"the spaces selected",
         [&] {
             view->setSelectedRange(TextRange{view->selectedRange().location - 60, 60});
         }},
        {"the selection typed over", [&] { view->insertTypedText(view->selectedRange(), u"x"); }},
        {"the caret onto the long rule",
         [&] {
             view->setSelectedRange(TextRange{text.find(rule) + 3, 0});
         }},
        {"the caret off the rule",
         [&] {
             view->setSelectedRange(TextRange{text.find(u"First") + 5, 0});
         }},
        {"a key typed at the line's start",
         [&] {
             view->insertTypedText(TextRange{0, 0}, u"W");
         }},
    };
    for (const Step &step : steps) {
        step.act();
        shownMatchesAFullPaint(step.name);
    }
}

TEST(TextViewKeyWorkTests, KeysOnALaterLineOfAParagraphRepaintFromTheLineBeforeAndLeaveNoStalePixels) {
    velto::testing::ensureWidgetApplication();
    const std::u16string wrapped =
        u"A paragraph long enough to wrap onto three lines at this width, with words to type after and more "
        u"words again to fill its last line";
    const std::u16string text =
        u"First.\n\n" + wrapped +
        u"\n\n123 456 789 000 111 222 333 444 555 666 777 888 999 000 111 222 333 444 555 666 777 888 999\n";
    const velto::testing::SteadyCaret steadyCaret;
    RecordedView recorded(text);
    auto &view = recorded.view;
    PaintRecorder &recorder = recorded.recorder;
    const auto settle = [] { velto::testing::settleRepaints(); };
    const auto shownMatchesAFullPaint = [&view](const std::string &step) {
        velto::testing::expectShownMatchesAFullPaint(*view, step);
    };
    const std::size_t paragraphEnd = text.find(u"last line") + 9;
    view->setSelectedRange(TextRange{paragraphEnd, 0});
    shownMatchesAFullPaint("the caret at the paragraph's end");
    LayoutCache &cache = view->layoutCache();
    const double firstLineBottom = cache.lineRectFor(8).bottom();
    ASSERT_GT(cache.lineRectFor(paragraphEnd).top(), cache.lineRectFor(8).bottom() + 10) << "three lines";

    // A key on the last line paints that line and the one before, not the paragraph's first line.
    recorder.painted.clear();
    view->insertTypedText(view->selectedRange(), u"s");
    settle();
    ASSERT_FALSE(recorder.painted.empty());
    const double viewportTop = view->textContainerInset().height() - view->verticalScrollBar()->value();
    for (const QRect &painted : recorder.painted) {
        EXPECT_GT(painted.top(), viewportTop + firstLineBottom - ChangedArea::margin) << "the first line again";
    }
    shownMatchesAFullPaint("a key on the last line");

    const std::size_t secondLine = cache.visualLineRange(paragraphEnd).location;
    struct Step {
        const char *name;
        std::function<void()> act;
    };
    const Step steps[] = {
        {"a word typed at the last line's start",
         [&] {
             view->insertTypedText(TextRange{secondLine, 0}, u"longerwordthatmoves ");
         }},
        {"the word removed again, a key at a time",
         [&] {
             for (int k = 0; k < 20; ++k) {
                 view->replaceText(TextRange{secondLine, 1}, u"", TextRange{secondLine, 0});
             }
         }},
        {"the last line's first word shortened until it fits the line before",
         [&] {
             const std::size_t start = cache.visualLineRange(paragraphEnd).location;
             for (int k = 0; k < 6; ++k) {
                 view->replaceText(TextRange{start, 1}, u"", TextRange{start, 0});
                 settle();
             }
         }},
        {"right-to-left letters typed at the end of a paragraph of numbers",
         [&] {
             const std::size_t at = view->textStorage().length() - 1; // no letter before it in its paragraph
             view->setSelectedRange(TextRange{at, 0});
             view->insertTypedText(TextRange{at, 0}, u"\u05E9\u05DC\u05D5\u05DD ");
         }},
        {"and removed again",
         [&] {
             const std::size_t at = view->selectedRange().location - 5;
             view->replaceText(TextRange{at, 5}, u"", TextRange{at, 0});
         }},
    };
    for (const Step &step : steps) {
        step.act();
        shownMatchesAFullPaint(step.name);
    }
}
