#include "page_editor/HighlightedCodeBlocks.h"

#include <gtest/gtest.h>

namespace velto::editor {
namespace {

using Block = HighlightedCodeBlocks::Block;

// "```js\n" opens the block at 10; its code "let\n" lies at 16..20.
const std::u16string page = u"prose one\n```js\nlet\n```\nprose two\n";
const Block jsBlock{{10, 6}, {16, 4}};

TEST(HighlightedCodeBlocks, EditsMoveTheBlocksTheyLeaveAloneAndForgetTheOnesTheyTouch) {
    struct Case {
        const char *what;
        TextRange range;
        std::u16string replacement;
        std::optional<Block> expected;
    };
    const std::vector<Case> cases{
        {"typing before the block moves it", {0, 0}, u"ab", Block{{12, 6}, {18, 4}}},
        {"deleting before it moves it back", {0, 6}, u"", Block{{4, 6}, {10, 4}}},
        {"typing after it leaves it", {30, 0}, u"x", jsBlock},
        {"typing right before its fence line", {10, 0}, u"x", std::nullopt},
        {"a deletion ending where it starts", {5, 5}, u"", std::nullopt},
        {"editing the language", {15, 0}, u"x", std::nullopt},
        {"typing in the code", {17, 0}, u"x", std::nullopt},
        {"typing right after the code", {20, 0}, u"x", std::nullopt},
        {"typing one past the code's end", {21, 0}, u"x", jsBlock},
    };
    for (const Case &c : cases) {
        TextStorage storage{page};
        HighlightedCodeBlocks highlighted;
        highlighted.follow(storage);
        highlighted.remember(storage, jsBlock);
        storage.replaceCharacters(c.range, c.replacement);
        highlighted.follow(storage);
        const std::vector<Block> expected = c.expected ? std::vector<Block>{*c.expected} : std::vector<Block>{};
        EXPECT_EQ(highlighted.blocks(), expected) << c.what;
    }
}

TEST(HighlightedCodeBlocks, AnotherStorageOrForgottenEditsForgetEverything) {
    TextStorage storage{page};
    HighlightedCodeBlocks highlighted;
    highlighted.follow(storage);
    highlighted.remember(storage, jsBlock);
    for (int edit = 0; edit < 200; ++edit) { // more edits than the storage keeps
        storage.replaceCharacters({storage.length(), 0}, u"x");
    }
    highlighted.follow(storage);
    EXPECT_TRUE(highlighted.blocks().empty());

    highlighted.remember(storage, jsBlock);
    TextStorage other{page};
    highlighted.follow(other);
    EXPECT_TRUE(highlighted.blocks().empty());
}

TEST(HighlightedCodeBlocks, ABlockFinishedForOlderTextIsNotRemembered) {
    TextStorage storage{page};
    HighlightedCodeBlocks highlighted;
    highlighted.follow(storage);
    storage.replaceCharacters({0, 0}, u"x"); // typed while the highlighter worked
    highlighted.remember(storage, jsBlock);
    EXPECT_FALSE(highlighted.contains(jsBlock));

    highlighted.follow(storage);
    const Block second{{24, 6}, {30, 2}};
    highlighted.remember(storage, second);
    highlighted.remember(storage, jsBlock);
    EXPECT_TRUE(highlighted.contains(jsBlock));
    EXPECT_TRUE(highlighted.contains(second));
    EXPECT_FALSE(highlighted.contains(Block{{10, 6}, {16, 5}}));
    highlighted.keepOnly({second});
    EXPECT_FALSE(highlighted.contains(jsBlock));
}

} // namespace
} // namespace velto::editor
