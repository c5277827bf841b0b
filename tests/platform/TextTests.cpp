#include "platform/Text.h"

#include <gtest/gtest.h>
#include <unicode/unistr.h>

namespace velto::text {
namespace {

const std::string composedE = "\xC3\xA9";                  // U+00E9
const std::string decomposedE = "e\xCC\x81";               // e + U+0301
const std::string hangulSyllable = "\xEA\xB0\x80";         // U+AC00
const std::string hangulJamo = "\xE1\x84\x80\xE1\x85\xA1"; // U+1100 U+1161
const std::string kelvinSign = "\xE2\x84\xAA";             // U+212A, NFC is "K"

TEST(CanonicalText, EquivalentSpellingsAreEqual) {
    EXPECT_TRUE(canonicallyEqual(composedE, decomposedE));
    EXPECT_TRUE(canonicallyEqual("caf" + composedE, "caf" + decomposedE));
    EXPECT_TRUE(canonicallyEqual(hangulSyllable, hangulJamo));
    EXPECT_TRUE(canonicallyEqual(kelvinSign, "K"));
    EXPECT_TRUE(canonicallyEqual("plain", "plain"));
    EXPECT_TRUE(canonicallyEqual("", ""));
    EXPECT_FALSE(canonicallyEqual("plain", "Plain"));
    EXPECT_FALSE(canonicallyEqual(composedE, "e"));
    EXPECT_FALSE(canonicallyEqual(decomposedE, "e"));
    EXPECT_EQ(nfc(decomposedE), composedE);
    EXPECT_EQ(nfc("ascii"), "ascii");
}

TEST(CanonicalText, OrderingAgreesWithEqualityAndIsAntisymmetric) {
    const std::string texts[] = {"",
                                 "a",
                                 "b",
                                 "e",
                                 "f",
                                 composedE,
                                 decomposedE,
                                 "e\xCC\x81x",
                                 hangulSyllable,
                                 hangulJamo,
                                 kelvinSign,
                                 "K",
                                 "Z",
                                 "\xF0\x9F\x98\x80"};
    for (const std::string &a : texts) {
        EXPECT_EQ(canonicalCompare(a, a), 0);
        for (const std::string &b : texts) {
            int ab = canonicalCompare(a, b);
            int ba = canonicalCompare(b, a);
            EXPECT_EQ(ab == 0, canonicallyEqual(a, b)) << a << " / " << b;
            EXPECT_EQ(ab<0, ba> 0) << a << " / " << b;
            if (ab == 0) {
                EXPECT_EQ(canonicalHash(a), canonicalHash(b)) << a << " / " << b;
            }
        }
    }
    // By NFC code points "é" (U+00E9) sorts after "f", although "e" + accent would sort before it byte by byte.
    EXPECT_GT(canonicalCompare(decomposedE, "f"), 0);
    EXPECT_LT(canonicalCompare("a", "b"), 0);
    EXPECT_LT(canonicalCompare("Z", "a"), 0);
}

TEST(CanonicalText, CombiningMarksInAnyCanonicalOrderAreEqual) {
    EXPECT_TRUE(canonicallyEqual("e\xCC\x81\xCC\xA3", "e\xCC\xA3\xCC\x81")); // acute+dot below, either order
    EXPECT_TRUE(canonicallyEqual("x" + hangulJamo + "y", "x" + hangulSyllable + "y"));
    EXPECT_TRUE(canonicallyEqual("line a" + decomposedE, "line a" + composedE));
    EXPECT_FALSE(canonicallyEqual("e\xCC\x81", "e\xCC\x80"));
}

// Whatever shortcut the comparison takes, it must agree with comparing the NFC forms of the whole texts.
TEST(CanonicalText, AgreesWithComparingWholeNormalizedTexts) {
    const std::string pieces[] = {"a",
                                  "e",
                                  "K",
                                  composedE,
                                  "\xCC\x81",
                                  "\xCC\xA3",
                                  "\xE1\x84\x80",
                                  "\xE1\x85\xA1",
                                  hangulSyllable,
                                  kelvinSign,
                                  "\xE2\x82",
                                  "\xff",
                                  "\xF0\x9F\x98\x80",
                                  "\r\n"};
    std::uint32_t seed = 12345;
    auto nextRandom = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    auto randomText = [&] {
        std::string text;
        std::size_t length = nextRandom() % 6;
        for (std::size_t i = 0; i < length; ++i) {
            text += pieces[nextRandom() % std::size(pieces)];
        }
        return text;
    };
    auto sign = [](int value) { return (value > 0) - (value < 0); };
    for (int i = 0; i < 20000; ++i) {
        std::string prefix = randomText();
        std::string a = prefix + randomText();
        std::string b = prefix + randomText();
        std::string nfcA = nfc(a);
        std::string nfcB = nfc(b);
        ASSERT_EQ(canonicallyEqual(a, b), nfcA == nfcB) << a << " / " << b;
        ASSERT_EQ(sign(canonicalCompare(a, b)), sign(nfcA.compare(nfcB))) << a << " / " << b;
    }
}

struct GraphemeCase {
    std::string text;
    std::size_t count;
};

TEST(Graphemes, CountsWhatAReaderSeesAsCharacters) {
    const GraphemeCase cases[] = {
        {"", 0},
        {"abc", 3},
        {"a\r\nb", 3},                                                                   // CR LF is one
        {decomposedE, 1},                                                                // combining mark
        {"e\xCC\x81\xCC\xA3", 1},                                                        // two combining marks
        {hangulJamo, 1},                                                                 // conjoining jamo
        {"\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7", 1}, // ZWJ family
        {"\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA", 2},         // two flags
        {"\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD", 1},                                         // thumbs up + skin tone
        {"a\xF0\x9F\x98\x80"
         "b",
         3},
    };
    for (const GraphemeCase &entry : cases) {
        EXPECT_EQ(graphemeCount(entry.text), entry.count) << entry.text;
    }
}

TEST(Graphemes, PrefixNeverSplitsACluster) {
    const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";
    EXPECT_EQ(graphemePrefix(family + "abc", 2), family + "a");
    EXPECT_EQ(graphemePrefix(decomposedE + "x", 1), decomposedE);
    EXPECT_EQ(graphemePrefix("a\r\nb", 2), "a\r\n");
    EXPECT_EQ(graphemePrefix("abc", 0), "");
    EXPECT_EQ(graphemePrefix("abc", 10), "abc");
    EXPECT_EQ(graphemePrefix(composedE + "b", 10), composedE + "b");
}

TEST(Lowercasing, MapsFullUnicodeWithoutLocale) {
    EXPECT_EQ(lowercased("Hello WORLD 42"), "hello world 42");
    EXPECT_EQ(lowercased("\xC3\x80\xC3\x89\xC3\x8E"), "\xC3\xA0\xC3\xA9\xC3\xAE"); // ÀÉÎ -> àéî
    EXPECT_EQ(lowercased("\xC4\xB0"), "i\xCC\x87");                                // İ -> i + dot above
    EXPECT_EQ(lowercased("\xE1\xBA\x9E"), "\xC3\x9F");                             // ẞ -> ß
    EXPECT_EQ(lowercased("\xD0\x9C\xD0\x98\xD0\xA0"), "\xD0\xBC\xD0\xB8\xD1\x80"); // МИР -> мир
}

struct SpaceCase {
    char32_t c;
    bool whitespace;
    bool newline;
};

TEST(WhiteSpace, SeparatesWhiteSpaceFromNewlines) {
    const SpaceCase cases[] = {
        {U' ', true, false},   {U'\t', true, false},   {0x00A0, true, false},  {0x1680, true, false},
        {0x2000, true, false}, {0x200A, true, false},  {0x202F, true, false},  {0x205F, true, false},
        {0x3000, true, false}, {U'\n', false, true},   {0x0B, false, true},    {0x0C, false, true},
        {U'\r', false, true},  {0x0085, false, true},  {0x2028, false, true},  {0x2029, false, true},
        {U'a', false, false},  {0x200B, false, false}, {0xFEFF, false, false}, {0, false, false},
    };
    for (const SpaceCase &entry : cases) {
        EXPECT_EQ(isWhitespace(entry.c), entry.whitespace) << std::hex << static_cast<unsigned>(entry.c);
        EXPECT_EQ(isWhitespaceOrNewline(entry.c), entry.whitespace || entry.newline)
            << std::hex << static_cast<unsigned>(entry.c);
    }
}

TEST(WhiteSpace, TrimsOnlyItsOwnClass) {
    EXPECT_EQ(trimmingWhitespaceAndNewlines("\xC2\xA0 hi there \xE2\x80\xA8\n\r\n"), "hi there");
    EXPECT_EQ(trimmingWhitespaceAndNewlines(" \n\t "), "");
    EXPECT_EQ(trimmingWhitespace("\n hi \n"), "\n hi \n");
    EXPECT_EQ(trimmingWhitespace(" \xE3\x80\x80hi\t"), "hi");
    EXPECT_EQ(trimmingSpacesAndTabs("\xC2\xA0 hi\t "), "\xC2\xA0 hi");
    EXPECT_EQ(trimmingSpacesAndTabs("\t\t"), "");
    EXPECT_EQ(trimmingWhitespace("\xff "), "\xff");
}

TEST(Utf8, FirstCodePoint) {
    EXPECT_EQ(firstCodePoint(""), 0u);
    EXPECT_EQ(firstCodePoint("abc"), U'a');
    EXPECT_EQ(firstCodePoint(composedE + "x"), 0xE9u);
    EXPECT_EQ(firstCodePoint("\xF0\x9F\x98\x80"), 0x1F600u);
    EXPECT_EQ(firstCodePoint("\xff"
                             "a"),
              0xFFFDu);
}

struct LossyCase {
    std::string bytes;
    std::string decoded;
};

TEST(Utf8, ReplacesEachIllFormedSequenceWithOneReplacementCharacter) {
    const std::string fffd = "\xEF\xBF\xBD";
    const LossyCase cases[] = {
        {"plain", "plain"},
        {composedE, composedE},
        {"a\xff"
         "b",
         "a" + fffd + "b"},
        {"\xF0\x9F\x98", fffd}, // truncated four-byte sequence: one maximal subpart
        {"\xF0\x9F\x98"
         "a",
         fffd + "a"},
        {"\xC0\xAF", fffd + fffd},                       // overlong: C0 is never a lead byte
        {"\xED\xA0\x80", fffd + fffd + fffd},            // encoded surrogate
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd}, // above U+10FFFF
        {"\x80\x80", fffd + fffd},                       // lone continuation bytes
    };
    for (const LossyCase &entry : cases) {
        EXPECT_EQ(isValidUTF8(entry.bytes), entry.bytes == entry.decoded);
        EXPECT_EQ(decodingUTF8Lossy(entry.bytes), entry.decoded);
    }
    EXPECT_TRUE(isValidUTF8(""));
    EXPECT_TRUE(isValidUTF8("\xEF\xBF\xBE")); // a noncharacter is still well-formed
}

TEST(Utf8, TellsIllFormedBytesAnywhereInALongText) {
    // Long runs of ASCII are passed over at once: a bad byte or a character on either side of a run's edge counts.
    const std::string ascii(200, 'a');
    const std::string euro = "\xE2\x82\xAC";
    for (std::size_t at : {0, 1, 62, 63, 64, 65, 127, 128, 199}) {
        std::string withBadByte = ascii;
        withBadByte.insert(at, "\xff");
        EXPECT_FALSE(isValidUTF8(withBadByte)) << at;
        std::string withCharacter = ascii;
        withCharacter.insert(at, euro);
        EXPECT_TRUE(isValidUTF8(withCharacter)) << at;
        EXPECT_FALSE(isValidUTF8(ascii.substr(0, at) + euro.substr(0, 2))) << at; // cut short at the end
    }
}

TEST(Utf8, NormalizingInvalidTextReplacesTheBadBytes) {
    EXPECT_EQ(nfc(decomposedE + "\xff"), composedE + "\xEF\xBF\xBD");
}

TEST(Utf16, ConvertsBothWaysReplacingUnpairedSurrogates) {
    EXPECT_EQ(toUTF16("a\xF0\x9F\x98\x80" + composedE), u"a\U0001F600\u00E9");
    EXPECT_EQ(toUTF8(u"a\U0001F600\u00E9"), "a\xF0\x9F\x98\x80" + composedE);
    EXPECT_EQ(toUTF16("\xff"), u"\uFFFD");
    std::u16string unpaired = {0xD800, u'x', 0xDC00};
    EXPECT_EQ(toUTF8(unpaired), "\xEF\xBF\xBDx\xEF\xBF\xBD");
    // Every length of UTF-8 form, and a lead surrogate as the very last unit.
    std::u16string mixed = u"A\u07FF\u0800\uFFFF\U00010000\U0010FFFF";
    mixed.push_back(0xDBFF);
    EXPECT_EQ(toUTF8(mixed), "A\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xEF\xBF\xBD");
    EXPECT_EQ(toUTF16(toUTF8(u"round \U0001F600 trip")), u"round \U0001F600 trip");
}

TEST(Utf16, ASCIIRunsAroundOtherCharactersAndBadBytesConvertAsCharacterByCharacter) {
    // ASCII is widened sixteen bytes at a time: a character of every UTF-8 length, and a bad byte, at every
    // offset relative to those blocks give what converting each character on its own gives.
    const std::vector<std::pair<std::string, std::u16string>> others{
        {"\xC3\xA9", u"\u00E9"}, {"\xE4\xB8\xAD", u"\u4E2D"}, {"\xF0\x9F\x98\x80", u"\U0001F600"}, {"\xff", u"\uFFFD"}};
    for (const auto &[bytes, units] : others) {
        for (std::size_t before = 0; before < 40; ++before) {
            const std::string ascii = "The quick brown fox jumps over the lazy dog.";
            const std::string text = ascii.substr(0, before) + bytes + ascii;
            const std::u16string widened(ascii.begin(), ascii.end()); // ASCII bytes are their units
            const std::u16string expected = widened.substr(0, before) + units + widened;
            EXPECT_EQ(toUTF16(text), expected) << before << " bytes before";
        }
    }
}

TEST(Utf16, ASCIIRunsAndOtherCharactersAtEveryOffsetConvertAlike) {
    // The conversion reads ASCII four units at a time: every offset of a non-ASCII character or of a
    // surrogate pair relative to those blocks, and every length, gives the same bytes as ICU.
    const std::vector<std::u16string> others{u"\u00E9", u"\u4E2D", u"\U0001F600", std::u16string(1, char16_t(0xDC00)),
                                             std::u16string(1, char16_t(0xD800))};
    for (const std::u16string &other : others) {
        for (std::size_t before = 0; before < 9; ++before) {
            for (std::size_t after = 0; after < 6; ++after) {
                const std::u16string text = std::u16string(before, u'a') + other + std::u16string(after, u'z');
                std::string expected;
                icu::UnicodeString(text.data(), static_cast<int32_t>(text.size())).toUTF8String(expected);
                EXPECT_EQ(toUTF8(text), expected) << before << " " << after;
            }
        }
    }
}

TEST(Pieces, SplitKeepsEmptyPiecesAndJoinRestores) {
    auto pieces = splitKeepingEmpty("a\n\nb\n", "\n");
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(pieces[0], "a");
    EXPECT_EQ(pieces[1], "");
    EXPECT_EQ(pieces[3], "");
    EXPECT_EQ(join(pieces, "\n"), "a\n\nb\n");
    EXPECT_EQ(splitKeepingEmpty("", "\n").size(), 1u);
    EXPECT_EQ(splitKeepingEmpty("a\r\nb", "\r\n").size(), 2u);
    EXPECT_EQ(join(std::vector<std::string>{"x", "y"}, ", "), "x, y");
    EXPECT_EQ(join(std::vector<std::string>{}, ", "), "");
}

TEST(Pieces, ReplacesNonOverlappingOccurrencesLeftToRight) {
    EXPECT_EQ(replacingAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(replacingAll("a/b/c", "/", "\\/"), "a\\/b\\/c");
    EXPECT_EQ(replacingAll("abc", "", "x"), "abc");
    EXPECT_EQ(replacingAll("abc", "d", "x"), "abc");
}

} // namespace
} // namespace velto::text
