#include "editor/editing/TextBoundaries.h"
#include "editor/text/StringRanges.h"
#include "editor/text/TextStorage.h"

#include <gtest/gtest.h>

#include <unicode/utf16.h>

#include <string>
#include <vector>

using namespace velto::editor;

namespace {

bool splitsSurrogatePair(const std::u16string &text, std::size_t at) {
    return at > 0 && at < text.size() && U16_IS_LEAD(text[at - 1]) && U16_IS_TRAIL(text[at]);
}

} // namespace

// The break iterators read two or three pieces (as the storage's chunks) as one text: every answer
// equals the one for the joined string, wherever the split lies.
TEST(TextBoundariesTests, TwoPiecesAnswerAsTheJoinedText) {
    const std::vector<std::u16string> texts{
        u"ab\r\ncd",
        u"e\u0301\u0301x y",
        u"\U0001F469\u200D\U0001F469\u200D\U0001F467 ok",
        u"\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA",
        u"word, next-word 42.5 end.",
        std::u16string{u'a', char16_t(0xD800), u'b', u' ', char16_t(0xDC00), u' ', u'c'}, // lone surrogates
    };
    for (const std::u16string &text : texts) {
        for (std::size_t split = 0; split <= text.size(); ++split) {
            if (splitsSurrogatePair(text, split)) {
                continue; // TextPieces::of never splits a pair
            }
            const std::u16string before = text.substr(0, split);
            const std::u16string after = text.substr(split);
            const TextPieces pieces(before, after);
            // Three pieces: the second of one unit where the text allows.
            const bool third = split < text.size() && !splitsSurrogatePair(text, split + 1);
            const TextPieces three(std::vector<std::u16string_view>{std::u16string_view(before),
                                                                    std::u16string_view(after).substr(0, third ? 1 : 0),
                                                                    std::u16string_view(after).substr(third ? 1 : 0)});
            for (std::size_t position = 0; position <= text.size() + 1; ++position) {
                SCOPED_TRACE(testing::Message()
                             << "text size " << text.size() << ", split " << split << ", position " << position);
                EXPECT_EQ(isGraphemeBoundary(pieces, position), isGraphemeBoundary(text, position));
                EXPECT_EQ(graphemeBoundaryAtOrBefore(pieces, position), graphemeBoundaryAtOrBefore(text, position));
                EXPECT_EQ(graphemeBoundaryAtOrAfter(pieces, position), graphemeBoundaryAtOrAfter(text, position));
                EXPECT_EQ(graphemeBoundaryAfter(pieces, position), nextGraphemeBoundary(text, position));
                EXPECT_EQ(graphemeBoundaryBefore(pieces, position), previousGraphemeBoundary(text, position));
                EXPECT_EQ(followingWordEnd(pieces, position), followingWordEnd(text, position));
                EXPECT_EQ(precedingWordStart(pieces, position), precedingWordStart(text, position));
                EXPECT_EQ(wordSegmentAt(pieces, position), wordSegmentAt(text, position));
                EXPECT_EQ(graphemeBoundaryBefore(three, position), previousGraphemeBoundary(text, position));
                EXPECT_EQ(followingWordEnd(three, position), followingWordEnd(text, position));
                EXPECT_EQ(wordSegmentAt(three, position), wordSegmentAt(text, position));
            }
        }
    }
}

// A storage's pieces are its chunks: joined they are its text, and an edit that brings a surrogate
// pair's halves together at a chunk boundary (by insertion or by deletion) never leaves it split.
TEST(TextBoundariesTests, PiecesOfAStorageAreItsTextAndNeverSplitAPair) {
    const std::u16string emoji = u"\U0001F600";
    std::u16string text = std::u16string(5000, u'a') + emoji + std::u16string(5000, u'b');
    TextStorage storage(text);
    const auto replace = [&](TextRange range, const std::u16string &units) {
        storage.replaceCharacters(range, units);
        text.replace(range.location, range.length, units);
    };
    for (int step = 0; step < 40; ++step) {
        // A lead surrogate typed at a chunk boundary ends the chunk before it; its trail typed a few
        // units into the next chunk meets it when the units between are deleted.
        const std::vector<std::u16string_view> before = storage.pieces();
        const std::size_t boundary = before.front().size() + (step % 2 == 0 ? 0 : before[1].size());
        replace(TextRange{boundary, 0}, std::u16string{char16_t(0xD83D)});
        replace(TextRange{boundary + 6, 0}, std::u16string{char16_t(0xDE00)});
        replace(TextRange{boundary + 1, 5}, u"");
        const TextPieces pieces = TextPieces::of(storage);
        std::u16string joined;
        for (std::size_t index = 0; index < pieces.pieceCount(); ++index) {
            joined += pieces.piece(index);
            const std::u16string_view piece = pieces.piece(index);
            if (index + 1 < pieces.pieceCount()) {
                EXPECT_FALSE(U16_IS_LEAD(piece.back()) && U16_IS_TRAIL(pieces.piece(index + 1).front()))
                    << "step " << step << ", piece " << index;
            }
        }
        ASSERT_EQ(joined, text) << "step " << step;
        EXPECT_EQ(graphemeBoundaryAfter(pieces, boundary), boundary + 2) << "step " << step;
        EXPECT_EQ(nextWordEnd(pieces, 1), nextWordEnd(text, 1)) << "step " << step;
    }
}
