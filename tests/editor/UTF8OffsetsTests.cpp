// Where a text's units fall in its UTF-8 form, kept through edits.
#include "editor/text/UTF8Offsets.h"

#include "RandomMixedText.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using velto::editor::TextRange;
using velto::editor::TextStorage;
using velto::editor::UnitAndByte;
using velto::editor::UTF8Offsets;
using velto::text::toUTF8;
using velto::text::utf8Length;

TEST(UTF8Offsets, LengthIsTheConversionsLength) {
    for (const std::u16string &units :
         {std::u16string(), std::u16string(u"ascii"), std::u16string(u"caf\u00e9 \u4e2d"),
          std::u16string(u"\U0001F600"), std::u16string(u"\xD83D lone lead"), std::u16string(u"lone trail \xDE00"),
          std::u16string(u"\xD83D\xD83D\xDE00"), std::u16string(u"\xDE00\xD83D")}) {
        EXPECT_EQ(utf8Length(units), toUTF8(units).size()) << toUTF8(units);
    }
}

// After every replacement each point still names its unit's byte, lies between code points, and the points
// stay about evenly spread: few enough to move cheaply, near enough that finding a byte counts few units.
TEST(UTF8Offsets, PointsKeepTheirBytesThroughReplacements) {
    velto::testing::RandomMixedText random(4096, {u"a", u"\u00e9", u"\u4e2d", u"\U0001F600", u"\xD83D", u"\xDE00"});
    auto pick = [&](std::size_t below) { return random.pick(below); };
    TextStorage storage(random.text(30'000));
    UTF8Offsets offsets;
    offsets.measure(storage);
    for (int round = 0; round < 120; ++round) {
        const std::u16string before = storage.string();
        std::size_t start = pick(before.size() + 1);
        std::size_t oldEnd =
            start + pick(std::min<std::size_t>(before.size() - start, round % 10 == 0 ? 20'000 : 9) + 1);
        const std::u16string inserted = random.text(round % 10 == 5 ? 20'000 : pick(6));
        const std::size_t removed = oldEnd - start;
        storage.replaceCharacters(TextRange{start, removed}, inserted);
        // The replacement as a hand-over finds it, between code points of both texts: a surrogate at its sides
        // may pair with what it removed or inserted.
        if (start > 0 && (before[start - 1] & 0xFC00) == 0xD800) {
            --start;
        }
        std::size_t newEnd = oldEnd - removed + inserted.size();
        if (oldEnd < before.size() && (before[oldEnd] & 0xFC00) == 0xDC00) {
            ++oldEnd;
            ++newEnd;
        }
        const std::u16string &after = storage.string();
        offsets.replace(storage, {start, toUTF8(before.substr(0, start)).size()},
                        {oldEnd, toUTF8(before.substr(0, oldEnd)).size()},
                        {newEnd, toUTF8(after.substr(0, newEnd)).size()});

        const std::u16string &text = storage.string();
        ASSERT_EQ(offsets.end().unit, text.size());
        ASSERT_EQ(offsets.end().byte, toUTF8(text).size());
        const std::vector<UnitAndByte> &points = offsets.points();
        ASSERT_LE(points.size(), 2 * text.size() / UTF8Offsets::pointSpacing + 3) << "round " << round;
        UnitAndByte previous;
        for (const UnitAndByte &point : points) {
            ASSERT_FALSE(point.unit > 0 && point.unit < text.size() && (text[point.unit - 1] & 0xFC00) == 0xD800 &&
                         (text[point.unit] & 0xFC00) == 0xDC00)
                << "a point inside a surrogate pair, round " << round;
            const std::size_t bytes = toUTF8(text.substr(previous.unit, point.unit - previous.unit)).size();
            ASSERT_EQ(point.byte, previous.byte + bytes) << "round " << round;
            ASSERT_LE(point.unit - previous.unit, 2 * UTF8Offsets::pointSpacing) << "round " << round;
            previous = point;
        }
        ASSERT_LE(text.size() - previous.unit, 2 * UTF8Offsets::pointSpacing) << "round " << round;
    }
}

} // namespace
