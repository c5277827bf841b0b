#pragma once

#include "editor/TextRange.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Where the caret may stand and how it moves by characters and words, over UTF-16 text (ICU break
// iterators). A grapheme cluster never splits: CRLF, a surrogate pair, a base with its combining marks
// and an emoji sequence joined by ZWJ each count as one character.
namespace velto::editor {

/// The text with every lone surrogate replaced by U+FFFD; complete pairs stay. Same length.
std::u16string replacingLoneSurrogates(std::u16string_view text);
bool containsLoneSurrogate(std::u16string_view text);

bool isGraphemeBoundary(std::u16string_view text, std::size_t position);
/// The boundary at or before the position (positions beyond the text give its length).
std::size_t graphemeBoundaryAtOrBefore(std::u16string_view text, std::size_t position);
/// The boundary at or after the position.
std::size_t graphemeBoundaryAtOrAfter(std::u16string_view text, std::size_t position);
/// The range grown outward until both ends are grapheme boundaries.
TextRange graphemeAlignedRange(std::u16string_view text, TextRange range);

/// The end of the first word that ends after the position; nothing when no word follows.
std::optional<std::size_t> followingWordEnd(std::u16string_view text, std::size_t position);
/// The start of the last word that starts before the position; nothing when none precedes.
std::optional<std::size_t> precedingWordStart(std::u16string_view text, std::size_t position);
/// The end of the first word that ends after the position ("ab| cd." gives the end of "cd"); the text's
/// length when no word follows.
std::size_t nextWordEnd(std::u16string_view text, std::size_t position);
/// The start of the last word that starts before the position; 0 when none precedes.
std::size_t previousWordStart(std::u16string_view text, std::size_t position);
/// The word-break segment holding the position (a word, a run of spaces, a punctuation mark): what a
/// double click selects. At the text's end, the segment before it.
TextRange wordSegmentAt(std::u16string_view text, std::size_t position);

} // namespace velto::editor
