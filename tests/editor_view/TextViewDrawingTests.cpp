#include "TextViewTestSupport.h"

#include "editor_view/layout/LayoutFormats.h"
#include "editor_view/view/TextViewPainter.h"

#include <gtest/gtest.h>

#include <QPainter>

using namespace velto::editor;
using velto::testing::grabViewport;
using velto::testing::makeTextView;
using velto::testing::pixelIs;

namespace {

QColor codeBackground() {
    return colorFor(MarkdownStyler::codeBackgroundColor(), Appearance::aqua);
}

/// The viewport rectangle of the line showing a position.
QRectF lineInViewport(VeltoTextView &view, std::size_t position) {
    return view.layoutCache().lineRectFor(position).translated(view.textContainerInset().width(),
                                                               view.textContainerInset().height());
}

} // namespace

TEST(TextViewDrawingTests, SelectionTouchingARuleShowsItsSource) {
    struct Case {
        TextRange paragraph;
        std::size_t textLength;
        std::optional<char16_t> lastUnit;
        std::vector<TextRange> selections;
        bool touches;
    };
    const std::vector<Case> cases = {
        {{4, 4}, 12, u'\n', {{5, 0}}, true},         // caret inside
        {{4, 4}, 12, u'\n', {{8, 0}}, false},        // caret after the line break
        {{4, 4}, 12, u'\n', {{0, 4}}, false},        // selection ends where the paragraph starts
        {{4, 4}, 12, u'\n', {{0, 5}}, true},         // and one unit further
        {{4, 3}, 7, u'-', {{7, 0}}, true},           // caret at the text's end after a rule without break
        {{4, 4}, 8, u'\n', {{8, 0}}, false},         // the same rule ending in a line break
        {{4, 0}, 4, std::nullopt, {{4, 0}}, true},   // an empty last paragraph
        {{4, 4}, 12, u'\n', {{0, 0}, {6, 1}}, true}, // any selected range counts
    };
    for (const Case &entry : cases) {
        EXPECT_EQ(selectionIntersectsParagraph(entry.paragraph, entry.textLength, entry.lastUnit, entry.selections),
                  entry.touches)
            << entry.paragraph << " with first selection " << entry.selections.front();
    }
}

TEST(TextViewDrawingTests, ShapesKeepTheirDistancesFromTheInsetAndTheLines) {
    EXPECT_EQ(codeBlockRect(10, 40, QSizeF(22, 20), 400), QRectF(24, 25, 352, 40));
    EXPECT_EQ(codeBlockRect(10, 40, QSizeF(22, 20), 40), QRectF(24, 25, 0, 40)); // narrower than the insets
    EXPECT_EQ(inlineCodePieceRect(QRectF(10, 10, 20, 18)), QRectF(7, 11, 26, 16));
}

// A highlighted block is many runs of the block's key (one per token); its background is still one
// rectangle, with no gap between lines where the runs change.
TEST(TextViewDrawingTests, CodeBlockIsOneBackgroundAcrossTokenRunsAndLines) {
    auto view = makeTextView(u"Intro\n\n```js\nlet a = 1;\nlet b = 2;\nlet c = 3;\n```\n\nAfter\n");
    TextStorage &storage = view->textStorage();
    // Split the block's runs the way token colours do.
    storage.addAttribute(AttributeKey::veltoCodeSyntaxToken, std::string("keyword"), TextRange{13, 3});
    storage.addAttribute(AttributeKey::veltoCodeSyntaxToken, std::string("number"), TextRange{32, 1});
    QCoreApplication::processEvents();
    const QImage image = grabViewport(*view);
    const QRectF firstLine = lineInViewport(*view, 13);
    const QRectF lastLine = lineInViewport(*view, 46);
    const QColor background = codeBackground();
    // Between the lines, right of the text, and just above the first line and below the last.
    for (double y = firstLine.top() - 3; y < lastLine.bottom() + 3; y += 1) {
        ASSERT_TRUE(pixelIs(image, QPoint(350, static_cast<int>(y)), background)) << "at y " << y;
    }
    // The opening fence line is part of the block too, the intro is not.
    EXPECT_FALSE(pixelIs(image, QPoint(350, static_cast<int>(lineInViewport(*view, 0).center().y())), background));
    // Corners are rounded: the very corner pixel stays the editor background.
    const QRectF block =
        codeBlockRect(view->layoutCache().lineRectFor(7).top(), view->layoutCache().lineRectFor(50).bottom(),
                      view->textContainerInset(), view->viewport()->width());
    EXPECT_FALSE(pixelIs(image, block.topLeft().toPoint(), background));
    EXPECT_TRUE(pixelIs(image, (block.topLeft() + QPointF(8, 8)).toPoint(), background));
}

TEST(TextViewDrawingTests, CodeBlockScrolledPartlyOutOfViewIsStillDrawnFromItsFirstLine) {
    std::u16string text = u"```\n";
    for (int k = 0; k < 40; ++k) {
        text += u"line of code\n";
    }
    text += u"```\n";
    auto view = makeTextView(text, 400, 200);
    view->scrollToPoint(QPointF(0, 150));
    QCoreApplication::processEvents();
    const QImage image = grabViewport(*view);
    EXPECT_TRUE(pixelIs(image, QPoint(350, 2), codeBackground()));
    EXPECT_TRUE(pixelIs(image, QPoint(350, 190), codeBackground()));
}

TEST(TextViewDrawingTests, InlineCodeThatWrapsShowsOnePiecePerLine) {
    // A span wider than the line may break; each line piece gets its own rounded background.
    const std::u16string words = u"`alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu`";
    auto view = makeTextView(u"x " + words + u"\n", 300, 300);
    const QRectF first = lineInViewport(*view, 3);
    const QRectF second = lineInViewport(*view, words.size());
    ASSERT_LT(first.bottom(), second.top() + 1) << "the span should wrap";
    const QImage image = grabViewport(*view);
    const QColor background = codeBackground();
    // The background's left end sits 3 before the span's first glyph on each line.
    const double spanLeft = view->layoutCache().caretRect(2).x() + view->textContainerInset().width();
    EXPECT_TRUE(
        pixelIs(image, QPoint(static_cast<int>(spanLeft - 1), static_cast<int>(first.center().y())), background, 24));
    const double secondLeft = view->textContainerInset().width();
    EXPECT_TRUE(pixelIs(image, QPoint(static_cast<int>(secondLeft - 1), static_cast<int>(second.center().y())),
                        background, 24));
    // Between the two lines' pieces the editor background shows (1 shorter at top and bottom).
    EXPECT_FALSE(pixelIs(image, QPoint(static_cast<int>(secondLeft - 2), static_cast<int>(first.bottom() + 0.5)),
                         background, 4));
}

TEST(TextViewDrawingTests, RuleShowsALineUntilTheCaretEntersItsParagraph) {
    auto view = makeTextView(u"above\n\n---\n\nbelow");
    view->setFocus();
    view->setSelectedRange(TextRange{0, 0});
    QCoreApplication::processEvents();
    const QRectF rule = lineInViewport(*view, 7);
    const int middle = static_cast<int>(rule.center().y());
    const QColor ruleColor = colorFor(Color::system(SystemColorRole::secondaryLabel), Appearance::aqua);
    const QColor white(Qt::white);
    QImage image = grabViewport(*view);
    // The line runs from 2 inside the left inset to 2 inside the right one.
    EXPECT_FALSE(pixelIs(image, QPoint(200, middle), white, 20));
    EXPECT_TRUE(pixelIs(image, QPoint(22, middle), white, 2));
    EXPECT_TRUE(pixelIs(image, QPoint(view->viewport()->width() - 22, middle), white, 2));

    view->setSelectedRange(TextRange{8, 0});
    QCoreApplication::processEvents();
    image = grabViewport(*view);
    // Now the source shows instead: no line across the middle of the editor.
    EXPECT_TRUE(pixelIs(image, QPoint(200, middle), white, 2));
    bool sourceDrawn = false;
    for (int x = 22; x < 60 && !sourceDrawn; ++x) {
        for (int y = static_cast<int>(rule.top()); y < rule.bottom() && !sourceDrawn; ++y) {
            sourceDrawn = !pixelIs(image, QPoint(x, y), white, 40);
        }
    }
    EXPECT_TRUE(sourceDrawn);
    (void)ruleColor;
}

TEST(TextViewDrawingTests, RuleColourOfTheThemeOverridesTheAttributeAndContrastThickensTheLine) {
    auto view = makeTextView(u"a\n\n***\n\nb");
    view->setHorizontalRuleColor(Color::sRGB(1, 0, 0));
    view->setSelectedRange(TextRange{0, 0});
    QCoreApplication::processEvents();
    const int middle = static_cast<int>(lineInViewport(*view, 5).center().y());
    auto redRows = [&] {
        const QImage image = grabViewport(*view);
        int rows = 0;
        for (int y = middle - 3; y <= middle + 3; ++y) {
            rows += image.pixelColor(200, y).red() > 200 && image.pixelColor(200, y).green() < 200 ? 1 : 0;
        }
        return rows;
    };
    const int thin = redRows();
    EXPECT_GE(thin, 1);
    view->setIncreaseContrast(true);
    QCoreApplication::processEvents();
    EXPECT_GE(redRows(), thin);
}

TEST(TextViewDrawingTests, VisibleCharacterRangeCoversWholeLinesOfTheRectangle) {
    std::u16string text;
    for (int k = 0; k < 200; ++k) {
        text += u"paragraph number " + std::u16string(1, static_cast<char16_t>(u'a' + k % 26)) + u"\n";
    }
    auto view = makeTextView(text, 400, 200, false);
    const TextRange top = view->visibleCharacterRange(QRectF(0, 0, 400, 200));
    EXPECT_EQ(top.location, 0u);
    EXPECT_GT(top.length, 0u);
    EXPECT_LT(top.length, text.size() / 4);
    EXPECT_EQ(top.end() % 19, 0u) << "ends at a paragraph's end";
    view->scrollToPoint(QPointF(0, 1000));
    const TextRange later = view->visibleCharacterRange(view->visibleRect());
    EXPECT_GT(later.location, top.end());
    EXPECT_EQ(later.location % 19, 0u);
}

TEST(TextViewDrawingTests, DarkAppearanceDrawsTheDarkComponentsOfTheNamedColours) {
    auto view = makeTextView(u"```\ncode\n```\n");
    view->setAppearance(Appearance::darkAqua);
    view->setBackgroundColor(Color::sRGB(0.098, 0.106, 0.125));
    QCoreApplication::processEvents();
    const QImage image = grabViewport(*view);
    const int middle = static_cast<int>(lineInViewport(*view, 4).center().y());
    EXPECT_TRUE(
        pixelIs(image, QPoint(350, middle), colorFor(MarkdownStyler::codeBackgroundColor(), Appearance::darkAqua)));
    EXPECT_TRUE(pixelIs(image, QPoint(5, 5), QColor::fromRgbF(0.098f, 0.106f, 0.125f)));
}
