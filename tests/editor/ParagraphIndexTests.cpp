#include "editor/editing/ParagraphIndex.h"

#include "editor/text/TextStorage.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace velto::editor;

namespace {

std::vector<std::size_t> startsOf(const std::u16string &text) {
    return ParagraphIndex(TextStorage(text)).starts();
}

} // namespace

TEST(ParagraphIndexTests, ParagraphsEndAtTheTextSystemsSeparatorsOnly) {
    struct Case {
        std::u16string text;
        std::vector<std::size_t> starts;
    };
    const std::vector<Case> cases = {
        {u"", {0}},
        {u"abc", {0}},
        {u"a\nb", {0, 2}},
        {u"a\rb", {0, 2}},
        {u"a\r\nb", {0, 3}},       // CRLF is one separator
        {u"a\n\rb", {0, 2, 3}},    // LF then CR are two
        {u"a\u2029b", {0, 2}},     // paragraph separator
        {u"a\u2028b\u0085c", {0}}, // line separator and NEL break lines, not paragraphs
        {u"a\n", {0, 2}},          // an empty last paragraph after a final separator
        {u"\r\n\r\n", {0, 2, 4}},
        {u"\r\r\n\n", {0, 1, 3, 4}},
    };
    for (const Case &entry : cases) {
        EXPECT_EQ(startsOf(entry.text), entry.starts) << "text of length " << entry.text.size();
    }
}

// The scan compares eight units at a time and reads the text in pieces of 64 Ki units: separators, and a CRLF
// cut in two, at every place around those boundaries give what a walk over the units one by one gives.
TEST(ParagraphIndexTests, SeparatorsAroundTheScansBoundariesAreFoundAsOneByOne) {
    const auto oneByOne = [](const std::u16string &text) {
        std::vector<std::size_t> starts{0};
        for (std::size_t k = 0; k < text.size(); ++k) {
            if (text[k] == u'\r' && k + 1 < text.size() && text[k + 1] == u'\n') {
                continue; // the LF after it ends the separator
            }
            if (text[k] == u'\n' || text[k] == u'\r' || text[k] == u'\u2029') {
                starts.push_back(k + 1);
            }
        }
        return starts;
    };
    constexpr std::size_t piece = 64 * 1024;
    for (const std::u16string separator : {u"\n", u"\r", u"\r\n", u"\u2029", u"\n\r"}) {
        for (const std::size_t at : {std::size_t{0}, std::size_t{6}, std::size_t{7}, std::size_t{8}, std::size_t{15},
                                     piece - 9, piece - 2, piece - 1, piece, piece + 1, piece + 7}) {
            std::u16string text(piece + 20, u'x');
            text.replace(at, separator.size(), separator);
            text[3] = u'\n'; // one before it in the same piece
            EXPECT_EQ(startsOf(text), oneByOne(text)) << "at " << at << ", separator of " << separator.size();
        }
    }
}

TEST(ParagraphIndexTests, ContainingParagraphAndContentsLeaveOutTheSeparator) {
    const TextStorage storage(u"ab\r\ncd\n");
    const ParagraphIndex index(storage);
    ASSERT_EQ(index.paragraphCount(), 3u);
    EXPECT_EQ(index.paragraphContaining(0), 0u);
    EXPECT_EQ(index.paragraphContaining(3), 0u); // between CR and LF
    EXPECT_EQ(index.paragraphContaining(4), 1u);
    EXPECT_EQ(index.paragraphContaining(7), 2u); // the text's end
    EXPECT_EQ(paragraphContents(storage, index.paragraphRange(0)), (TextRange{0, 2}));
    EXPECT_EQ(paragraphContents(storage, index.paragraphRange(1)), (TextRange{4, 2}));
    EXPECT_EQ(paragraphContents(storage, index.paragraphRange(2)), (TextRange{7, 0}));
}

TEST(ParagraphIndexTests, InsertingAnLineFeedAfterACarriageReturnJoinsThemIntoOneSeparator) {
    TextStorage storage(u"a\rb");
    ParagraphIndex index(storage);
    storage.replaceCharacters(TextRange{2, 0}, u"\n");
    const auto splice = index.sync(storage);
    ASSERT_TRUE(splice.has_value());
    EXPECT_EQ(index.starts(), (std::vector<std::size_t>{0, 3}));
    EXPECT_EQ(*splice, (ParagraphSplice{0, 2, 2}));
    storage.replaceCharacters(TextRange{1, 1}, u"");
    index.sync(storage);
    EXPECT_EQ(index.starts(), (std::vector<std::size_t>{0, 2}));
}

TEST(ParagraphIndexTests, TypingInsideOneParagraphReplacesOnlyThatParagraph) {
    TextStorage storage(u"one\ntwo\nthree");
    ParagraphIndex index(storage);
    storage.replaceCharacters(TextRange{5, 0}, u"x");
    EXPECT_EQ(index.sync(storage), (ParagraphSplice{1, 1, 1}));
    EXPECT_EQ(index.starts(), (std::vector<std::size_t>{0, 4, 9}));
    EXPECT_EQ(index.sync(storage), (ParagraphSplice{0, 0, 0})); // nothing new
}

// After any series of edits, synced at random moments, the index equals one built afresh.
TEST(ParagraphIndexTests, IncrementalIndexEqualsARebuildAfterRandomEdits) {
    const std::u16string pieces[] = {u"a", u"bc", u"\n",   u"\r",   u"\r\n",   u"\u2029", u"\u2028",
                                     u"é", u"😀",  u"\n\n", u"x\ry", u"\u0085", u" "};
    std::mt19937 random(22);
    for (int round = 0; round < 200; ++round) {
        TextStorage storage;
        ParagraphIndex index(storage);
        for (int step = 0; step < 60; ++step) {
            // A burst of edits between syncs; now and then more than the storage remembers.
            const int burst = random() % 10 == 0 ? 70 : 1 + static_cast<int>(random() % 4);
            for (int k = 0; k < burst; ++k) {
                const std::size_t length = storage.length();
                const std::size_t location = random() % (length + 1);
                const std::size_t removed = std::min<std::size_t>(random() % 4, length - location);
                std::u16string inserted;
                for (std::size_t n = random() % 3; n > 0; --n) {
                    inserted += pieces[random() % std::size(pieces)];
                }
                storage.replaceCharacters(TextRange{location, removed}, inserted);
            }
            const auto splice = index.sync(storage);
            if (burst < 64) {
                ASSERT_TRUE(splice.has_value()) << "a short burst is applied without a rebuild";
            }
            ASSERT_EQ(index.starts(), ParagraphIndex(storage).starts()) << "round " << round << " step " << step;
            ASSERT_EQ(index.textLength(), storage.length());
        }
    }
}

TEST(ParagraphIndexTests, SplicesDescribeWhichParagraphsWereReplaced) {
    std::mt19937 random(5);
    for (int round = 0; round < 300; ++round) {
        TextStorage storage(u"p0\np1\np2\np3\np4");
        ParagraphIndex index(storage);
        const std::vector<std::size_t> before = index.starts();
        const std::size_t location = random() % (storage.length() + 1);
        const std::size_t removed = std::min<std::size_t>(random() % 5, storage.length() - location);
        storage.replaceCharacters(TextRange{location, removed}, random() % 2 ? u"\n" : u"z");
        const auto splice = index.sync(storage);
        ASSERT_TRUE(splice.has_value());
        const std::ptrdiff_t delta = 1 - static_cast<std::ptrdiff_t>(removed);
        // Paragraphs before the splice keep their starts; those after it moved by the change in length.
        for (std::size_t k = 0; k < splice->first; ++k) {
            EXPECT_EQ(index.starts()[k], before[k]);
        }
        for (std::size_t k = splice->first + splice->removedCount; k < before.size(); ++k) {
            const std::size_t now = k - splice->removedCount + splice->insertedCount;
            EXPECT_EQ(static_cast<std::ptrdiff_t>(index.starts()[now]), static_cast<std::ptrdiff_t>(before[k]) + delta);
        }
    }
}

// The walk over the paragraphs' lengths agrees with each paragraph's range, whatever edits the index followed.
TEST(ParagraphIndexTests, AWalkOverTheLengthsGivesEachParagraphsLength) {
    std::u16string text;
    for (int k = 0; k < 500; ++k) {
        text += k % 7 == 0 ? u"\r\n" : (k % 5 == 0 ? u"a longer paragraph\n" : u"p\n");
    }
    TextStorage storage(text);
    ParagraphIndex index(storage);
    std::mt19937 random(11);
    for (int round = 0; round < 50; ++round) {
        const std::size_t location = random() % (storage.length() + 1);
        const std::size_t removed = std::min<std::size_t>(random() % 30, storage.length() - location);
        storage.replaceCharacters(TextRange{location, removed}, round % 2 == 0 ? u"x\ny\n" : u"zz");
        ASSERT_TRUE(index.sync(storage).has_value());
        const std::size_t count = index.paragraphCount();
        const std::vector<std::pair<std::size_t, std::size_t>> windows = {
            {0, count}, {random() % count, count + 3}, {count - 1, count}, {random() % count, random() % count}};
        for (const auto &[first, end] : windows) {
            std::vector<std::size_t> walked;
            std::vector<std::size_t> asked;
            std::size_t expected = first;
            index.forEachParagraphLength(first, end, [&](std::size_t paragraph, std::size_t length) {
                EXPECT_EQ(paragraph, expected++);
                walked.push_back(length);
            });
            for (std::size_t paragraph = first; paragraph < std::min(end, count); ++paragraph) {
                asked.push_back(index.paragraphRange(paragraph).length);
            }
            ASSERT_EQ(walked, asked) << "round " << round << ", from " << first << " to " << end;
        }
    }
}
