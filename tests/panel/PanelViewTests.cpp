#include "PanelTestSupport.h"

#include "editor_view/view/VeltoTextView.h"
#include "panel/view/TextSearch.h"
#include "panel/view/VeltoPanelView.h"
#include "preferences/PreferenceChoices.h"

#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QApplication>
#include <gtest/gtest.h>

namespace velto {
namespace {

using editor::TextRange;
using namespace std::chrono_literals;

std::u16string lines(int count) {
    std::u16string text;
    for (int line = 0; line < count; ++line) {
        text += u"A line of the page\n";
    }
    return text;
}

class PanelViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::resetDesktop();
        view.show();
        QApplication::processEvents();
    }

    void load(std::u16string_view text) {
        view.textView()->editingCore().loadText(text);
        view.updateEmptyPageHint();
        QApplication::processEvents();
    }

    /// The gradients as "top shown/hidden, bottom shown/hidden" once their fades are over.
    std::string gradients() {
        scheduler.advance(200ms);
        auto state = [](const ScrollGradientView *gradient) { return gradient->isVisible() ? "shown" : "hidden"; };
        return std::string("top ") + state(view.topScrollIndicator()) + ", bottom " +
               state(view.bottomScrollIndicator());
    }

    testing::ManualScheduler scheduler;
    VeltoPanelView view{QSize(500, 325), editor::TextViewCommandHost::unconfigured(), {}, scheduler};
};

TEST_F(PanelViewTest, EmptyPageFitsTo500By325WhateverThePanelsSize) {
    view.resize(720, 480);
    EXPECT_EQ(view.sizeThatFitsContent(), QSizeF(500, 325));
}

TEST_F(PanelViewTest, OnePageLineKeepsTheWidthAndFitsItsHeight) {
    load(u"One line");
    QSizeF fitted = view.sizeThatFitsContent();
    double used = view.textView()->usedHeightAfterFullLayout();
    double chrome = view.height() - view.textView()->viewport()->height();
    EXPECT_EQ(fitted.width(), 500);
    EXPECT_EQ(fitted.height(), std::ceil(used + 40 + chrome));
    EXPECT_GT(used, 5);
}

// A page of more lines than the tallest panel has pixels fits in no panel: it gets the tallest without being
// laid out to the end, which would take seconds on a big page. Measuring while idle goes one line a slice
// here, or a fast build measures the whole page in the first slice, before the panel is fitted.
TEST_F(PanelViewTest, APageTallerThanAnyPanelFitsToTheTallestWithoutBeingLaidOutWhole) {
    const int lineCount = 3'000;
    view.textView()->setIdleLayoutSlice(0us);
    load(lines(lineCount));
    EXPECT_GT(view.sizeThatFitsContent().height(), PanelSizing::maximum.height());
    EXPECT_FALSE(view.textView()->layoutCache().isMeasured(lineCount - 1));
}

TEST_F(PanelViewTest, GradientsShowWhereTextLiesBeyondTheVisiblePart) {
    load(u"Short");
    view.updateScrollIndicators();
    EXPECT_EQ(gradients(), "top hidden, bottom hidden");

    load(lines(200));
    view.updateScrollIndicators();
    EXPECT_EQ(gradients(), "top hidden, bottom shown");

    view.pinEditorToBottom();
    EXPECT_EQ(gradients(), "top shown, bottom hidden");
}

TEST_F(PanelViewTest, UnchangedScrollStateLeavesTheGradientsAlone) {
    load(lines(200));
    view.updateScrollIndicators();
    scheduler.advance(200ms);
    view.updateScrollIndicators();
    view.updateScrollIndicators();
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "no fade was started again";
}

TEST_F(PanelViewTest, EmptyPageHintOnlyOnAnEditableEmptyPage) {
    load(u"");
    EXPECT_TRUE(view.emptyPageHint()->isVisible());
    view.textView()->setEditable(false);
    view.updateEmptyPageHint();
    EXPECT_FALSE(view.emptyPageHint()->isVisible());
    view.textView()->setEditable(true);
    load(u"x");
    EXPECT_FALSE(view.emptyPageHint()->isVisible());
}

TEST_F(PanelViewTest, IncreasedContrastThickensTheEditorBorder) {
    editor::VeltoTheme theme =
        editor::VeltoTheme::resolve(editor::AppearanceChoice::light, editor::Appearance::aqua, false);
    view.applyAppearance(theme);
    EXPECT_EQ(view.editorBorderView()->borderWidth(), 1);
    testing::testDisplayOptions().set({.increaseContrast = true});
    view.applyAppearance(theme);
    EXPECT_EQ(view.editorBorderView()->borderWidth(), 2);
    testing::resetDesktop();
}

TEST_F(PanelViewTest, DoubleClickOnTheHandleAsksToFitThePanel) {
    QPointF corner = view.resizeHandle()->mapToGlobal(QPointF(11, 11));
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(11, 11), corner, Qt::LeftButton, Qt::LeftButton,
                            Qt::NoModifier);
    QApplication::sendEvent(view.resizeHandle(), &doubleClick); // nobody listens: nothing happens
    std::vector<VeltoCommandID> asked;
    QObject::connect(&view, &VeltoPanelView::commandRequested, [&asked](VeltoCommandID id) { asked.push_back(id); });
    QApplication::sendEvent(view.resizeHandle(), &doubleClick);
    EXPECT_EQ(asked, std::vector{VeltoCommandID::fitPanelToContent});
}

TEST_F(PanelViewTest, DecorationsLetClicksReachTheText) {
    for (QWidget *overlay : std::initializer_list<QWidget *>{view.topScrollIndicator(), view.bottomScrollIndicator(),
                                                             view.editorBorderView(), view.emptyPageHint()}) {
        EXPECT_TRUE(overlay->testAttribute(Qt::WA_TransparentForMouseEvents));
    }
    EXPECT_EQ(view.textView()->geometry(), QRect(6, 6, 488, 313));
    EXPECT_EQ(view.resizeHandle()->geometry(), QRect(478, 303, 22, 22));
}

void sendKey(QWidget *widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString &text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(widget, &press);
}

TEST_F(PanelViewTest, FindBarSearchesAsTheReaderTypesAndStepsThroughMatches) {
    load(u"alpha beta Alpha gamma ALPHA");
    view.showFindBar();
    FindBar &bar = *view.findBar();
    ASSERT_TRUE(bar.isOpen());
    bar.field()->setText("alpha");
    emit bar.field()->textEdited("alpha");
    EXPECT_EQ(bar.statusLabel()->text(), "1 of 3");
    EXPECT_EQ(view.textView()->selectedRange(), (TextRange{0, 5}));

    sendKey(bar.field(), Qt::Key_Return);
    EXPECT_EQ(view.textView()->selectedRange(), (TextRange{11, 5}));
    sendKey(bar.field(), Qt::Key_Return, Qt::ShiftModifier);
    sendKey(bar.field(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(bar.statusLabel()->text(), "3 of 3") << "stepping back wraps around";

    for (Qt::KeyboardModifiers held : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier, Qt::MetaModifier}) {
        sendKey(&bar, Qt::Key_Escape, held);
        EXPECT_TRUE(bar.isOpen()) << "only Escape alone closes the find bar, not with " << held.toInt();
    }
    sendKey(&bar, Qt::Key_Escape);
    EXPECT_FALSE(bar.isOpen());
    EXPECT_EQ(view.textView()->selectedRange(), (TextRange{23, 5})) << "the last match stays selected";
}

TEST_F(PanelViewTest, WhileTheFindBarIsOpenTheMatchSelectedBehindItIsTheFoundGold) {
    load(u"alpha beta");
    const QColor windowSelection = view.textView()->palette().color(QPalette::Inactive, QPalette::Highlight);
    view.showFindBar();
    FindBar &bar = *view.findBar();
    EXPECT_EQ(view.textView()->palette().color(QPalette::Inactive, QPalette::Highlight),
              findMarkColors(VeltoAppearance::shared().current()).foundSelection);
    EXPECT_EQ(view.textView()->palette().color(QPalette::Active, QPalette::Highlight),
              view.palette().color(QPalette::Active, QPalette::Highlight))
        << "typing in the text shows the usual selection";
    sendKey(&bar, Qt::Key_Escape);
    EXPECT_EQ(view.textView()->palette().color(QPalette::Inactive, QPalette::Highlight), windowSelection);
}

TEST_F(PanelViewTest, TheFindBarNeverHidesTheMatchOrTheTextBelowIt) {
    std::u16string text = u"needle on the first line\n";
    for (int line = 0; line < 200; ++line) {
        text += u"a line of the page\n";
    }
    load(text + u"needle at the end");
    QWidget *viewport = view.textView()->viewport();
    const int textTop = viewport->mapTo(&view, QPoint(0, 0)).y();
    view.showFindBar();
    FindBar &bar = *view.findBar();
    bar.field()->setText("needle");
    emit bar.field()->textEdited("needle");
    sendKey(bar.field(), Qt::Key_Return);
    sendKey(bar.field(), Qt::Key_Return); // wraps around to the first line, scrolled back to the top

    ASSERT_EQ(view.textView()->selectedRange(), (TextRange{0, 6}));
    EXPECT_GT(viewport->mapTo(&view, QPoint(0, 0)).y(), bar.geometry().bottom());
    EXPECT_GE(view.textView()->caretRectInViewport(0).top(), 0);
    sendKey(&bar, Qt::Key_Escape);
    EXPECT_EQ(viewport->mapTo(&view, QPoint(0, 0)).y(), textTop) << "a closed bar gives its room back";
}

TEST(TextSearch, FindsEveryOccurrenceIgnoringCase) {
    struct Case {
        std::u16string text;
        const char *query;
        std::vector<TextRange> matches;
    };
    const Case cases[] = {
        {u"alpha beta Alpha", "alpha", {{0, 5}, {11, 5}}},
        {u"aaaa", "aa", {{0, 2}, {2, 2}}},
        {u"Grüße GRÜSSE", "grüße", {{0, 5}}},
        {u"text", "", {}},
        {u"", "x", {}},
        {u"line\r\nline", "line", {{0, 4}, {6, 4}}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(findMatches(c.text, QString::fromUtf8(c.query)), c.matches) << c.query;
        TextSearch folded;
        folded.search(c.text, QString::fromUtf8(c.query), 0, 7);
        EXPECT_EQ(folded.matches(), c.matches) << "through the folded copy: " << c.query;
    }
}

TEST(TextSearch, AFoldedCopyServesOnlyTheTextVersionItWasMadeFor) {
    TextSearch search;
    search.search(u"Alpha beta", "alpha", 0, 1);
    EXPECT_EQ(search.matches().size(), 1u);
    search.search(u"Alpha beta", "beta", 0, 1);
    EXPECT_EQ(search.matches(), (std::vector<TextRange>{{6, 4}}));
    search.search(u"beta Alpha", "beta", 0, 2);
    EXPECT_EQ(search.matches(), (std::vector<TextRange>{{0, 4}})) << "an edited text is folded again";
    search.forgetFoldedText();
    EXPECT_LT(search.foldedCopyCapacity(), 8u) << "the copy's memory is freed";
    EXPECT_EQ(search.matches(), (std::vector<TextRange>{{0, 4}})) << "a closed bar keeps its matches";
    search.search(u"beta Alpha", "alpha", 0, 2);
    EXPECT_EQ(search.matches(), (std::vector<TextRange>{{5, 5}})) << "and folds the text again when searched";
    EXPECT_EQ(foldedText(u"GRÜSSE Σ"), u"grüsse σ");
}

TEST(TextSearch, IncrementalSearchStartsAtTheReadersPlace) {
    TextSearch search;
    search.search(u"one two one two one", "one", 5);
    EXPECT_EQ(search.currentMatch(), (TextRange{8, 3}));
    EXPECT_EQ(search.status(), "2 of 3");
    search.search(u"one two one two one", "one", 17);
    EXPECT_EQ(search.currentMatch(), (TextRange{0, 3})) << "past the last match it wraps to the first";
    search.search(u"one", "zzz", 0);
    EXPECT_EQ(search.status(), "No matches");
    EXPECT_EQ(search.step(false), std::nullopt);
}

} // namespace
} // namespace velto
