#include "editor/editing/ParagraphIndex.h"
#include "editor/text/TextStorage.h"
#include "editor/text/UnitsHeld.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velto::editor;

namespace {

/// Texts whose units and separators a storage must find wherever its chunks were cut.
std::vector<std::pair<std::string, std::u16string>> sampleTexts() {
    std::u16string prose;
    for (int paragraph = 0; prose.size() < 9000; ++paragraph) {
        prose += u"Paragraph " + std::u16string(paragraph % 7 + 1, u'x') + u" with words.\n\n";
    }
    std::u16string separators;
    for (int k = 0; separators.size() < 6000; ++k) {
        separators += u"line\r";
        separators += u"then\r\n";
        separators += k % 3 == 0 ? u"one\u2028two\u2029" : u"\u0085next\n";
    }
    std::u16string surrogates;
    for (int k = 0; surrogates.size() < 5000; ++k) {
        surrogates += k % 5 == 0 ? u"\U0001F600\U0001D11E" : u"a\u00E9\u4E2D";
    }
    std::u16string everyUnit;
    for (char32_t unit = 1; unit < 0x10000; ++unit) {
        everyUnit += unit >= 0xD800 && unit <= 0xDFFF ? u'.' : static_cast<char16_t>(unit);
    }
    return {{"empty", u""},
            {"short", u"a\nb"},
            {"prose", prose},
            {"separators", separators},
            {"surrogates", surrogates},
            {"every unit", everyUnit},
            {"one huge line", std::u16string(300'000, u'q') + u"\u2028end"}};
}

/// The text cut into pieces, each added at the end as typing or pasting would.
TextStorage builtPiecewise(const std::u16string &text, std::size_t piece) {
    TextStorage storage;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = std::min(start + piece, text.size());
        if (end < text.size() && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) {
            ++end; // a pair goes in whole, as the editor never splits one
        }
        storage.replaceCharacters(TextRange{storage.length(), 0}, std::u16string_view(text).substr(start, end - start));
        start = end;
    }
    return storage;
}

/// Every pieces() view is whole, none starts with the second half of a pair the text holds whole, and together
/// they are the text; every separator and surrogate half is found where the text has it, from anywhere around it.
void expectPiecesAndSearchesRight(const TextStorage &storage, const std::u16string &text, const std::string &name) {
    std::u16string joined;
    for (const std::u16string_view piece : storage.pieces()) {
        ASSERT_FALSE(piece.empty()) << name;
        const bool cutsAPair = !joined.empty() && joined.back() >= 0xD800 && joined.back() <= 0xDBFF &&
                               piece.front() >= 0xDC00 && piece.front() <= 0xDFFF;
        ASSERT_FALSE(cutsAPair) << name << ": a pair cut in two";
        joined += piece;
    }
    EXPECT_EQ(joined, text) << name;
    for (const char16_t unit : {u'\n', u'\r', u'\u2028', u'\u2029', u'\u0085', u'\xD83D', u'\xDE00', u'q'}) {
        for (std::size_t from = 0; from < text.size(); from += text.size() / 50 + 1) {
            const std::size_t expected = text.find(unit, from);
            ASSERT_EQ(storage.findForward(unit, from), expected == std::u16string::npos ? text.size() : expected)
                << name << " unit " << static_cast<unsigned>(unit) << " from " << from;
            const std::size_t before = text.size() - from;
            const std::size_t last = before == 0 ? std::u16string::npos : text.rfind(unit, before - 1);
            ASSERT_EQ(storage.findBackward(unit, before), last == std::u16string::npos ? TextRange::notFound : last)
                << name << " unit " << static_cast<unsigned>(unit) << " before " << before;
        }
    }
}

} // namespace

TEST(TextStorageBuildTests, WhatAStretchMayHoldIsTheSameGatheredWholeOrUnitByUnit) {
    for (const auto &[name, text] : sampleTexts()) {
        UnitsHeld whole(text);
        UnitsHeld byUnit;
        for (const char16_t unit : text) {
            byUnit.add(unit);
        }
        for (char32_t unit = 0; unit < 0x10000; ++unit) {
            ASSERT_EQ(whole.mayHold(static_cast<char16_t>(unit)), byUnit.mayHold(static_cast<char16_t>(unit)))
                << name << " unit " << static_cast<unsigned>(unit);
        }
    }
}

TEST(TextStorageBuildTests, ALoadedTextGivesTheStorageAPiecewiseBuildGives) {
    const Attributes none;
    for (const auto &[name, text] : sampleTexts()) {
        TextStorage loaded;
        loaded.replaceCharacters(TextRange{0, 0}, text, none); // as a page is loaded
        const TextStorage made(text);
        const TextStorage piecewise = builtPiecewise(text, 700);
        for (const TextStorage *storage : std::vector<const TextStorage *>{&loaded, &made}) {
            ASSERT_EQ(storage->string(), piecewise.string()) << name;
            EXPECT_EQ(storage->attributeRuns(TextRange{0, storage->length()}),
                      piecewise.attributeRuns(TextRange{0, piecewise.length()}))
                << name;
            expectPiecesAndSearchesRight(*storage, text, name);
            const ParagraphIndex paragraphs(*storage);
            const ParagraphIndex expected(piecewise);
            ASSERT_EQ(paragraphs.paragraphCount(), expected.paragraphCount()) << name;
            for (std::size_t paragraph = 0; paragraph < expected.paragraphCount(); ++paragraph) {
                ASSERT_EQ(paragraphs.paragraphRange(paragraph), expected.paragraphRange(paragraph)) << name;
            }
            for (std::size_t position = 0; position <= text.size(); position += text.size() / 200 + 1) {
                ASSERT_EQ(paragraphs.paragraphContaining(position), expected.paragraphContaining(position)) << name;
            }
        }
    }
}

TEST(TextStorageBuildTests, ARangeCopiedFromTheChunksInPlaceIsTheStorageItsSubstringMakes) {
    const Attributes none;
    const Attributes given{{AttributeKey::kern, 0.5}};
    for (const auto &[name, text] : sampleTexts()) {
        // Chunks cut as a load cuts them and as edits leave them, with runs the copy must not carry.
        TextStorage loaded;
        loaded.replaceCharacters(TextRange{0, 0}, text, none);
        TextStorage piecewise = builtPiecewise(text, 700);
        if (text.size() > 10) {
            piecewise.addAttribute(AttributeKey::ligature, std::int64_t{1}, TextRange{3, text.size() / 2});
        }
        const std::size_t size = text.size();
        const std::vector<TextRange> ranges = {
            {0, size},
            {0, size / 3},
            {size / 3, size - size / 3},
            {size / 2, std::min<std::size_t>(size - size / 2, 1500)},
            {std::min<std::size_t>(1023, size), size - std::min<std::size_t>(1023, size)},
            {size, 0}};
        for (const TextStorage *source : {&loaded, &piecewise}) {
            for (const TextRange range : ranges) {
                for (const Attributes *attributes : {&none, &given}) {
                    const std::string label =
                        name + " range " + std::to_string(range.location) + "+" + std::to_string(range.length);
                    const TextStorage copy = source->substringStorage(range, *attributes);
                    const TextStorage expected(source->substring(range), *attributes);
                    ASSERT_EQ(copy.string(), expected.string()) << label;
                    EXPECT_EQ(copy.attributeRuns(TextRange{0, copy.length()}),
                              expected.attributeRuns(TextRange{0, expected.length()}))
                        << label;
                    expectPiecesAndSearchesRight(copy, expected.string(), label);
                }
            }
        }
    }
}
