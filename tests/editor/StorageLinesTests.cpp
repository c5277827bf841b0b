#include "editor/text/StorageLines.h"
#include "editor/text/StringRanges.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velto::editor;

namespace {

/// Leaves the storage's edit gap at the location: an insertion there and its removal.
void placeGap(TextStorage &storage, std::size_t location) {
    storage.replaceCharacters(TextRange{location, 0}, u"#");
    storage.replaceCharacters(TextRange{location, 1}, u"");
}

} // namespace

TEST(StorageLinesTests, LinesAndParagraphsAreThoseOfTheWholeStringWhereverTheGapLies) {
    const std::vector<std::u16string> texts{
        u"", u"one", u"a\nb", u"a\r\nb\r\n", u"\r\n\r\n", u"x\ry\u2028z\u2029w\u0085v", u"\n\nlast",
    };
    for (const std::u16string &text : texts) {
        for (std::size_t gap = 0; gap <= text.size(); ++gap) {
            TextStorage storage(text);
            placeGap(storage, gap);
            for (std::size_t location = 0; location <= text.size(); ++location) {
                for (std::size_t length = 0; location + length <= text.size(); ++length) {
                    const TextRange range{location, length};
                    SCOPED_TRACE(testing::Message()
                                 << "text size " << text.size() << ", gap " << gap << ", range " << range);
                    EXPECT_EQ(lineRange(storage, range), lineRange(text, range));
                    EXPECT_EQ(paragraphRange(storage, range), paragraphRange(text, range));
                    const TextStretch lines = linesAround(storage, range);
                    EXPECT_EQ(lines.text, text.substr(lines.range.location, lines.range.length));
                }
            }
        }
    }
}
