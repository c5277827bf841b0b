#include "TextViewTestSupport.h"

#include "editor/text/EditorSettings.h"
#include "editor_view/layout/LayoutCache.h"
#include "editor_view/layout/LayoutFormats.h"
#include "editor_view/layout/ParagraphLayout.h"

#include <gtest/gtest.h>

#include <random>

using namespace velto::editor;

namespace {

const Attributes &plain() {
    static const Attributes attributes = MarkdownStyler::baseAttributes(MarkdownStyler::textColor());
    return attributes;
}

ParagraphStyle styleWith(const std::function<void(ParagraphStyle &)> &change) {
    ParagraphStyle style = MarkdownStyler::baseParagraphStyle();
    change(style);
    return style;
}

/// Lays out everything and answers the total height.
double fullyMeasuredHeight(LayoutCache &cache) {
    double ignored = 0;
    while (cache.measureSome(std::chrono::steady_clock::time_point::max(), 0, &ignored)) {
    }
    return cache.documentHeight();
}

} // namespace

TEST(LayoutCacheTests, LineEndsNeverSplitAnUnbreakableSpan) {
    const std::vector<UnbreakableSpan> spans{{10, 20}, {30, 35}};
    struct Case {
        std::size_t lineStart;
        std::size_t proposedEnd;
        std::size_t end;
    };
    const std::vector<Case> cases = {
        {0, 15, 10},  // inside the first span: the line ends before it
        {0, 10, 10},  // at its start: fine
        {0, 20, 20},  // at its end: fine
        {12, 15, 15}, // the line starts inside the span: nothing better to do
        {10, 15, 15}, // the span starts the line and still does not fit: it breaks
        {0, 33, 30},  {0, 40, 40},
    };
    for (const Case &entry : cases) {
        EXPECT_EQ(lineEndKeepingSpansWhole(entry.lineStart, entry.proposedEnd, spans), entry.end)
            << entry.lineStart << ".." << entry.proposedEnd;
    }
}

TEST(LayoutCacheTests, ShortInlineCodeMovesToTheNextLineWholeAndALongOneBreaks) {
    velto::testing::ensureWidgetApplication();
    LayoutFormats formats;
    std::u16string text = u"words words words words words `short code span` tail";
    TextStorage storage(text, plain());
    const Color background = MarkdownStyler::codeBackgroundColor();
    storage.addAttribute(AttributeKey::veltoInlineCode, background, TextRange{30, 17});
    // A width at which the plain line would break inside the span.
    const ParagraphLayout wide(storage, TextRange{0, text.size()}, plain(), {}, 10000, formats);
    const double spanMiddle = wide.caretX(38);
    const ParagraphLayout narrow(storage, TextRange{0, text.size()}, plain(), {}, spanMiddle, formats);
    ASSERT_GE(narrow.lines().size(), 2u);
    EXPECT_EQ(narrow.lines()[1].start, 30u) << "the span starts the second line";

    // A span wider than the line may break inside.
    std::u16string longSpan = u"`";
    for (int k = 0; k < 30; ++k) {
        longSpan += u"ab cd ";
    }
    longSpan += u"`";
    TextStorage longStorage(u"x " + longSpan, plain());
    longStorage.addAttribute(AttributeKey::veltoInlineCode, background, TextRange{2, longSpan.size()});
    const ParagraphLayout broken(longStorage, TextRange{0, longStorage.length()}, plain(), {}, spanMiddle, formats);
    EXPECT_EQ(unbreakableInlineCode(longStorage, TextRange{0, longStorage.length()}, spanMiddle, formats).size(), 0u);
    EXPECT_GT(broken.lines()[0].length, 2u) << "the first line keeps the span's first part";
}

TEST(LayoutCacheTests, ParagraphStyleGivesSpacingIndentsAndMinimumLineHeight) {
    velto::testing::ensureWidgetApplication();
    LayoutFormats formats;
    const std::u16string text(300, u'w');
    TextStorage storage(text, plain());
    const ParagraphStyle style = styleWith([](ParagraphStyle &s) {
        s.paragraphSpacingBefore = 7;
        s.paragraphSpacing = 11;
        s.firstLineHeadIndent = 12;
        s.headIndent = 30;
        s.tailIndent = -12;
        s.lineSpacing = 3;
        s.minimumLineHeight = 40;
        s.lineBreakMode = LineBreakMode::byCharWrapping;
    });
    const Attributes attributes = plain().with(AttributeKey::paragraphStyle, style);
    storage.setAttributes(attributes, TextRange{0, text.size()});
    const ParagraphLayout layout(storage, TextRange{0, text.size()}, attributes, {}, 300, formats);
    ASSERT_GE(layout.lines().size(), 3u);
    EXPECT_EQ(layout.lines()[0].top, 7);
    EXPECT_EQ(layout.lines()[0].height, 40);
    EXPECT_EQ(layout.lines()[1].top, 7 + 40 + 3);
    EXPECT_EQ(layout.textLayout().lineAt(0).x(), 12);
    EXPECT_EQ(layout.textLayout().lineAt(1).x(), 30);
    EXPECT_LE(layout.textLayout().lineAt(1).x() + layout.textLayout().lineAt(1).naturalTextWidth(), 300 - 12 + 0.5);
    EXPECT_EQ(layout.height(), 7 + static_cast<double>(layout.lines().size()) * 43 + 11);
    // A piece that neither starts nor ends its paragraph carries neither spacing.
    const ParagraphLayout middle(storage, TextRange{0, text.size()}, attributes, SegmentPlace{false, false}, 300,
                                 formats);
    EXPECT_EQ(middle.lines()[0].top, 0);
    EXPECT_EQ(middle.textLayout().lineAt(0).x(), 30);
}

TEST(LayoutCacheTests, HeightsFollowEditsAsIfLaidOutAfresh) {
    velto::testing::ensureWidgetApplication();
    LayoutFormats formats;
    TextStorage storage(u"first paragraph\nsecond one, a little longer than the first\n\nlast", plain());
    LayoutCache cache(storage, formats);
    cache.setWidth(180);
    std::mt19937 random(3);
    const std::u16string pieces[] = {u"a", u"word ", u"\n", u"\r\n", u"\u2029", u"longer words that wrap "};
    for (int step = 0; step < 120; ++step) {
        const std::size_t location = random() % (storage.length() + 1);
        const std::size_t removed = std::min<std::size_t>(random() % 6, storage.length() - location);
        storage.replaceCharacters(TextRange{location, removed}, pieces[random() % std::size(pieces)], plain());
        if (step % 7 == 0) {
            cache.piecesBetween(0, 200); // some paragraphs laid out in between
        }
        double above = 0; // every top is the sum of the heights above it, whatever the edit kept
        for (std::size_t paragraph = 0; paragraph < cache.paragraphCount(); ++paragraph) {
            ASSERT_DOUBLE_EQ(cache.paragraphTop(paragraph), above) << "step " << step << " paragraph " << paragraph;
            above += cache.paragraphHeight(paragraph);
        }
        LayoutCache fresh(storage, formats);
        fresh.setWidth(180);
        ASSERT_EQ(cache.paragraphCount(), fresh.paragraphCount());
        ASSERT_DOUBLE_EQ(fullyMeasuredHeight(cache), fullyMeasuredHeight(fresh)) << "step " << step;
    }
}

TEST(LayoutCacheTests, LongParagraphIsLaidOutInPiecesAndAnEditLaysOutOnlyItsPiece) {
    velto::testing::ensureWidgetApplication();
    LayoutFormats formats;
    std::u16string text;
    while (text.size() < LayoutCache::segmentThreshold - 100) {
        text += u"some words in one very long paragraph ";
    }
    {
        TextStorage whole(text, plain());
        LayoutCache wholeCache(whole, formats);
        wholeCache.setWidth(400);
        EXPECT_EQ(wholeCache.pieces(0).size(), 1u) << "a paragraph up to the threshold is laid out whole";
    }
    while (text.size() < LayoutCache::segmentThreshold + 4 * LayoutCache::segmentLength) {
        text += u"some words in one very long paragraph ";
    }
    TextStorage storage(text, plain());
    LayoutCache cache(storage, formats);
    cache.setWidth(400);
    const std::vector<LayoutCache::Piece> pieces = cache.pieces(0);
    ASSERT_GE(pieces.size(), 4u);
    for (std::size_t k = 1; k < pieces.size(); ++k) {
        // Pieces end after a space, where a line may break anyway.
        EXPECT_EQ(storage.substring(TextRange{pieces[k].start - 1, 1}), u" ");
        EXPECT_LE(pieces[k].start - pieces[k - 1].start, 2 * LayoutCache::segmentLength);
    }
    const std::size_t unitsBefore = cache.laidOutUnits();
    const ParagraphLayout *lastLayout = pieces.back().layout;
    storage.replaceCharacters(TextRange{pieces[1].start + 5, 0}, u"typed", plain());
    EXPECT_EQ(cache.laidOutUnits(), unitsBefore - (pieces[2].start - pieces[1].start));
    const std::vector<LayoutCache::Piece> after = cache.pieces(0);
    EXPECT_EQ(after.back().layout, lastLayout) << "pieces the edit did not touch keep their layouts";
    EXPECT_EQ(after.back().start, pieces.back().start + 5);
    EXPECT_EQ(cache.positionAt(QPointF(0, after[2].top + 1)), after[2].start);
}

TEST(LayoutCacheTests, LaidOutTextStaysWithinTheBudget) {
    velto::testing::ensureWidgetApplication();
    LayoutFormats formats;
    std::u16string text;
    while (text.size() < 3 * LayoutCache::unitBudget) {
        text += u"a paragraph of some length that wraps now and then at narrow widths\n";
    }
    TextStorage storage(text, plain());
    LayoutCache cache(storage, formats);
    cache.setWidth(300);
    for (double y = 0; y < cache.documentHeight(); y += 500) {
        cache.beginPass();
        cache.piecesBetween(y, y + 500);
        ASSERT_LE(cache.laidOutUnits(), LayoutCache::unitBudget + 4096);
    }
}

TEST(LayoutCacheTests, MeasuringAboveTheAnchorReportsHowMuchItGrew) {
    velto::testing::ensureWidgetApplication();
    LayoutFormats formats;
    std::u16string text;
    for (int k = 0; k < 50; ++k) {
        text += std::u16string(static_cast<std::size_t>(5 + k * 7 % 120), u'x') + u"\n";
    }
    TextStorage storage(text, plain());
    LayoutCache cache(storage, formats);
    cache.setWidth(200);
    std::vector<double> estimates;
    for (std::size_t k = 0; k < 20; ++k) {
        estimates.push_back(cache.paragraphHeight(k));
    }
    double change = 0;
    EXPECT_FALSE(cache.measureSome(std::chrono::steady_clock::time_point::max(), 20, &change));
    double expected = 0;
    for (std::size_t k = 0; k < 20; ++k) {
        expected += cache.paragraphHeight(k) - estimates[k];
    }
    EXPECT_DOUBLE_EQ(change, expected);
    EXPECT_TRUE(cache.isMeasured(49));
}

TEST(LayoutCacheTests, FormatsForgetOldAttributeSetsInsteadOfGrowingForever) {
    velto::testing::ensureWidgetApplication();
    LayoutFormats formats;
    {
        // Each highlighting pass stamps its generation into the sets, so every pass makes new ones.
        const Attributes first = plain().with(AttributeKey::veltoCodeSyntaxGeneration, std::uint64_t{0});
        const QColor colour = formats.characterFormat(first).foreground().color();
        EXPECT_EQ(colour, colorFor(MarkdownStyler::textColor(), Appearance::aqua));
    }
    for (std::uint64_t generation = 1; generation < 10000; ++generation) {
        formats.characterFormat(plain().with(AttributeKey::veltoCodeSyntaxGeneration, generation));
    }
    EXPECT_LE(formats.rememberedCount(), 4096u);
}

namespace {

/// A page of `paragraphs` short paragraphs, each with a link of its own (so each brings attribute sets
/// of its own), and inline code in the last one only.
TextStorage pageOfLinks(std::size_t paragraphs) {
    const std::u16string line = u"see the link here, then some words\n";
    std::u16string text;
    for (std::size_t k = 0; k < paragraphs; ++k) {
        text += line;
    }
    TextStorage storage(text, plain());
    for (std::size_t k = 0; k < paragraphs; ++k) {
        storage.addAttribute(AttributeKey::link, "https://example.com/" + std::to_string(k),
                             TextRange{k * line.size() + 4, 8});
    }
    storage.addAttribute(AttributeKey::veltoInlineCode, MarkdownStyler::codeBackgroundColor(),
                         TextRange{(paragraphs - 1) * line.size() + 18, 5});
    return storage;
}

} // namespace

TEST(LayoutCacheTests, MeasuringAParagraphReadsOnlyItsOwnRuns) {
    velto::testing::ensureWidgetApplication();
    LayoutFormats formats;
    // The same paragraph on pages of very different sizes: its layout reads the same few runs.
    std::vector<std::size_t> firstParagraphReads;
    for (const std::size_t paragraphs : {20u, 5000u}) {
        const TextStorage storage = pageOfLinks(paragraphs);
        const TextRange first{0, 34};
        const std::size_t ownRuns = storage.attributeRuns(first).size();
        const std::size_t before = storage.runsRead();
        const ParagraphLayout layout(storage, first, plain(), {}, 400, formats);
        firstParagraphReads.push_back(storage.runsRead() - before);
        EXPECT_LE(firstParagraphReads.back(), 4 * ownRuns) << paragraphs << " paragraphs";

        // Measuring the whole page reads each run a few times, however many paragraphs there are.
        const std::size_t allRuns = storage.attributeRuns(TextRange{0, storage.length()}).size();
        LayoutCache cache(storage, formats);
        cache.setWidth(400);
        const std::size_t beforeAll = storage.runsRead();
        fullyMeasuredHeight(cache);
        EXPECT_LE(storage.runsRead() - beforeAll, 4 * allRuns + 4 * paragraphs) << paragraphs << " paragraphs";
    }
    EXPECT_EQ(firstParagraphReads[0], firstParagraphReads[1]);
}

TEST(LayoutCacheTests, MeasuringAfterEditsReachesEveryParagraphTheyTouched) {
    velto::testing::ensureWidgetApplication();
    LayoutFormats formats;
    std::u16string text;
    for (int k = 0; k < 60; ++k) {
        text += u"paragraph " + std::u16string(static_cast<std::size_t>(k % 9 * 7), u'w') + u"\n";
    }
    TextStorage storage(text, plain());
    LayoutCache cache(storage, formats);
    cache.setWidth(150);
    fullyMeasuredHeight(cache);
    const Attributes bold =
        plain().with(AttributeKey::font, FontDescriptor{FontFamilyRole::system, 15, FontWeight::bold, false, false});
    const auto expectMeasuredAsFresh = [&](const std::string &after) {
        fullyMeasuredHeight(cache);
        LayoutCache fresh(storage, formats);
        fresh.setWidth(150);
        fullyMeasuredHeight(fresh);
        ASSERT_EQ(cache.paragraphCount(), fresh.paragraphCount()) << after;
        for (std::size_t paragraph = 0; paragraph < cache.paragraphCount(); ++paragraph) {
            ASSERT_TRUE(cache.isMeasured(paragraph)) << after << ", paragraph " << paragraph;
            ASSERT_DOUBLE_EQ(cache.paragraphHeight(paragraph), fresh.paragraphHeight(paragraph))
                << after << ", paragraph " << paragraph;
        }
    };

    // One change to a fully measured page, far from its top: measuring finds the paragraphs it touched.
    const std::size_t middle = storage.length() / 2;
    storage.setAttributes(bold, TextRange{middle, 60});
    expectMeasuredAsFresh("bold words in the middle");
    storage.replaceCharacters(TextRange{middle, 0}, u"words that wrap at this width ", plain());
    expectMeasuredAsFresh("words typed in the middle");
    storage.replaceCharacters(TextRange{middle, 0}, u"\nnew\nparagraphs\n", plain());
    expectMeasuredAsFresh("paragraphs added in the middle");
    storage.replaceCharacters(TextRange{middle - 100, 200}, u"", plain());
    expectMeasuredAsFresh("paragraphs joined in the middle");

    // Edits and attribute passes between slices of idle measuring that leave paragraphs for the next.
    std::mt19937 random(11);
    const std::u16string pieces[] = {u"a", u"\n", u"two\nlines ", u"words that wrap at this width "};
    for (int step = 0; step < 200; ++step) {
        const std::size_t location = random() % (storage.length() + 1);
        const std::size_t reach = std::min<std::size_t>(random() % 40, storage.length() - location);
        if (random() % 3 == 0) {
            storage.setAttributes(random() % 2 == 0 ? bold : plain(), TextRange{location, reach});
        } else {
            storage.replaceCharacters(TextRange{location, reach % 8}, pieces[random() % std::size(pieces)], plain());
        }
        double ignored = 0;
        cache.measureSome(std::chrono::steady_clock::time_point::min(), 0, &ignored);
    }
    expectMeasuredAsFresh("random edits");
}

TEST(LayoutCacheTests, EveryParagraphCostsTheCacheAFewWordsLaidOutOrNot) {
    velto::testing::ensureWidgetApplication();
    LayoutFormats formats;
    std::u16string text;
    for (int k = 0; k < 20000; ++k) {
        text += u"paragraph " + std::u16string(static_cast<std::size_t>(k % 13 * 5), u'w') + u"\n";
    }
    TextStorage storage(text, plain());
    LayoutCache cache(storage, formats);
    // A height in 32 bits, a bit and a share of a top kept for every 64 paragraphs: a plain paragraph (one piece,
    // no layout kept, the common case) must not cost a heap block, nor a slot among the pieces, nor more words.
    constexpr std::size_t boundPerParagraph = 6;
    const struct {
        const char *state;
        std::function<void()> reach;
    } states[] = {
        {"as loaded", [] {}},
        {"fully measured", [&] { fullyMeasuredHeight(cache); }},
        {"shown from the top", [&] { cache.piecesBetween(0, 2000); }},
        {"typed into and restyled",
         [&] {
             storage.replaceCharacters(TextRange{storage.length() / 2, 0}, u"typed words", plain());
             storage.setAttributes(plain(), TextRange{0, storage.length() / 3});
             fullyMeasuredHeight(cache);
         }},
    };
    // Tops kept for some paragraphs only are still the running sum of the heights, to the bit.
    const auto expectTopsAreTheRunningSum = [&cache](const std::string &state) {
        double top = 0;
        for (std::size_t paragraph = 0; paragraph < cache.paragraphCount(); ++paragraph) {
            ASSERT_EQ(cache.paragraphTop(paragraph), top) << state << ", paragraph " << paragraph;
            ASSERT_EQ(cache.paragraphAt(top + cache.paragraphHeight(paragraph) / 2), paragraph) << state;
            top += cache.paragraphHeight(paragraph);
        }
        EXPECT_EQ(cache.documentHeight(), top) << state;
        EXPECT_EQ(cache.paragraphAt(top + 100), cache.paragraphCount() - 1) << state;
    };
    cache.setWidth(300);
    for (const auto &state : states) {
        state.reach();
        EXPECT_LE(cache.bookkeepingBytes(), boundPerParagraph * cache.paragraphCount() + 64) << state.state;
        expectTopsAreTheRunningSum(state.state);
    }
    storage.replaceCharacters(TextRange{storage.length() / 3, 0}, u"new\nparagraphs\nhere\n", plain());
    expectTopsAreTheRunningSum("paragraphs added");
    fullyMeasuredHeight(cache);
    storage.replaceCharacters(TextRange{storage.length() / 4, 3000}, u"", plain());
    expectTopsAreTheRunningSum("paragraphs joined and measured");
}

TEST(LayoutCacheTests, SetsThatLookAlikeShareOneFormatWhateverElseTheyCarry) {
    velto::testing::ensureWidgetApplication();
    LayoutFormats formats;
    const Attributes bold =
        plain().with(AttributeKey::font, FontDescriptor{FontFamilyRole::system, 15, FontWeight::bold, false, false});
    const Attributes blue = plain().with(AttributeKey::foregroundColor, Color::sRGB(0, 0, 1));
    const struct {
        const char *name;
        Attributes looks;
        QFont::Weight weight;
        bool underline;
        QColor colour;
    } cases[] = {
        {"plain", plain(), QFont::Normal, false, colorFor(MarkdownStyler::textColor(), Appearance::aqua)},
        {"bold", bold, QFont::Bold, false, colorFor(MarkdownStyler::textColor(), Appearance::aqua)},
        {"blue underlined", blue.with(AttributeKey::underlineStyle, std::int64_t{1}), QFont::Normal, true,
         QColor::fromRgbF(0, 0, 1)},
    };
    // A page's links differ only in their address, and code tokens in their kind and generation: each set
    // of a kind must come out as the same format, and the formats kept stay as few as the looks.
    for (const auto &look : cases) {
        for (int k = 0; k < 500; ++k) {
            const Attributes set = look.looks.with(AttributeKey::link, "https://example.com/" + std::to_string(k))
                                       .with(AttributeKey::veltoCodeSyntaxGeneration, std::uint64_t(k));
            const QTextCharFormat format = formats.characterFormat(set);
            ASSERT_EQ(format.font().weight(), look.weight) << look.name;
            ASSERT_EQ(format.font().underline(), look.underline) << look.name;
            ASSERT_EQ(format.foreground().color(), look.colour) << look.name;
        }
    }
    EXPECT_EQ(formats.rememberedCount(), 1500u);
    EXPECT_EQ(formats.distinctFormatCount(), std::size(cases));
}
