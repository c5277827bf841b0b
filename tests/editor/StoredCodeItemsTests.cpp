#include "editor/StructurePrinting.h"
#include "editor/markdown/MarkdownCodeTokenIndex.h" // moving items with the text
#include "editor/markdown/StoredCodeItems.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <utility>

using namespace velto::editor;
namespace Scanner = velto::editor::MarkdownSyntaxScanner;

// The code index keeps fence lines and blocks in a smaller stored form that leaves out what follows from the
// rest: every line and block the scanner finds must come back from it as it was, also after moving with the text,
// whether its info string fits in place or not.
TEST(StoredCodeItemsTests, ScannedFenceLinesAndBlocksComeBackAsTheyWere) {
    const char16_t *const texts[] = {
        u"```\ncode\n```\n",
        u"```js\nlet a\n```",
        u"  ~~~~python\r\nb = 2\r\n~~~~~  \r\n",
        u"```pythons\nsix units and one more\n```\n",
        u"   ```  javascript with words   \nx\n   ````\n",
        u"~~~\u65e5\u672c\u8a9e\u306e\u30b3\u30fc\u30c9\nx\n",
        u"````\n```inner\n````\n",
    };
    for (std::size_t example = 0; example < std::size(texts); ++example) {
        SCOPED_TRACE(example);
        const std::u16string_view text = texts[example];
        const std::vector<FenceLine> lines = Scanner::fenceLines(text, TextRange{0, text.size()});
        ASSERT_FALSE(lines.empty());
        for (const FenceLine &line : lines) {
            EXPECT_EQ(toItem(toStored(line)), line);
            StoredFenceLine moved = toStored(line);
            shift(moved, 1000);
            FenceLine expected = line;
            shift(expected, 1000);
            EXPECT_EQ(toItem(moved), expected);
        }
        for (const FencedCodeBlock &block : Scanner::fencedCodeScan(text).blocks) {
            EXPECT_EQ(toItem(toStored(block)), block);
            StoredFencedCodeBlock moved = toStored(block);
            shift(moved, 70'000);
            FencedCodeBlock expected = block;
            shift(expected, 70'000);
            EXPECT_EQ(toItem(moved), expected);
        }
    }
}

// Copies and moves of stored info strings read back as the string, and a moved-from one is empty.
TEST(StoredCodeItemsTests, StoredInfoStringsCopyAndMoveTheirUnits) {
    for (const std::u16string_view text : {u"", u"python", u"javascript and more"}) {
        std::optional<StoredInfoString> original(std::in_place, text);
        StoredInfoString copy = *original;
        StoredInfoString assigned(u"x");
        assigned = copy;
        original.reset();
        EXPECT_EQ(copy.view(), text);
        EXPECT_EQ(assigned.view(), text);

        StoredInfoString moved = std::move(copy);
        StoredInfoString movedOnto(u"a long one to be replaced");
        movedOnto = std::move(assigned);
        EXPECT_EQ(moved.view(), text);
        EXPECT_EQ(movedOnto.view(), text);
        EXPECT_TRUE(copy.view().empty());
    }
}

// Info strings are kept once for the whole process, in a table that threads indexing pages side by side share:
// each must read back what it stored, however the others' strings fill the table.
TEST(StoredCodeItemsTests, InfoStringsStoredOnThreadsSideBySideReadBackAsGiven) {
    std::vector<std::thread> threads;
    std::vector<int> allReadBack(4, 0); // not vector<bool>, whose elements share words
    for (std::size_t thread = 0; thread < allReadBack.size(); ++thread) {
        threads.emplace_back([thread, &allReadBack] {
            bool same = true;
            for (int round = 0; round < 2'000; ++round) {
                const std::u16string text = u"lang" + std::u16string(1, char16_t(u'a' + (round + thread) % 26)) +
                                            std::u16string(round % 7, u'x');
                same = same && StoredInfoString(text).view() == text;
            }
            allReadBack[thread] = same ? 1 : 0;
        });
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
    EXPECT_EQ(allReadBack, std::vector<int>(4, 1));
}
