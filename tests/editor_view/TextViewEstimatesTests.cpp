#include "TextViewTestSupport.h"
#include "support/async/EventLoopWaits.h"

#include <gtest/gtest.h>

#include <QScrollBar>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace velto::editor;

namespace {

/// Lines of 10 to 79 wide characters: their estimated heights are far from what they measure.
std::u16string wideLines(int lines) {
    std::u16string text;
    for (int k = 0; k < lines; ++k) {
        text += std::u16string(static_cast<std::size_t>(10 + k * 13 % 70), u'漢') + u"\n";
    }
    return text;
}

/// About `bytes` units of a long page: sections with a heading, prose, a task list and a fenced block.
std::u16string longPage(std::size_t bytes) {
    std::u16string text;
    for (int section = 0; text.size() < bytes; ++section) {
        const std::u16string n = QString::number(section).toStdU16String();
        text += u"## Section " + n + u"\n\nSome prose about item " + n +
                u" with a [link to it](https://example.com/items) and *emphasis* and more words to wrap.\n\n"
                u"- [ ] call `handler()` before `close()`\n- [x] check the log\n\n```python\ndef compute(values):\n"
                u"    return sum(values) * 2\n```\n\n";
    }
    return text;
}

/// A view whose idle measuring measures nothing: every height beyond what is shown stays estimated.
std::unique_ptr<VeltoTextView> viewOfEstimates(const std::u16string &text, int width, int height) {
    velto::testing::ensureWidgetApplication();
    auto view = std::make_unique<VeltoTextView>();
    view->setIdleMeasuringBudget(std::chrono::microseconds(0));
    view->resize(width, height);
    view->editingCore().loadText(text, MarkdownStyler::baseAttributes(MarkdownStyler::textColor()));
    view->show();
    view->viewport()->grab();
    QCoreApplication::processEvents();
    return view;
}

std::size_t measuredParagraphs(const LayoutCache &cache) {
    std::size_t measured = 0;
    for (std::size_t k = 0; k < cache.paragraphCount(); ++k) {
        measured += cache.isMeasured(k) ? 1 : 0;
    }
    return measured;
}

/// Where the text at a point of the viewport shows: its position and its caret's top in the viewport.
struct Shown {
    std::size_t position = 0;
    double top = 0;
};

Shown shownAt(VeltoTextView &view, QPointF point) {
    const std::size_t position = view.positionAtViewportPoint(point);
    return Shown{position, view.caretRectInViewport(position).top()};
}

} // namespace

TEST(TextViewEstimatesTests, OpeningALongPageLaysOutWhatTheScreenShowsNotThePage) {
    velto::testing::ensureWidgetApplication();
    const std::u16string page = longPage(5u * 1024 * 1024);
    auto view = std::make_unique<VeltoTextView>();
    view->resize(400, 300);
    view->editingCore().loadText(page, MarkdownStyler::baseAttributes(MarkdownStyler::textColor()));
    MarkdownStyler::apply(view->textStorage());
    view->show();
    view->viewport()->grab();
    LayoutCache &cache = view->layoutCache();
    ASSERT_GT(cache.paragraphCount(), 100000u);
    // A screen shown and a screen above and two below measured: lines are at least 10 pixels apart.
    const std::size_t screenLines = 300 / 10;
    EXPECT_LE(measuredParagraphs(cache), 4 * screenLines) << "after the first paint";

    // Measuring while idle stops at its budget of processor time, far from the page's end.
    view->setIdleMeasuringBudget(std::chrono::microseconds(20000));
    view->viewport()->update();
    ASSERT_TRUE(velto::testing::processEventsUntil([&] { return cache.laidOutUnits() > 0; }));
    for (int round = 0; round < 200; ++round) {
        QCoreApplication::processEvents();
    }
    EXPECT_LT(measuredParagraphs(cache), cache.paragraphCount() / 4);
}

TEST(TextViewEstimatesTests, ScrollingIntoEstimatedParagraphsMovesTheTextByTheScrollAlone) {
    auto view = viewOfEstimates(wideLines(600), 300, 200);
    QScrollBar *bar = view->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    view->viewport()->grab();
    struct Step {
        const char *name;
        int pixels; // how far the view scrolls down (up when negative)
    };
    const Step steps[] = {{"a wheel step up", -20},  {"a few pixels up", -3}, {"a page up", -180},
                          {"a wheel step down", 20}, {"a page down", 180},    {"another page up", -190}};
    for (const Step &step : steps) {
        const Shown before = shownAt(*view, QPointF(30, 100));
        bar->setValue(bar->value() + step.pixels);
        view->viewport()->grab();
        EXPECT_NEAR(view->caretRectInViewport(before.position).top(), before.top - step.pixels, 1.0) << step.name;
    }
    EXPECT_LT(measuredParagraphs(view->layoutCache()), view->layoutCache().paragraphCount())
        << "the test needs estimated paragraphs left";
}

TEST(TextViewEstimatesTests, TextOnScreenStaysWhenFarEstimatesBecomeExact) {
    auto view = viewOfEstimates(wideLines(600), 300, 200);
    QScrollBar *bar = view->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    view->viewport()->grab();
    const Shown before = shownAt(*view, QPointF(30, 60));
    const int valueBefore = bar->value();
    LayoutCache &cache = view->layoutCache();
    ASSERT_LT(measuredParagraphs(cache), cache.paragraphCount() / 2);

    view->usedHeightAfterFullLayout();
    view->viewport()->grab();
    EXPECT_EQ(measuredParagraphs(cache), cache.paragraphCount());
    EXPECT_NE(bar->value(), valueBefore) << "the estimates above the view were wrong: the scroll bar moves";
    EXPECT_NEAR(view->caretRectInViewport(before.position).top(), before.top, 0.5) << "the text does not";
}

TEST(TextViewEstimatesTests, AJumpShowsItsTargetWhereItPutItAfterThePaint) {
    const std::u16string text = wideLines(600);
    struct Jump {
        const char *name;
        double at; // of the text's length
    };
    for (const Jump jump : {Jump{"near the end", 0.9}, Jump{"in the middle", 0.5}, Jump{"back near the top", 0.1}}) {
        auto view = viewOfEstimates(text, 300, 200);
        const std::size_t target = static_cast<std::size_t>(jump.at * static_cast<double>(text.size()));
        view->setSelectedRange(TextRange{target, 0});
        view->scrollRangeToVisible(TextRange{target, 0});
        const QRectF placed = view->caretRectInViewport(target);
        view->viewport()->grab();
        const QRectF shown = view->caretRectInViewport(target);
        EXPECT_NEAR(shown.top(), placed.top(), 0.5) << jump.name;
        EXPECT_GE(shown.top(), 0) << jump.name;
        EXPECT_LE(shown.bottom(), view->viewport()->height()) << jump.name;
    }
}

TEST(TextViewEstimatesTests, AnAnchorBringsBackTheTextThatStoodAtTheTop) {
    const std::u16string text = wideLines(600);
    auto view = viewOfEstimates(text, 300, 200);
    view->scrollRangeToVisible(TextRange{text.size() * 2 / 3, 0});
    view->viewport()->grab();
    const Shown before = shownAt(*view, QPointF(30, 40));
    const ScrollAnchor anchor = view->scrollAnchor();
    // The page comes back after another was shown: its heights are estimated afresh.
    view->editingCore().loadText(text, MarkdownStyler::baseAttributes(MarkdownStyler::textColor()));
    view->scrollToAnchor(anchor);
    view->viewport()->grab();
    EXPECT_EQ(view->positionAtViewportPoint(QPointF(30, 40)), before.position);
    EXPECT_NEAR(view->caretRectInViewport(before.position).top(), before.top, 0.5);
}

TEST(TextViewEstimatesTests, EstimatesFollowWhatTheParagraphsNearTheViewMeasure) {
    // Wide characters take about twice the room the estimates give a character.
    auto view = viewOfEstimates(wideLines(2000), 300, 200);
    for (int round = 0; round < 20; ++round) {
        QCoreApplication::processEvents(); // the first slice while idle takes in what the paint measured
    }
    const double estimated = view->documentHeight();
    view->usedHeightAfterFullLayout();
    const double exact = view->documentHeight();
    EXPECT_NEAR(estimated / exact, 1.0, 0.15) << "estimated " << estimated << ", exact " << exact;
}

namespace {

/// A styler that left a page's styling for later, as a big page's restyle does: what a reader asks for it styles
/// at once with the region pass, a little way around, and it remembers which units it styled.
class StylingOnRequest final : public LeftForLaterStyler {
public:
    explicit StylingOnRequest(TextStorage &storage)
        : storage_(storage)
        , styled_(storage.length(), false) {
        MarkdownStyler::beginRestyleInRegions(storage_);
        storage_.setLeftForLaterStyler(this);
    }
    ~StylingOnRequest() { storage_.setLeftForLaterStyler(nullptr); }
    StylingOnRequest(const StylingOnRequest &) = delete;
    StylingOnRequest &operator=(const StylingOnRequest &) = delete;

    void styleBeforeReading(TextRange range) override {
        constexpr std::size_t around = 2'000;
        const std::size_t start = range.location - std::min(range.location, around);
        const TextRange near = rangeBetween(start, std::min(storage_.length(), range.end() + around));
        if (!styled(near)) {
            const TextRange region = MarkdownStyler::applyToRegion(storage_, near, std::nullopt, StyleSettings());
            std::fill_n(styled_.begin() + static_cast<std::ptrdiff_t>(region.location), region.length, true);
        }
    }
    bool styled(TextRange range) const {
        return std::all_of(styled_.begin() + static_cast<std::ptrdiff_t>(range.location),
                           styled_.begin() + static_cast<std::ptrdiff_t>(range.end()), [](bool unit) { return unit; });
    }
    std::size_t styledUnits() const {
        return static_cast<std::size_t>(std::count(styled_.begin(), styled_.end(), true));
    }

private:
    TextStorage &storage_;
    std::vector<bool> styled_;
};

} // namespace

TEST(TextViewEstimatesTests, TextLeftForLaterIsStyledBeforeItIsLaidOutMeasuredOrShown) {
    velto::testing::ensureWidgetApplication();
    const std::u16string page = longPage(1024 * 1024);
    auto view = std::make_unique<VeltoTextView>();
    view->setIdleMeasuringBudget(std::chrono::microseconds(20000));
    view->resize(400, 300);
    view->editingCore().loadText(page, MarkdownStyler::baseAttributes(MarkdownStyler::textColor()));
    StylingOnRequest styling(view->textStorage());
    view->show();
    LayoutCache &cache = view->layoutCache();
    const auto everyMeasuredParagraphIsStyled = [&] {
        for (std::size_t k = 0; k < cache.paragraphCount(); ++k) {
            if (cache.isMeasured(k) && !styling.styled(cache.index().paragraphRange(k))) {
                return false;
            }
        }
        return true;
    };
    struct Step {
        const char *what;
        std::function<void()> act;
    };
    const std::vector<Step> steps{
        {"the top shown", [] {}},
        {"the end", [&] { view->pinToBottom(); }},
        {"a jump to the middle",
         [&] {
             view->scrollRangeToVisible({page.size() / 2, 0});
         }},
        {"the scroll bar dragged",
         [&] { view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 4); }},
        {"an anchor near the end",
         [&] {
             view->scrollToAnchor(ScrollAnchor{page.size() * 3 / 4, 0});
         }},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        view->viewport()->grab();
        const TextRange shown = view->visibleCharacterRange(view->visibleRect());
        EXPECT_TRUE(styling.styled(shown));
        EXPECT_TRUE(everyMeasuredParagraphIsStyled());
    }
    for (int round = 0; round < 200; ++round) {
        QCoreApplication::processEvents(); // measuring while idle, up to its budget
    }
    EXPECT_TRUE(everyMeasuredParagraphIsStyled());
    EXPECT_LT(styling.styledUnits(), page.size() / 2) << "what nobody reads waits";
}
