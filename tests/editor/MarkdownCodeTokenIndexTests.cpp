#include "editor/StructurePrinting.h"
#include "editor/markdown/MarkdownCodeTokenIndex.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <random>

using namespace velto::editor;
namespace Scanner = velto::editor::MarkdownSyntaxScanner;

namespace {

std::u16string randomPiece(std::mt19937 &random) {
    static const char16_t *const pieces[] = {u"```",    u"~~~", u"`",    u"``", u"\\", u"\n", u"\r",  u"\r\n",
                                             u"\u2028", u"  ",  u"    ", u"a",  u"js", u"\t", u"````"};
    return pieces[random() % std::size(pieces)];
}

/// One edit of a text, and how far the part taken as changed may reach at most (0: not looked at).
struct EditCase {
    const char *name;
    std::u16string text;
    TextRange replaced;
    std::u16string replacement;
    std::size_t farthestChange = 0;
};

/// An index of the text made before one edit and brought up to the storage's text after it.
MarkdownCodeTokenIndex indexFollowingAnEdit(TextStorage &storage, const std::u16string &text, TextRange replaced,
                                            const std::u16string &replacement) {
    storage.replaceCharacters(TextRange{0, 0}, text);
    MarkdownCodeTokenIndex index(storage.string());
    const std::uint64_t indexed = storage.characterVersion();
    storage.replaceCharacters(replaced, replacement);
    index.update(storage.string(), *storage.characterEditsSince(indexed));
    return index;
}

void expectAgreesWithAFreshScan(const MarkdownCodeTokenIndex &index, const TextStorage &storage) {
    const FencedCodeScan fresh = Scanner::fencedCodeScan(storage.string());
    const FencedCodeScan kept = index.fencedCodeScan(storage.string());
    EXPECT_EQ(kept.blocks, fresh.blocks);
    EXPECT_EQ(kept.isBalanced, fresh.isBalanced);
    EXPECT_EQ(index.structure().inlineCodeSpans, Scanner::structure(storage.string()).inlineCodeSpans);
}

/// `line` `count` times.
std::u16string repeated(const std::u16string &line, int count) {
    std::u16string text;
    for (int k = 0; k < count; ++k) {
        text += line;
    }
    return text;
}

} // namespace

TEST(MarkdownCodeTokenIndexTests, StorageRemembersRecentCharacterEdits) {
    TextStorage storage(u"abc");
    const std::uint64_t start = storage.characterVersion();
    storage.replaceCharacters(TextRange{1, 1}, u"XY");
    storage.addAttribute(AttributeKey::kern, 1.0, TextRange{0, 2}); // attributes only: no character edit
    storage.replaceCharacters(TextRange{0, 0}, u"Z");
    EXPECT_EQ(storage.characterVersion(), start + 2);
    EXPECT_EQ(storage.characterEditsSince(start), (std::vector<CharacterEdit>{{1, 1, 2}, {0, 0, 1}}));
    EXPECT_EQ(storage.characterEditsSince(start + 2), std::vector<CharacterEdit>{});
    for (int k = 0; k < 100; ++k) {
        storage.replaceCharacters(TextRange{0, 0}, u"q");
    }
    EXPECT_EQ(storage.characterEditsSince(start), std::nullopt);
}

// A long text is indexed a stretch of lines at a time, its fences paired and its runs set aside for code spans as
// each stretch is read: blocks, spans and the runs left literal must be those of one scan of the whole text, with
// fences and runs far apart across stretches, then after edits that pair the runs again.
TEST(MarkdownCodeTokenIndexTests, LongTextIndexedInStretchesAgreesWithAFreshScan) {
    std::mt19937 random(57);
    std::u16string randomText;
    while (randomText.size() < 200'000) {
        randomText += randomPiece(random);
    }
    const struct {
        const char *name;
        std::u16string text;
    } cases[] = {
        {"block over several stretches", u"```js\n" + repeated(u"x `a` y\n", 30'000) + u"```\nafter `b` c\n"},
        {"longer fence holding shorter ones and tildes, then left open",
         u"intro `q`\n````\n" + repeated(u"```\n~~~\nz `` w\n", 12'000) + u"``` `\n"},
        {"runs pairing across stretches", u"`` open\n" + repeated(u"plain line\n", 20'000) + u"close `` and ` one\n"},
        {"fence lines with carriage returns on every line",
         repeated(u"```\r\n~~~\r\n  ```python\r\n", 20'000) + u"`x`\r\n"},
        {"random pieces", randomText},
        {"characters of two, three and four bytes",
         repeated(u"h\u00e9 `\u65e5` \U0001F600\n```py\n\u00e7\n```\n", 5'000)},
    };
    for (const auto &example : cases) {
        SCOPED_TRACE(example.name);
        TextStorage storage(example.text);
        // Indexed from the text's UTF-8, decoded a stretch at a time, as a loaded page is.
        expectAgreesWithAFreshScan(MarkdownCodeTokenIndex::decodedFrom(velto::text::toUTF8(example.text)), storage);
        MarkdownCodeTokenIndex index(storage.string());
        expectAgreesWithAFreshScan(index, storage);
        for (int edit = 0; edit < 4; ++edit) {
            const std::uint64_t indexed = storage.characterVersion();
            const std::size_t location = random() % (storage.length() + 1);
            storage.replaceCharacters(TextRange{location, 0}, edit % 2 == 0 ? u"``" : u"\n```\n");
            index.update(storage.string(), *storage.characterEditsSince(indexed));
            expectAgreesWithAFreshScan(index, storage);
        }
    }
}

// The index, brought up to date through random edits, must always describe the text as a fresh scan does.
TEST(MarkdownCodeTokenIndexTests, UpdatedIndexAgreesWithAFreshScan) {
    std::mt19937 random(21);
    for (int document = 0; document < 40; ++document) {
        TextStorage storage;
        std::u16string initial;
        for (int k = 0; k < 60; ++k) {
            initial += randomPiece(random);
        }
        storage.replaceCharacters(TextRange{0, 0}, initial);
        MarkdownCodeTokenIndex index(storage.string());
        std::uint64_t indexed = storage.characterVersion();
        for (int batch = 0; batch < 60; ++batch) {
            const int edits = 1 + static_cast<int>(random() % 3);
            for (int e = 0; e < edits; ++e) {
                const std::size_t length = storage.length();
                const std::size_t location = random() % (length + 1);
                const std::size_t removed = std::min<std::size_t>(random() % 4, length - location);
                storage.replaceCharacters(TextRange{location, removed}, random() % 3 ? randomPiece(random) : u"");
            }
            index.update(storage.string(), *storage.characterEditsSince(indexed));
            indexed = storage.characterVersion();

            const FencedCodeScan fresh = Scanner::fencedCodeScan(storage.string());
            const FencedCodeScan kept = index.fencedCodeScan(storage.string());
            ASSERT_EQ(kept.blocks, fresh.blocks) << "document " << document << " batch " << batch;
            ASSERT_EQ(kept.isBalanced, fresh.isBalanced);
            ASSERT_EQ(index.structure(storage.string(), kept).inlineCodeSpans,
                      Scanner::structure(storage.string()).inlineCodeSpans)
                << "document " << document << " batch " << batch;
        }
    }
}

// After a change of fence lines the blocks are paired again only from the last block before the change until
// the pairing agrees with the old blocks: the blocks must still be those of a fresh scan, and what is taken as
// changed must stay near the edit. Edits at the edge of a fence line or of a span's runs must have the line read
// again or the runs paired again (each of the last three once left the index differing from a fresh scan).
TEST(MarkdownCodeTokenIndexTests, EditsOfFenceLinesAndRunsAgreeWithAFreshScanAndChangeOnlyWhatTheyReach) {
    std::u16string manyBlocks;
    for (int block = 0; block < 1000; ++block) {
        manyBlocks += block % 2 == 0 ? u"```js\nlet a = 1\n```\n" : u"~~~python\nb = 2\n~~~\n";
    }
    const EditCase cases[] = {
        {"closing line removed with the start of the next line", u"~~~\na\n~~~\nzz\n", {6, 5}, u"", 8},
        {"fence typed at the end closes an open block", u"```\na\n\nb\n", {8, 0}, u"\n```", 13},
        // The next fence opens a block that the one after the first closing fence closes.
        {"key before the first of many fences", manyBlocks, {0, 0}, u"q", 3 * 20 + 1},
        {"fence line added above many blocks", manyBlocks, {0, 0}, u"~~~\n", 3 * 20 + 4},
        {"key at the end of a long fence line ending the text", u"intro\n```javascrip", {18, 0}, u"t"},
        {"line feed joining a closing fence's carriage return", u"```\ncode\n```\rx\nafter", {13, 1}, u""},
        {"edit across a span's opening run and line break", u"``\nab`` c", {1, 2}, u"`"},
    };
    for (const EditCase &example : cases) {
        SCOPED_TRACE(example.name);
        TextStorage storage;
        MarkdownCodeTokenIndex index =
            indexFollowingAnEdit(storage, example.text, example.replaced, example.replacement);
        expectAgreesWithAFreshScan(index, storage);
        if (example.farthestChange > 0) {
            const std::optional<TextRange> changed = index.takeFencedBlockChange();
            ASSERT_TRUE(changed.has_value());
            EXPECT_LE(changed->end(), example.farthestChange);
        }
    }
}
