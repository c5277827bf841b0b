#pragma once

#include "editor/text/TextRange.h"

#include <cstddef>
#include <string_view>

// The platform string's line and paragraph ranges and character sets over UTF-16 text.
//
// Lines end at LF, CR, CRLF (one terminator), NEL (U+0085), LINE SEPARATOR (U+2028) and PARAGRAPH
// SEPARATOR (U+2029). Paragraphs end at LF, CR, CRLF and PARAGRAPH SEPARATOR only.
namespace velto::editor {

/// The whole lines the range touches, terminator of the last one included.
TextRange lineRange(std::u16string_view text, TextRange range);
/// The whole paragraphs the range touches, terminator of the last one included.
TextRange paragraphRange(std::u16string_view text, TextRange range);

/// The end of the line's contents: `lineEnd` moved back over the line's terminator.
std::size_t contentsEnd(std::u16string_view text, TextRange line);

/// True for LF, CR, NEL, U+2028 and U+2029.
inline bool isLineTerminator(char16_t unit) {
    return unit <= 0x0D ? (unit == u'\n' || unit == u'\r') : (unit == 0x0085 || unit == 0x2028 || unit == 0x2029);
}

/// Whether the regular-expression engine takes the unit as a line terminator for "^", "$" and ".":
/// line feed, vertical tab, form feed, carriage return, next line and the two separators.
inline bool isPatternLineTerminator(char16_t unit) {
    return unit <= 0x0D ? unit >= 0x0A : (unit == 0x85 || unit == 0x2028 || unit == 0x2029);
}

/// The end of the line that starts at `lineStart`, its terminator included (CRLF counts as one).
std::size_t lineEnd(std::u16string_view text, std::size_t lineStart);

/// The first position at or after `from` holding `unit`, or the text's length.
std::size_t findUnit(std::u16string_view text, std::size_t from, char16_t unit);
/// The first position at or after `from` holding a unit for which `isPatternLineTerminator` holds,
/// or the text's length.
std::size_t findPatternLineTerminator(std::u16string_view text, std::size_t from);
/// The first position at or after `from` holding `first` or `second`, or the text's length.
std::size_t findEitherUnit(std::u16string_view text, std::size_t from, char16_t first, char16_t second);

/// The "white space" set: tab and the space separators (Zs).
bool isWhitespace(char16_t unit);
/// White space plus the newlines LF, VT, FF, CR, NEL, U+2028 and U+2029.
bool isWhitespaceOrNewline(char16_t unit);

/// The text without leading and trailing white space and newlines.
std::u16string_view trimmingWhitespaceAndNewlines(std::u16string_view text);

/// The boundary of the grapheme cluster (user-perceived character) after / before the position.
std::size_t nextGraphemeBoundary(std::u16string_view text, std::size_t position);
std::size_t previousGraphemeBoundary(std::u16string_view text, std::size_t position);

/// Finds `needle` in `text`; true when it occurs.
bool containsSubstring(std::u16string_view text, std::u16string_view needle);

} // namespace velto::editor
