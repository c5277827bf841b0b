#include "editor/StringRanges.h"
#include "editor/TextStorage.h"
#include "editor_view/TextBoundaries.h"

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

// The break iterators read two pieces (the storage's units around its edit gap) as one text: every answer
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
            for (std::size_t position = 0; position <= text.size() + 1; ++position) {
                SCOPED_TRACE(testing::Message() << "text size " << text.size() << ", split " << split
                                                << ", position " << position);
                EXPECT_EQ(isGraphemeBoundary(pieces, position), isGraphemeBoundary(text, position));
                EXPECT_EQ(graphemeBoundaryAtOrBefore(pieces, position), graphemeBoundaryAtOrBefore(text, position));
                EXPECT_EQ(graphemeBoundaryAtOrAfter(pieces, position), graphemeBoundaryAtOrAfter(text, position));
                EXPECT_EQ(graphemeBoundaryAfter(pieces, position), nextGraphemeBoundary(text, position));
                EXPECT_EQ(graphemeBoundaryBefore(pieces, position), previousGraphemeBoundary(text, position));
                EXPECT_EQ(followingWordEnd(pieces, position), followingWordEnd(text, position));
                EXPECT_EQ(precedingWordStart(pieces, position), precedingWordStart(text, position));
                EXPECT_EQ(wordSegmentAt(pieces, position), wordSegmentAt(text, position));
            }
        }
    }
}

TEST(TextBoundariesTests, PiecesOfAStorageAreItsTextAroundTheGapAndNeverSplitAPair) {
    const std::u16string text = u"ab\U0001F600cd";
    for (std::size_t gap = 0; gap <= text.size(); ++gap) {
        TextStorage storage(text);
        storage.replaceCharacters(TextRange{gap, 0}, u"#");
        storage.replaceCharacters(TextRange{gap, 1}, u""); // leaves the gap here
        const TextPieces pieces = TextPieces::of(storage);
        EXPECT_EQ(std::u16string(pieces.before()) + std::u16string(pieces.after()), text) << "gap " << gap;
        const bool splitPair = !pieces.before().empty() && !pieces.after().empty() &&
                               U16_IS_LEAD(pieces.before().back()) && U16_IS_TRAIL(pieces.after().front());
        EXPECT_FALSE(splitPair) << "gap " << gap;
        EXPECT_EQ(graphemeBoundaryAfter(pieces, 2), 4u) << "gap " << gap;
    }
}
