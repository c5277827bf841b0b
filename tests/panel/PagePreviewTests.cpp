#include "panel/menu/PagePreview.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

namespace velto {
namespace {

TEST(PagePreview, TitlesFromTheFirstLineThatCarriesText) {
    struct Case {
        std::string text;
        std::string title;
    };
    const Case cases[] = {
        {"", "Untitled page"},
        {"\n\n  \t\n", "Untitled page"},
        {"---\n* * *\n___\n", "Untitled page"},
        {"- _ * -\nAfter mixed break", "After mixed break"},
        {"# Groceries", "Groceries"},
        {"###### Deep", "Deep"},
        {"####### Seven", "####### Seven"},
        {"#Tag", "#Tag"},
        {"- [ ] Buy milk", "Buy milk"},
        {"* [x] Done", "Done"},
        {"+ [X] Also done", "Also done"},
        {"- [ ]", "[ ]"},
        {"1. First", "First"},
        {"12) Twelfth", "Twelfth"},
        {"> - quoted bullet", "- quoted bullet"},
        {" \t \n  spaced\t\tout   words  ", "spaced out words"},
        {"\n\nThird line", "Third line"},
        {"\r\nAfter CR LF", "After CR LF"},
        {"\u2028After line separator", "After line separator"},
        {"#\u00a0Heading after no-break space", "Heading after no-break space"},
        {"- \nReal", "-"}, // trimmed, the lone bullet has no blank after it
        {"**bold** and `code`", "**bold** and `code`"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(PagePreview::title(c.text), c.title) << "text: " << c.text;
    }
}

TEST(PagePreview, ShortensToTheLimitInCharactersAsReadersCountThem) {
    const std::string sixty(60, 'a');
    const std::string fortyEight(48, 'b');
    EXPECT_EQ(PagePreview::title(sixty, 48), std::string(48, 'a') + "\u2026");
    EXPECT_EQ(PagePreview::title(fortyEight, 48), fortyEight);
    EXPECT_EQ(PagePreview::title(fortyEight, std::nullopt), fortyEight);

    // A waving hand with a skin-tone modifier is one character and is never cut apart.
    std::string hands;
    for (int i = 0; i < 5; ++i) {
        hands += "\U0001F44B\U0001F3FD";
    }
    EXPECT_EQ(PagePreview::title(hands, 5), hands);
    EXPECT_EQ(PagePreview::title(hands, 2), "\U0001F44B\U0001F3FD\U0001F44B\U0001F3FD\u2026");
    // Collapsing blanks happens before counting.
    EXPECT_EQ(PagePreview::title("a     b", 3), "a b");
}

TEST(PagePreview, ThematicBreaksAndMarkersAreRecognisedByAScan) {
    EXPECT_TRUE(PagePreview::isThematicBreak("- - -"));
    EXPECT_TRUE(PagePreview::isThematicBreak("_*-"));
    EXPECT_FALSE(PagePreview::isThematicBreak("--"));
    EXPECT_FALSE(PagePreview::isThematicBreak("--- x"));
    EXPECT_EQ(PagePreview::blockMarkerLength("  ## a"), 5U);
    EXPECT_EQ(PagePreview::blockMarkerLength("-x"), 0U);
    EXPECT_EQ(PagePreview::blockMarkerLength("1.x"), 0U);
    EXPECT_EQ(PagePreview::blockMarkerLength("\u0661. Arabic-Indic one"), 4U);
}

TEST(PagePreview, AFiveMegabyteLineOfHyphensReturnsPromptly) {
    std::string hyphens;
    hyphens.reserve(5 * 1024 * 1024 + 8);
    while (hyphens.size() < 5 * 1024 * 1024) {
        hyphens += "- ";
    }
    std::string almostBreak = hyphens + "x";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(PagePreview::title(hyphens + "\nNext", 48), "Next");
    std::string title = PagePreview::title(almostBreak, 48);
    std::string unlimited = PagePreview::title(almostBreak);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(title, std::string("- - - - - - - - - - - - - - - - - - - - - - - - ") + "\u2026");
    EXPECT_EQ(unlimited.size(), almostBreak.size() - 2); // "- " → "-" once the marker goes, then "- x"
    // Linear work: a backtracking matcher takes minutes here, a scan well under a second even when sanitized.
    EXPECT_LT(elapsed, std::chrono::seconds(5));
}

} // namespace
} // namespace velto
