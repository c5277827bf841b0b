#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Unicode text helpers on ICU. Texts are UTF-8 in std::string. Where the program compares texts
// (keys, lines, pages, records) it means canonical equivalence: "é" written as one code point equals
// "e" followed by a combining acute accent.
namespace velto::text {

/// True when both texts are canonically equivalent (equal after NFC). ASCII texts compare as bytes.
bool canonicallyEqual(std::string_view a, std::string_view b);

/// Orders texts by their NFC forms in code-point order; a total order consistent with canonicallyEqual.
/// Negative, zero or positive like strcmp.
int canonicalCompare(std::string_view a, std::string_view b);

/// The NFC form of the text (ASCII comes back unchanged without work).
std::string nfc(std::string_view text);

/// A hash consistent with canonicallyEqual (hashes the NFC form).
std::size_t canonicalHash(std::string_view text);

/// Number of extended grapheme clusters ("characters" as a reader counts them).
std::size_t graphemeCount(std::string_view text);

/// The first `count` grapheme clusters of the text (the whole text when it has fewer).
std::string graphemePrefix(std::string_view text, std::size_t count);

/// Full Unicode lower-casing, locale independent.
std::string lowercased(std::string_view text);

/// Unicode White_Space, without the line and paragraph breaks: space, tab, no-break space, the space
/// separators (Zs). This is the "white space" character set.
bool isWhitespace(char32_t c);

/// isWhitespace or a newline: LF, VT, FF, CR, NEL (U+0085), U+2028, U+2029.
bool isWhitespaceOrNewline(char32_t c);

/// The text without leading and trailing white space and newlines.
std::string_view trimmingWhitespaceAndNewlines(std::string_view text);

/// The text without leading and trailing white space (no newlines).
std::string_view trimmingWhitespace(std::string_view text);

/// The text without leading and trailing " " and "\t" only.
std::string_view trimmingSpacesAndTabs(std::string_view text);

/// The first code point of a UTF-8 text (U+FFFD for an invalid sequence); 0 for an empty text.
char32_t firstCodePoint(std::string_view text);

/// True when the bytes are well-formed UTF-8.
bool isValidUTF8(std::string_view bytes);

/// True when no byte has its high bit set. Most texts are ASCII, and this test (which the compiler does many
/// bytes at a time) spares them the full Unicode handling.
bool isASCII(std::string_view text);

/// The bytes decoded as UTF-8, each ill-formed sequence replaced by U+FFFD.
std::string decodingUTF8Lossy(std::string_view bytes);

/// Splits at every occurrence of the separator, keeping empty pieces ("a\n" gives "a" and "").
std::vector<std::string_view> splitKeepingEmpty(std::string_view text, std::string_view separator);

/// Joins the pieces with the separator.
std::string join(const std::vector<std::string_view> &pieces, std::string_view separator);
std::string join(const std::vector<std::string> &pieces, std::string_view separator);

/// Replaces every non-overlapping occurrence, left to right.
std::string replacingAll(std::string_view text, std::string_view from, std::string_view to);

/// UTF-8 <-> UTF-16 conversion (invalid UTF-8 becomes U+FFFD).
std::u16string toUTF16(std::string_view text);
/// Writes the units toUTF16 gives for the text from `units` on, at most one for each byte, and answers where they
/// end. Pieces of a long text cut where a byte other than a UTF-8 continuation byte starts, decoded one after the
/// other, give the units of the whole.
char16_t *decodeUTF16(std::string_view text, char16_t *units);
std::string toUTF8(std::u16string_view text);
/// toUTF8(text).size(), counted without making the text.
std::size_t utf8Length(std::u16string_view text);

} // namespace velto::text
