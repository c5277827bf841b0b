#include "TextViewTestSupport.h"

#include "editor/MarkdownSamples.h"
#include "editor/editing/ParagraphIndex.h"
#include "editor_view/layout/LayoutFormats.h"
#include "editor_view/layout/MeasuredHeights.h"
#include "editor_view/layout/ParagraphLayout.h"

#include <gtest/gtest.h>

#include <string>

using namespace velto::editor;

namespace {

const Attributes &plain() {
    static const Attributes attributes = MarkdownStyler::baseAttributes(MarkdownStyler::textColor());
    return attributes;
}

Attributes withFont(const Attributes &attributes, FontDescriptor font) {
    return attributes.with(AttributeKey::font, font);
}

Attributes withStyle(const Attributes &attributes, void (*change)(ParagraphStyle &)) {
    ParagraphStyle style = MarkdownStyler::baseParagraphStyle();
    change(style);
    return attributes.with(AttributeKey::paragraphStyle, style);
}

/// A one-paragraph text: its characters in plain attributes, then `styled` over [start, start + length).
struct Paragraph {
    std::u16string text;
    Attributes styled = plain();
    std::size_t start = 0;
    std::size_t length = 0;
    SegmentPlace place{};
    double width = 400;

    double laidOutHeight(LayoutFormats &formats) const { return heightIn(nullptr, formats); }
    double measuredHeight(MeasuredHeights &heights, LayoutFormats &formats) const {
        return heightIn(&heights, formats);
    }
    double heightIn(MeasuredHeights *heights, LayoutFormats &formats) const {
        TextStorage storage(text, plain());
        if (length > 0) {
            storage.setAttributes(styled, TextRange{start, length});
        }
        const Attributes first = text.empty() ? plain() : storage.attributes(0);
        const TextRange all{0, text.size()};
        return heights != nullptr ? heights->height(storage, all, first, place, width, formats)
                                  : ParagraphLayout(storage, all, first, place, width, formats).height();
    }
};

/// The page the big-pages benchmark opens: sections of a heading, prose with links, task items and code.
std::u16string sectionsPage(int sections) {
    std::string page;
    for (int n = 0; n < sections; ++n) {
        const std::string k = std::to_string(n);
        page +=
            "## Section " + k + "\n\nSome prose about item " + k + " with a [link to it](https://example.com/items/" +
            k + ") and *emphasis*, **strong words** and a bare address https://example.org/" + k +
            ".\n\n- [ ] call `handler_" + k + "()` before `close(" + k + ")`\n- [x] check `value_" + k + " == " + k +
            "` in the log\n- [ ] read [the notes](https://notes.example.com/" + k + ")\n\n```python\ndef compute_" + k +
            "(values):\n    total = 0\n    for value in values:\n" + "        if value > " + k +
            ":\n            total += value * 2  # doubled\n" + "    return f\"total {total}\"\n```\n\n";
    }
    return std::u16string(page.begin(), page.end());
}

} // namespace

TEST(MeasuredHeightsTests, EveryParagraphOfStyledPagesMeasuresAsItsOwnLayout) {
    velto::testing::ensureWidgetApplication();
    LayoutFormats formats;
    for (const std::u16string &text : {sectionsPage(300), samples::generatedMarkdown(60000)}) {
        TextStorage storage(text, plain());
        MarkdownStyler::apply(storage);
        const ParagraphIndex index(storage);
        for (const double width : {610.0, 260.0}) {
            MeasuredHeights heights;
            for (std::size_t paragraph = 0; paragraph < index.paragraphCount(); ++paragraph) {
                const TextRange range = index.paragraphRange(paragraph);
                const TextRange contents = paragraphContents(storage, range);
                const Attributes attributes = range.length > 0 ? storage.attributes(range.location) : plain();
                const double laidOut = ParagraphLayout(storage, contents, attributes, {}, width, formats).height();
                ASSERT_EQ(heights.height(storage, contents, attributes, {}, width, formats), laidOut)
                    << "width " << width << ", paragraph " << paragraph << ": "
                    << std::string(text.begin() + static_cast<std::ptrdiff_t>(contents.location),
                                   text.begin() + static_cast<std::ptrdiff_t>(contents.end()));
            }
            // Both ways of finding a height took part, or the comparison proved nothing.
            EXPECT_GT(heights.found(), index.paragraphCount() / 3) << "width " << width;
            EXPECT_GT(heights.foundOneLine(), index.paragraphCount() / 20) << "width " << width;
        }
    }
}

TEST(MeasuredHeightsTests, EveryInputOfTheLayoutTellsHeightsApart) {
    velto::testing::ensureWidgetApplication();
    LayoutFormats formats;
    // Each row's paragraph differs from its base in one thing the layout reads, which changes its height: the
    // height remembered for the base must not be found for it.
    const std::u16string words = u"some words that wrap at a narrow width, some more words";
    const FontDescriptor large{FontFamilyRole::system, 24, FontWeight::regular, false, false};
    const Paragraph base{words, plain(), 0, 0, {}, 200};
    const Attributes code = plain().with(AttributeKey::veltoInlineCode, MarkdownStyler::codeBackgroundColor());
    // Inline code that a line would break inside at this width, and that fits on a line of its own: moved
    // whole to the second line, it takes a third when the words after it fill the second.
    std::u16string codeText;
    double spanMiddle = 0;
    for (std::u16string tail = u" tail"; tail.size() < 200; tail += u" tail") {
        codeText = u"words words words words words `short code span`" + tail;
        const TextStorage codeStorage(codeText, plain());
        spanMiddle =
            ParagraphLayout(codeStorage, TextRange{0, codeText.size()}, plain(), {}, 10000, formats).caretX(38);
        if (Paragraph{codeText, plain(), 0, 0, {}, spanMiddle}.laidOutHeight(formats) !=
            Paragraph{codeText, code, 30, 17, {}, spanMiddle}.laidOutHeight(formats)) {
            break;
        }
    }
    struct Case {
        const char *name;
        Paragraph base;
        Paragraph changed;
    };
    const std::vector<Case> cases = {
        {"the text", base, {words + u" and a few more words to wrap", plain(), 0, 0, {}, 200}},
        {"the width", base, {words, plain(), 0, 0, {}, 120}},
        {"a run's font", base, {words, withFont(plain(), large), 5, 5, {}, 200}},
        {"a run's length",
         {words, withFont(plain(), large), 5, 5, {}, 200},
         {words, withFont(plain(), large), 5, 40, {}, 200}},
        {"the letter spacing", base, {words, plain().with(AttributeKey::kern, 4.0), 0, words.size(), {}, 200}},
        {"inline code kept whole", {codeText, plain(), 0, 0, {}, spanMiddle}, {codeText, code, 30, 17, {}, spanMiddle}},
        {"the paragraph's spacing",
         base,
         {words, withStyle(plain(), [](ParagraphStyle &s) { s.paragraphSpacing = 9; }), 0, 1, {}, 200}},
        {"the minimum line height",
         base,
         {words, withStyle(plain(), [](ParagraphStyle &s) { s.minimumLineHeight = 40; }), 0, 1, {}, 200}},
        {"the indents", base, {words, withStyle(plain(), [](ParagraphStyle &s) { s.headIndent = 90; }), 0, 1, {}, 200}},
        {"the place in the paragraph", base, {words, plain(), 0, 0, {true, false}, 200}},
    };
    for (const Case &row : cases) {
        MeasuredHeights heights;
        const double baseHeight = row.base.measuredHeight(heights, formats);
        const double expected = row.changed.laidOutHeight(formats);
        ASSERT_NE(expected, baseHeight) << row.name << ": the row should change the height";
        EXPECT_EQ(row.changed.measuredHeight(heights, formats), expected) << row.name;
        EXPECT_EQ(heights.found(), 0u) << row.name;
    }
}

TEST(MeasuredHeightsTests, OneLineRuleAppliesOnlyToTextThatSurelyFits) {
    velto::testing::ensureWidgetApplication();
    // The first paragraph of each row is measured, then the second: whether the second's height is taken
    // from the first by the one-line rule, and in every case the height its own layout gives.
    const FontDescriptor large{FontFamilyRole::system, 22, FontWeight::bold, false, false};
    const FontDescriptor mono{FontFamilyRole::monospacedSystem, 13, FontWeight::regular, false, false};
    struct Case {
        const char *name;
        Paragraph first;
        Paragraph second;
        bool byTheRule;
    };
    const std::vector<Case> cases = {
        {"short plain text", {u"abc"}, {u"a longer line of plain words"}, true},
        {"the same runs in other words",
         {u"call handler_1() now", withFont(plain(), mono), 5, 11},
         {u"call compute_42() now", withFont(plain(), mono), 5, 12},
         true},
        {"a tall run",
         {u"## Title 1", withFont(plain(), large), 3, 7},
         {u"## Title 203", withFont(plain(), large), 3, 9},
         true},
        {"other runs", {u"## Title 1", withFont(plain(), large), 3, 7}, {u"## Title 203"}, false},
        {"too long for one line", {u"short"}, {std::u16string(60, u'w') + u" " + std::u16string(60, u'w')}, false},
        {"wider than the line in a narrow width",
         {u"ab", plain(), 0, 0, {}, 60},
         {u"words words words", plain(), 0, 0, {}, 60},
         false},
        {"a character outside ASCII", {u"abc"}, {u"caf\u00e9 au lait"}, false},
        {"a character of another face", {u"abc"}, {u"tea \u6f22\u5b57"}, false},
        {"a tab", {u"abc"}, {u"a\tb"}, false},
        {"an empty paragraph", {u"abc"}, {u""}, false},
        {"a letter-spaced run",
         {u"x", plain().with(AttributeKey::kern, 1.5), 0, 1},
         {u"spaced out", plain().with(AttributeKey::kern, 1.5), 0, 10},
         true},
    };
    LayoutFormats formats;
    for (const Case &row : cases) {
        MeasuredHeights heights;
        EXPECT_EQ(row.first.measuredHeight(heights, formats), row.first.laidOutHeight(formats)) << row.name;
        EXPECT_EQ(row.second.measuredHeight(heights, formats), row.second.laidOutHeight(formats)) << row.name;
        EXPECT_EQ(heights.foundOneLine(), row.byTheRule ? 1u : 0u) << row.name;
    }
}

TEST(MeasuredHeightsTests, ForgetsEverythingOnceFull) {
    velto::testing::ensureWidgetApplication();
    LayoutFormats formats;
    MeasuredHeights heights;
    for (std::size_t k = 0; k < MeasuredHeights::capacity + 10; ++k) {
        const std::u16string text = u"line " + std::u16string(k / 64 + 1, u'x') + std::u16string(k % 64, u'y');
        Paragraph{text}.measuredHeight(heights, formats);
        ASSERT_LE(heights.size(), MeasuredHeights::capacity);
    }
    EXPECT_EQ(Paragraph{u"after forgetting"}.measuredHeight(heights, formats),
              Paragraph{u"after forgetting"}.laidOutHeight(formats));
}
