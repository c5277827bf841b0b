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

class TextStorage;

/// UTF-16 text in one or two contiguous pieces: a string, or the editor storage's units before and after
/// its edit gap. The break iterators read both pieces in place, so the storage never closes its gap for them.
class TextPieces {
public:
    TextPieces(std::u16string_view text)
        : before_(text) {}
    TextPieces(const std::u16string &text)
        : before_(text) {}
    TextPieces(const char16_t *text)
        : before_(text) {}
    TextPieces(std::u16string_view before, std::u16string_view after)
        : before_(before)
        , after_(after) {}
    /// The storage's units as they lie. Valid until its characters next change.
    static TextPieces of(const TextStorage &storage);

    std::size_t size() const { return before_.size() + after_.size(); }
    bool empty() const { return size() == 0; }
    char16_t operator[](std::size_t index) const {
        return index < before_.size() ? before_[index] : after_[index - before_.size()];
    }
    std::u16string_view before() const { return before_; }
    std::u16string_view after() const { return after_; }

private:
    std::u16string_view before_;
    std::u16string_view after_;
};

/// The text with every lone surrogate replaced by U+FFFD; complete pairs stay. Same length.
std::u16string replacingLoneSurrogates(std::u16string_view text);
bool containsLoneSurrogate(std::u16string_view text);

bool isGraphemeBoundary(TextPieces text, std::size_t position);
/// The boundary at or before the position (positions beyond the text give its length).
std::size_t graphemeBoundaryAtOrBefore(TextPieces text, std::size_t position);
/// The boundary at or after the position.
std::size_t graphemeBoundaryAtOrAfter(TextPieces text, std::size_t position);
/// The boundary after / before the position, as nextGraphemeBoundary and previousGraphemeBoundary give
/// on a string.
std::size_t graphemeBoundaryAfter(TextPieces text, std::size_t position);
std::size_t graphemeBoundaryBefore(TextPieces text, std::size_t position);
/// The range grown outward until both ends are grapheme boundaries.
TextRange graphemeAlignedRange(TextPieces text, TextRange range);

/// The end of the first word that ends after the position; nothing when no word follows.
std::optional<std::size_t> followingWordEnd(TextPieces text, std::size_t position);
/// The start of the last word that starts before the position; nothing when none precedes.
std::optional<std::size_t> precedingWordStart(TextPieces text, std::size_t position);
/// The end of the first word that ends after the position ("ab| cd." gives the end of "cd"); the text's
/// length when no word follows.
std::size_t nextWordEnd(TextPieces text, std::size_t position);
/// The start of the last word that starts before the position; 0 when none precedes.
std::size_t previousWordStart(TextPieces text, std::size_t position);
/// The word-break segment holding the position (a word, a run of spaces, a punctuation mark): what a
/// double click selects. At the text's end, the segment before it.
TextRange wordSegmentAt(TextPieces text, std::size_t position);

} // namespace velto::editor
