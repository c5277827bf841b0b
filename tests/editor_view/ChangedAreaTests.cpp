#include "TextViewTestSupport.h"

#include "editor/editing/ParagraphIndex.h"
#include "editor_view/layout/LayoutCache.h"
#include "editor_view/layout/LayoutFormats.h"
#include "editor_view/view/ChangedArea.h"

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>

#include <QEvent>

#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace velto::editor;

namespace {

const Attributes &plain() {
    static const Attributes attributes = MarkdownStyler::baseAttributes(MarkdownStyler::textColor());
    return attributes;
}

/// Hands the storage's finished groups to the area, after the layout cache, as the text view does.
class AreaFeed : private TextStorageObserver {
public:
    AreaFeed(TextStorage &storage, ChangedArea &area)
        : area_(area)
        , subscription_(storage.subscribe(*this)) {}

private:
    void editingGroupDidFinish(const EditingSummary &summary) override { area_.editingGroupDidFinish(summary); }
    ChangedArea &area_;
    Subscription subscription_;
};

/// Ten short paragraphs at a width where "line k" takes one line and a long one wraps.
std::u16string tenParagraphs() {
    std::u16string text;
    for (int k = 0; k < 10; ++k) {
        text += u"line " + std::u16string(1, static_cast<char16_t>(u'0' + k)) + u"\n";
    }
    return text;
}

} // namespace

TEST(ChangedAreaTests, AKeyRepaintsItsParagraphAndTheSelectionsMovesNotTheView) {
    velto::testing::ensureWidgetApplication();
    const std::u16string longWords(60, u'w');
    struct Case {
        const char *name;
        std::function<void(TextStorage &)> edit;
        TextRange selectionAfter;
        /// The paragraphs the repaint must cover, and whether it reaches the view's bottom; none: the whole view.
        std::optional<std::pair<std::size_t, std::size_t>> paragraphs;
        bool toBottom = false;
    };
    const std::vector<Case> cases = {
        {"a typed character",
         [](TextStorage &s) {
             s.replaceCharacters(TextRange{23, 0}, u"x", plain());
         },
         {24, 0},
         std::pair<std::size_t, std::size_t>{3, 3}},
        {"text that wraps onto a new line",
         [&](TextStorage &s) {
             s.replaceCharacters(TextRange{23, 0}, longWords + u" " + longWords, plain());
         },
         {23, 0},
         std::pair<std::size_t, std::size_t>{3, 3},
         true},
        {"the caret moving across paragraphs",
         [](TextStorage &) {},
         {56, 0},
         std::pair<std::size_t, std::size_t>{3, 8}},
        {"attributes of one paragraph",
         [](TextStorage &s) {
             s.addAttribute(AttributeKey::underlineStyle, std::int64_t{1}, TextRange{21, 3});
         },
         {23, 0},
         std::pair<std::size_t, std::size_t>{3, 3}},
        {"a new paragraph",
         [](TextStorage &s) {
             s.replaceCharacters(TextRange{23, 0}, u"\n", plain());
         },
         {24, 0},
         std::nullopt},
        {"an edit over two paragraphs",
         [](TextStorage &s) {
             s.replaceCharacters(TextRange{23, 6}, u"ab", plain());
         },
         {25, 0},
         std::nullopt},
        {"an edit above the view",
         [&](TextStorage &s) {
             s.replaceCharacters(TextRange{0, 0}, longWords + u" " + longWords, plain());
         },
         {23, 0},
         std::nullopt},
    };
    for (const Case &entry : cases) {
        TextStorage storage(tenParagraphs(), plain());
        LayoutFormats formats;
        LayoutCache cache(storage, formats);
        cache.setWidth(200);
        ChangedArea area(cache);
        AreaFeed feed(storage, area);
        cache.piecesBetween(0, 1000); // painted
        const double lineHeight = cache.paragraphHeight(0);
        // The view shows paragraphs 1 to 9, the caret in paragraph 3 ("line 3" starts at 21).
        const VerticalStretch view{cache.paragraphTop(1), cache.paragraphTop(9) + cache.paragraphHeight(9)};
        area.wholeViewPainted(TextRange{23, 0});
        entry.edit(storage);
        area.selectionDidChange();
        const std::optional<VerticalStretch> changed = area.take(entry.selectionAfter, view);
        EXPECT_FALSE(area.isPending()) << entry.name;
        if (!entry.paragraphs) {
            EXPECT_FALSE(changed.has_value()) << entry.name;
            continue;
        }
        ASSERT_TRUE(changed.has_value()) << entry.name;
        const auto [first, last] = *entry.paragraphs;
        EXPECT_LE(changed->top, cache.paragraphTop(first)) << entry.name;
        EXPECT_GE(changed->bottom, std::min(view.bottom, cache.paragraphTop(last) + cache.paragraphHeight(last)))
            << entry.name;
        if (entry.toBottom) {
            EXPECT_EQ(changed->bottom, view.bottom) << entry.name << ": the text below moved";
        } else {
            EXPECT_LT(changed->bottom - changed->top, (last - first + 2) * lineHeight + 2 * ChangedArea::margin)
                << entry.name << ": no more than the paragraphs";
        }
    }
}

TEST(ChangedAreaTests, KeysAndSelectionMovesLeaveNoStalePixels) {
    velto::testing::ensureWidgetApplication();
    std::u16string text;
    for (int k = 0; k < 30; ++k) {
        text += u"Paragraph " + QString::number(k).toStdU16String() + u" with `code` and **strong** words.\n\n";
    }
    const velto::testing::SteadyCaret steadyCaret;
    auto view = velto::testing::makeTextView(text, 320, 400);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    view->activateWindow();
    view->setFocus();
    const auto shownMatchesAFullPaint = [&view](const std::string &step) {
        velto::testing::expectShownMatchesAFullPaint(*view, step);
    };
    shownMatchesAFullPaint("opened");
    // A selection in the second paragraph, then the typing in the fourth that wraps onto more lines.
    view->setSelectedRange(TextRange{text.find(u"with"), 4});
    shownMatchesAFullPaint("a word selected");
    const std::size_t fourth = text.find(u"Paragraph 3") + 9;
    view->setSelectedRange(TextRange{fourth, 0});
    shownMatchesAFullPaint("the selection moved across paragraphs");
    for (const char *typed : {"more words to wrap the paragraph ", "onto another line and another one"}) {
        view->insertTypedText(view->selectedRange(), QString::fromUtf8(typed).toStdU16String());
        shownMatchesAFullPaint(typed);
    }
    // Lines removed again, a character at a time, as Backspace does.
    for (int k = 0; k < 40; ++k) {
        const TextRange caret = view->selectedRange();
        view->replaceText(TextRange{caret.location - 1, 1}, u"", TextRange{caret.location - 1, 0});
    }
    shownMatchesAFullPaint("lines removed");
    view->perform(TextViewCommand::moveToDocumentEnd);
    shownMatchesAFullPaint("the caret at the end");
}

namespace {

/// Paragraphs "paragraph k" at a width where each takes one line.
std::u16string numberedParagraphs(int count) {
    std::u16string text;
    for (int k = 0; k < count; ++k) {
        text += u"paragraph " + QString::number(k).toStdU16String() + u"\n";
    }
    return text;
}

/// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget &widget) { widget.installEventFilter(this); }
    int count() const { return count_; }

private:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint) {
            ++count_;
        }
        return false;
    }
    int count_ = 0;
};

/// Gives the paragraphs from `first` to `last` a bigger font in one editing group, as a styling pass does.
void enlarge(TextStorage &storage, std::size_t first, std::size_t last) {
    ParagraphIndex index;
    index.rebuild(storage);
    const TextRange range = rangeBetween(index.paragraphStart(first), index.paragraphRange(last).end());
    storage.addAttribute(AttributeKey::font, FontDescriptor{FontFamilyRole::system, 24, FontWeight::bold}, range);
}

} // namespace

TEST(ChangedAreaTests, NewAttributesOutOfTheViewRepaintNothingAndInItTheWholeView) {
    velto::testing::ensureWidgetApplication();
    struct Case {
        const char *name;
        /// The paragraphs given new attributes, each pair one editing group; the view shows 10 to 19.
        std::vector<std::pair<std::size_t, std::size_t>> groups;
        bool caretMoves = false;
        /// Whether the whole view is painted again; otherwise nothing is, apart from the caret's paragraphs.
        bool wholeView = false;
    };
    const std::vector<Case> cases = {
        {"paragraphs above the view", {{2, 6}}},
        {"one paragraph above the view", {{4, 4}}},
        {"paragraphs below the view", {{24, 28}}},
        {"two passes above the view", {{0, 3}, {5, 7}}},
        {"paragraphs above the view while the caret moves", {{2, 6}}, true},
        {"the paragraph touching the view's top", {{9, 9}}, false, true},
        {"paragraphs across the view's top", {{6, 11}}, false, true},
        {"paragraphs across the view's bottom", {{18, 22}}, false, true},
        {"paragraphs in the view", {{12, 14}}, false, true},
    };
    for (const Case &entry : cases) {
        TextStorage storage(numberedParagraphs(30), plain());
        LayoutFormats formats;
        LayoutCache cache(storage, formats);
        cache.setWidth(300);
        ChangedArea area(cache);
        AreaFeed feed(storage, area);
        cache.piecesBetween(0, 10000); // every paragraph laid out, as after the idle measuring
        const VerticalStretch view{cache.paragraphTop(10), cache.paragraphTop(20)};
        const std::size_t caret = cache.index().paragraphStart(12);
        area.wholeViewPainted(TextRange{caret, 0});
        std::vector<double> shownTops;
        for (std::size_t paragraph = 10; paragraph < 20; ++paragraph) {
            shownTops.push_back(cache.paragraphTop(paragraph));
        }
        for (const auto &[first, last] : entry.groups) {
            enlarge(storage, first, last);
        }
        const TextRange selection{entry.caretMoves ? cache.index().paragraphStart(15) : caret, 0};
        if (entry.caretMoves) {
            area.selectionDidChange();
        }
        ASSERT_TRUE(area.isPending()) << entry.name;
        const std::optional<VerticalStretch> changed = area.take(selection, view);
        EXPECT_FALSE(area.isPending()) << entry.name;
        for (std::size_t paragraph = 10; paragraph < 20; ++paragraph) {
            EXPECT_EQ(cache.paragraphTop(paragraph), shownTops[paragraph - 10])
                << entry.name << ": paragraph " << paragraph << " moved before it was painted";
        }
        if (entry.wholeView) {
            EXPECT_FALSE(changed.has_value()) << entry.name;
            continue;
        }
        ASSERT_TRUE(changed.has_value()) << entry.name;
        if (!entry.caretMoves) {
            EXPECT_LE(changed->bottom, changed->top) << entry.name << ": nothing shown changed";
            continue;
        }
        // Where the caret was and is, nothing more.
        EXPECT_LE(changed->top, cache.paragraphTop(12)) << entry.name;
        EXPECT_GE(changed->bottom, cache.paragraphTop(16)) << entry.name;
        EXPECT_GT(changed->top, view.top) << entry.name;
        EXPECT_LT(changed->bottom, view.bottom) << entry.name;
    }
}

TEST(ChangedAreaTests, ATextViewKeepsWhatItShowsUnpaintedWhileTextAboveItIsRestyled) {
    // A big page is styled in slices while it is shown, the view at its end: each slice, wholly above the view,
    // leaves the window's pixels as they are, and the text shown stays where it was even after the paragraphs
    // given bigger fonts are measured again.
    const velto::testing::SteadyCaret steadyCaret;
    auto view = velto::testing::makeTextView(numberedParagraphs(200), 320, 300, false);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    view->setSelectedRange(TextRange{view->textStorage().length(), 0});
    view->scrollRangeToVisible(view->selectedRange());
    const auto settle = [] {
        for (int round = 0; round < 20; ++round) {
            QCoreApplication::processEvents();
        }
    };
    settle();
    ParagraphIndex index;
    index.rebuild(view->textStorage());
    const std::size_t shown = view->positionAtViewportPoint(QPointF(10, 150));
    const QRectF shownCaret = view->caretRectInViewport(shown, CaretAffinity::downstream);
    ASSERT_GT(index.paragraphContaining(shown), 100u);

    PaintCounter painted(*view->viewport());
    const int scrolledBefore = view->verticalScrollBar()->value();
    enlarge(view->textStorage(), 20, 60);
    settle();
    EXPECT_GT(view->verticalScrollBar()->value(), scrolledBefore) << "the bigger paragraphs were not measured again";
    EXPECT_EQ(painted.count(), 0) << "restyled above the view, the text area was painted again";
    EXPECT_EQ(view->caretRectInViewport(shown, CaretAffinity::downstream), shownCaret) << "the text shown moved";
    EXPECT_EQ(view->positionAtViewportPoint(QPointF(10, 150)), shown);

    enlarge(view->textStorage(), index.paragraphContaining(shown) - 1, index.paragraphContaining(shown) + 1);
    settle();
    EXPECT_GT(painted.count(), 0) << "restyled in the view, the text area was not painted again";
}
