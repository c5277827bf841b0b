#include "editor/markdown/MarkdownStyler.h"

#include "editor/AttributeDump.h"
#include "editor/highlight/CodeTokenApplication.h"
#include "editor/highlight/CodeTokenPreservation.h"
#include "editor/text/EditorSettings.h"
#include "editor/text/FontMetrics.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

using namespace velto::editor;
using velto::editor::testing::dumpRuns;

namespace {

class MarkdownStylerTests : public ::testing::Test {
protected:
    void SetUp() override { usePreferences(0, EditorFontChoice::monospaced); }

    /// The style the next passes and fonts are made with, from a stored size and a font choice.
    void usePreferences(double size, EditorFontChoice choice) {
        style_ = StyleSettings::from({.storedFontSize = size, .fontChoice = choice}, ProportionalFontMetrics());
    }

    TextStorage styled(std::u16string text) const {
        TextStorage storage(std::move(text));
        MarkdownStyler::apply(storage, std::nullopt, style_);
        return storage;
    }

    static const AttributeValue *valueAt(const TextStorage &storage, AttributeKey key, std::size_t location) {
        return storage.attribute(key, location);
    }

    static FontDescriptor fontAt(const TextStorage &storage, std::size_t location) {
        return *attributeValueAs<FontDescriptor>(storage.attribute(AttributeKey::font, location));
    }

    StyleSettings style_;
};

struct GoldenCase {
    const char *name;
    const char16_t *text;
};

// Each case's dump lives in tests/editor/golden/<name>.txt; VELTO_UPDATE_GOLDEN=1 rewrites those that differ,
// and the run that rewrote any fails.
const GoldenCase goldenCases[] = {
    {"heading_level_five", u"##### Title\nbody"},
    {"seven_hashes_are_no_heading", u"####### Title"},
    {"hash_and_blank_alone", u"# \n#  \n"},
    {"setext_heading_and_dash_rule", u"Title\n===\nOther\n---\n"},
    {"horizontal_rules", u"* * *\n***\n___\n    ---\n"},
    {"rule_inside_fence", u"```\n---\n```\n"},
    {"strong_inside_inline_code", u"`**bold**` and **bold**"},
    {"escaped_emphasis", u"\\*a* and *a\\* and *b*"},
    {"bare_address_ends_sentence", u"Visit https://example.com. Now"},
    {"address_inside_link_and_code", u"[site](https://example.com) `https://example.com`"},
    {"link_with_rejected_destination", u"[label](no-scheme) ![img](https://x.y/p.png)"},
    {"task_item", u"- [ ] task\n- [x] done\n1. numbered"},
    {"quote_with_and_without_text", u">\n> quoted *words*"},
    {"fence_on_last_line_without_break", u"text\n```"},
    {"fenced_block_with_heading_inside", u"```swift\n# not a heading\nlet a = 1\n```\nafter"},
    {"strike_and_heading_with_strong", u"## A **strong** title\n~~gone~~"},
    {"empty_text", u""},
};

} // namespace

TEST_F(MarkdownStylerTests, GoldenAttributeRunDumps) {
    const std::filesystem::path folder = std::filesystem::path(VELTO_SOURCE_DIR) / "tests/editor/golden";
    const bool update = std::getenv("VELTO_UPDATE_GOLDEN") != nullptr;
    for (const GoldenCase &c : goldenCases) {
        SCOPED_TRACE(c.name);
        const TextStorage storage = styled(c.text);
        const std::string dump =
            "text: \"" + velto::editor::testing::escapedForDump(c.text) + "\"\n" + dumpRuns(storage);
        const std::filesystem::path file = folder / (std::string(c.name) + ".txt");
        const std::string expected = velto::editor::testing::readFile(file.string());
        if (update && dump != expected) {
            // A run that rewrites what it compares against proves nothing: it fails, and the next run checks.
            std::ofstream(file, std::ios::binary) << dump;
            ADD_FAILURE() << "rewrote " << file << "; check the change and run again without VELTO_UPDATE_GOLDEN";
            continue;
        }
        EXPECT_EQ(dump, expected);
    }
}

TEST_F(MarkdownStylerTests, HeadingSizesFollowTheFontPreference) {
    usePreferences(30, EditorFontChoice::system);
    const TextStorage storage = styled(u"# One\n## Two\n### Three\n#### Four\n##### Five");
    EXPECT_EQ(fontAt(storage, 2), (FontDescriptor{FontFamilyRole::system, 37, FontWeight::semibold}));
    EXPECT_EQ(fontAt(storage, 9).pointSize, 34);
    EXPECT_EQ(fontAt(storage, 16).pointSize, 32);
    EXPECT_EQ(fontAt(storage, 28).pointSize, 31);
    EXPECT_EQ(fontAt(storage, 40).pointSize, 30);
}

TEST_F(MarkdownStylerTests, UnavailableStoredSizeFallsBackToFifteen) {
    usePreferences(16, EditorFontChoice::monospaced);
    EXPECT_EQ(MarkdownStyler::editorFont(style_), (FontDescriptor{FontFamilyRole::monospacedSystem, 15}));
    usePreferences(13, EditorFontChoice::monospaced);
    EXPECT_EQ(MarkdownStyler::inlineCodeFont(style_).pointSize, 12);
}

TEST_F(MarkdownStylerTests, CodeParagraphStyleMeasuresTheCodeFont) {
    class TallMetrics final : public FontMetricsProvider {
    public:
        FontMetrics metrics(const FontDescriptor &) const override { return FontMetrics{14.2, -4.1, 0.5}; }
    };
    const StyleSettings tall = StyleSettings::from({}, TallMetrics());
    EXPECT_EQ(MarkdownStyler::codeParagraphStyle(tall).minimumLineHeight, 19);
    EXPECT_EQ(MarkdownStyler::fenceOpeningParagraphStyle(tall).paragraphSpacingBefore, 8.25);
    EXPECT_EQ(MarkdownStyler::fenceClosingParagraphStyle(tall).paragraphSpacing, 12);
}

TEST_F(MarkdownStylerTests, FullPassIsOneEditingGroupAndStartsFromBaseAttributes) {
    TextStorage storage(u"**a** [b](https://c.d)");
    storage.addAttribute(AttributeKey::veltoTaskCheckbox, true, TextRange{0, storage.length()});
    const auto groupsBefore = storage.finishedEditingGroups();
    MarkdownStyler::apply(storage, Color::sRGB(1, 0, 0));
    EXPECT_EQ(storage.finishedEditingGroups(), groupsBefore + 1);
    EXPECT_TRUE(storage.lastEditingSummary()->attributesOnly);
    EXPECT_EQ(valueAt(storage, AttributeKey::veltoTaskCheckbox, 2), nullptr);
    EXPECT_EQ(*attributeValueAs<Color>(valueAt(storage, AttributeKey::foregroundColor, 5)), Color::sRGB(1, 0, 0));
    EXPECT_EQ(*attributeValueAs<std::string>(valueAt(storage, AttributeKey::link, 7)), "https://c.d");
}

TEST_F(MarkdownStylerTests, EscapedDestinationIsUnescapedForTheLink) {
    const TextStorage storage = styled(u"[a](https://x.y/\\(p\\))");
    EXPECT_EQ(*attributeValueAs<std::string>(valueAt(storage, AttributeKey::link, 1)), "https://x.y/(p)");
}

TEST_F(MarkdownStylerTests, FenceLanguageIsTheFirstWordUnescapedAndLowerCased) {
    EXPECT_EQ(MarkdownStyler::fencedLanguage(u"  Swift extra"), "swift");
    EXPECT_EQ(MarkdownStyler::fencedLanguage(u"\\a"), "\\a");
    EXPECT_EQ(MarkdownStyler::fencedLanguage(u"\\+ rest"), "+");
    EXPECT_EQ(MarkdownStyler::fencedLanguage(u"c\\+\\+"), "c++");
    EXPECT_EQ(MarkdownStyler::fencedLanguage(u""), "");
    EXPECT_EQ(MarkdownStyler::unescapingASCIIPunctuation(u"a\\"), u"a\\");
}

TEST_F(MarkdownStylerTests, HighlightedTokensSurviveARestyleInsideTheirBlock) {
    TextStorage storage(u"```js\nlet a = 1\n```\n");
    MarkdownStyler::apply(storage);
    const Color keywordColor = MarkdownStyler::codeTokenColor(SyntaxTokenKind::keyword);
    storage.addAttributes(Attributes{{AttributeKey::foregroundColor, keywordColor},
                                     {AttributeKey::veltoCodeSyntaxToken, std::string("keyword")},
                                     {AttributeKey::veltoCodeSyntaxGeneration, std::uint64_t{7}}},
                          TextRange{6, 3});
    usePreferences(24, EditorFontChoice::monospaced);
    MarkdownStyler::apply(storage, std::nullopt, style_);
    EXPECT_EQ(*attributeValueAs<std::string>(valueAt(storage, AttributeKey::veltoCodeSyntaxToken, 7)), "keyword");
    EXPECT_EQ(*attributeValueAs<std::uint64_t>(valueAt(storage, AttributeKey::veltoCodeSyntaxGeneration, 7)), 7u);
    EXPECT_EQ(*attributeValueAs<Color>(valueAt(storage, AttributeKey::foregroundColor, 7)), keywordColor);
    EXPECT_EQ(fontAt(storage, 7).pointSize, 24);

    // Moving the closing fence above the token takes the colour from just that code.
    storage.replaceCharacters(TextRange{0, 6}, u"```js\n```\n");
    MarkdownStyler::apply(storage, std::nullopt, style_);
    EXPECT_EQ(valueAt(storage, AttributeKey::veltoCodeSyntaxToken, 10), nullptr);
}

// Passes leave the contents of styled fenced blocks unsearched, since the code styling replaces
// whatever the Markdown patterns would put there; the result must be that of searching everything.
TEST_F(MarkdownStylerTests, SkippingFencedContentsGivesTheSameRuns) {
    std::mt19937 random(17);
    const char16_t *const lines[] = {
        u"```",
        u"~~~",
        u"````js",
        u"```x`y",
        u"text **strong** and *em*",
        u"===",
        u"---",
        u"# heading",
        u"~~struck~~ ~~",
        u"> quote",
        u"- [ ] task",
        u"[link](https://a.b) https://c.d.",
        u"`code` ``",
        u"  ```",
        u"\u2028~~a",
        u"~~~ info",
        u"",
        u"Title",
        u"\\*x* _y_ __z__",
        u"  * item",
        u"12. twelve",
        u"   ***",
        u"#no heading",
        u"\v# after a vertical tab",
        u"a\fb > c",
        u"**bold\ronward** ~~a\u2028b~~ *c\rd* mailto:x@y.z",
    };
    const char16_t *const breaks[] = {u"\n", u"\r\n", u"\r", u"\u2028"};
    for (int round = 0; round < 3000; ++round) {
        std::u16string text;
        const int count = 1 + static_cast<int>(random() % 14);
        for (int k = 0; k < count; ++k) {
            text += lines[random() % std::size(lines)];
            if (k + 1 < count || random() % 2 == 0) {
                text += breaks[random() % 4 == 0 ? random() % 4 : 0];
            }
        }
        const std::string skipping = dumpRuns(styled(text));
        TextStorage searched(text);
        MarkdownStyler::apply(searched, std::nullopt, style_, MarkdownStyler::FullPassSearch::everything);
        const std::string searching = dumpRuns(searched);
        ASSERT_EQ(skipping, searching) << "round " << round << ": " << velto::editor::testing::escapedForDump(text);
    }
}

TEST_F(MarkdownStylerTests, UnclosedLinkWithBackslashPairsStylesAtOnce) {
    std::u16string line = u"[x](";
    for (int pair = 0; pair < 24; ++pair) {
        line += u"\\a";
    }
    std::u16string text;
    for (int copy = 0; copy < 200; ++copy) {
        text += line + u"\n";
    }
    const auto start = std::chrono::steady_clock::now();
    const TextStorage storage = styled(text);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(valueAt(storage, AttributeKey::underlineStyle, 1), nullptr); // no link: nothing closes it
}
