#include "editor/markdown/MarkdownStyler.h"
#include "editor/markdown/MarkdownSyntaxScanner.h"

#include <gtest/gtest.h>

namespace velto::editor {
namespace {

TEST(FencedBlockList, FollowsEditsAsAScanOfTheWholeTextWould) {
    TextStorage storage(u"intro\n```js\na\n```\n\n~~~\nb\n~~~\n");
    MarkdownStyler::apply(storage);
    struct Edit {
        TextRange range;
        std::u16string_view text;
    };
    const std::vector<Edit> edits{
        {{0, 0}, u"# Title\n"},     // blocks move
        {{8, 0}, u"```py\nopen\n"}, // a new unclosed block swallows the rest
        {{8, 11}, u""},             // and goes again
        {{19, 3}, u"~~~~"},         // a closing fence changes
        {{0, 0}, u"`x`\n"},         // inline code changes nothing
    };
    for (const Edit &edit : edits) {
        storage.replaceCharacters(edit.range, edit.text);
        EXPECT_EQ(MarkdownStyler::fencedBlocks(storage), MarkdownSyntaxScanner::fencedCodeScan(storage.string()).blocks)
            << std::string(edit.text.begin(), edit.text.end());
    }
    EXPECT_TRUE(MarkdownStyler::fencedBlocks(TextStorage(u"")).empty());
}

} // namespace
} // namespace velto::editor
