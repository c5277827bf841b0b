// The hand-over of a page's text to the store converts only what differs from the store's UTF-8 copy.
#include "editor/text/UTF8Change.h"

#include "RandomMixedText.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using velto::editor::AlikeEnds;
using velto::editor::UTF8Change;
using velto::editor::utf8Change;
using velto::editor::UTF8ChangeInUnits;
using velto::testing::RandomMixedText;
using velto::text::toUTF8;

/// Every kind of unit, and a long ASCII run among them, so that the text is also read many units at once.
std::vector<std::u16string> mixedAlphabet() {
    return {u"a",          u"b",          u"\n",     u"\u00e9", u"\u4e2d",
            u"\U0001F600", u"\U0001F601", u"\xD83D", u"\xDE00", u"the quick brown fox jumps"};
}

/// The text cut into pieces of `size` units, never between the two units of a surrogate pair.
std::vector<std::u16string_view> piecesOf(const std::u16string &text, std::size_t size) {
    std::vector<std::u16string_view> pieces;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = std::min(text.size(), start + size);
        if (end < text.size() && (text[end] & 0xFC00) == 0xDC00 && (text[end - 1] & 0xFC00) == 0xD800) {
            ++end;
        }
        pieces.push_back(std::u16string_view(text).substr(start, end - start));
        start = end;
    }
    return pieces;
}

std::string applied(std::string copy, const UTF8Change &change) {
    return copy.replace(change.location, change.length, change.replacement);
}

TEST(UTF8Change, TurnsTheCopyIntoTheTextsUTF8AndConvertsOnlyWhatDiffers) {
    struct Case {
        const char *name;
        std::u16string before; // the text the copy was made of
        std::u16string after;  // the text now
        std::size_t replacementBytes;
    };
    const std::u16string emoji = u"\U0001F600";     // lead D83D, trail DE00
    const std::u16string nextEmoji = u"\U0001F601"; // the same lead, another trail
    for (const Case &c : std::vector<Case>{
             {"unchanged", u"one two", u"one two", 0},
             {"typed in the middle", u"one two", u"one and two", 4},
             {"deleted at the start", u"one two", u" two", 0},
             {"typed at the end", u"one", u"ones", 1},
             {"typed into a run of the same letter", u"aaaa", u"aaaaa", 1},
             {"emptied", u"caf\u00e9", u"", 0},
             {"accented letters around the edit", u"\u00e9t\u00e9 \u4e2d", u"\u00e9t\u00e9 x \u4e2d", 2},
             {"a pair replaced by one sharing its lead", u"a" + emoji + u"b", u"a" + nextEmoji + u"b", 4},
             {"typed between two pairs", emoji + emoji, emoji + u"x" + emoji, 1},
             {"a trail that pairs an unpaired lead",
              u"a\xD83D"
              u"b",
              u"a\xD83D\xDE00"
              u"b",
              4},
             {"a unit that parts a pair", u"a" + emoji, u"a\xD83Dx\xDE00", 7},
             {"unpaired surrogates kept", u"\xDE00 a \xD83D", u"\xDE00 ab \xD83D", 1},
         }) {
        for (std::size_t pieceSize : {1, 3, 1000}) {
            const std::string copy = toUTF8(c.before);
            const UTF8Change change = utf8Change(piecesOf(c.after, pieceSize), copy);
            EXPECT_EQ(applied(copy, change), toUTF8(c.after)) << c.name << ", pieces of " << pieceSize;
            EXPECT_EQ(change.replacement.size(), c.replacementBytes) << c.name << ", pieces of " << pieceSize;
        }
    }
}

TEST(UTF8Change, WhateverTheCopyHoldsTheResultIsTheText) {
    const std::u16string text = u"caf\u00e9 \U0001F600 done";
    for (const std::string &copy : {std::string(), std::string("unrelated"), std::string("caf\xc3"),
                                    std::string("\xff\xfe invalid"), toUTF8(text) + toUTF8(text)}) {
        EXPECT_EQ(applied(copy, utf8Change(piecesOf(text, 4), copy)), toUTF8(text)) << copy;
    }
}

// Random edits of random texts of every kind of unit, cut into random pieces: a mistake at a boundary
// between what is shared and what differs shows as a wrong byte.
TEST(UTF8Change, RandomEditsOfMixedTextsGiveTheWholeConversion) {
    RandomMixedText random(28, mixedAlphabet());
    auto pick = [&](std::size_t below) { return random.pick(below); };
    auto randomText = [&](std::size_t units) { return random.text(units); };
    for (int round = 0; round < 2000; ++round) {
        std::u16string before = randomText(pick(120));
        std::u16string after = before;
        const std::size_t at = pick(after.size() + 1);
        after.replace(at, pick(after.size() - at + 1), randomText(pick(4)));
        const std::string copy = toUTF8(before);
        const UTF8Change change = utf8Change(piecesOf(after, round % 2 == 0 ? 1 + pick(8) : 64), copy);
        ASSERT_EQ(applied(copy, change), toUTF8(after)) << "round " << round;
    }
}

// Told what is alike at the ends, the comparison finds the very change the whole comparison finds, also
// where the edit's text agrees with what follows or precedes it (the comparison reads on past the alike ends),
// where an edit was undone, and where surrogates meet the ends.
TEST(UTF8Change, AlikeEndsGiveTheChangeOfTheWholeComparison) {
    RandomMixedText random(2028, mixedAlphabet());
    auto pick = [&](std::size_t below) { return random.pick(below); };
    auto randomText = [&](std::size_t units) { return random.text(units); };
    auto isLead = [](char16_t unit) { return (unit & 0xFC00) == 0xD800; };
    auto isTrail = [](char16_t unit) { return (unit & 0xFC00) == 0xDC00; };
    for (int round = 0; round < 4000; ++round) {
        const std::u16string before = pick(4) == 0 ? std::u16string(pick(60), u'a') : randomText(pick(120));
        const std::size_t at = pick(before.size() + 1);
        const std::size_t removed = pick(before.size() - at + 1);
        std::u16string inserted;
        switch (pick(4)) {
        case 0: // typed what follows
            inserted = before.substr(at, pick(8));
            break;
        case 1: // typed what precedes
            inserted = before.substr(at - std::min(at, pick(8)), pick(8));
            break;
        case 2: // undone: the same units again
            inserted = before.substr(at, removed);
            break;
        default:
            inserted = randomText(pick(6));
        }
        std::u16string after = before;
        after.replace(at, removed, inserted);
        // The alike ends reach the edit or stop short of it, between code points of both texts.
        std::size_t start = at - pick(at + 1);
        if (start > 0 && isLead(after[start - 1])) {
            --start;
        }
        std::size_t end = at + inserted.size();
        end += pick(after.size() - end + 1);
        if (end < after.size() && isTrail(after[end])) {
            ++end;
        }
        const std::size_t oldEnd = end - inserted.size() + removed;
        const std::string copy = toUTF8(before);
        const AlikeEnds alike{start, toUTF8(after.substr(0, start)).size(), after.size() - end,
                              toUTF8(before.substr(oldEnd)).size()};
        const auto pieces = piecesOf(after, round % 2 == 0 ? 1 + pick(8) : 64);
        const UTF8ChangeInUnits found = utf8Change(pieces, copy, alike);
        ASSERT_EQ(found.change, utf8Change(pieces, copy)) << "round " << round;
        const std::size_t newUnits = after.size() - found.unitsAfter - found.unitLocation;
        ASSERT_EQ(toUTF8(after.substr(found.unitLocation, newUnits)), found.change.replacement) << "round " << round;
    }
}

TEST(UTF8Change, OneTypedLetterInAPageOfMegabytesHandsOverOneByte) {
    std::u16string page;
    while (page.size() < 2'000'000) {
        page += u"- [ ] a line of the page with `code` and caf\u00e9\n";
    }
    const std::string copy = toUTF8(page);
    page.insert(page.size() / 2, u"x");
    const UTF8Change change = utf8Change(piecesOf(page, 2048), copy);
    EXPECT_EQ(change.replacement, "x");
    EXPECT_EQ(change.length, 0u);
    EXPECT_EQ(applied(copy, change), toUTF8(page));
}

} // namespace
