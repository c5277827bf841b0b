#pragma once

#include "editor/text/TextRange.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where the caret may stand and how it moves by characters and words, over UTF-16 text (ICU break
// iterators). A grapheme cluster never splits: CRLF, a surrogate pair, a base with its combining marks
// and an emoji sequence joined by ZWJ each count as one character.
namespace velto::editor {

class TextStorage;

/// UTF-16 text in one or more contiguous pieces: a string, or the editor storage's chunks. The break
/// iterators read the pieces in place, so the storage never joins its text for them.
class TextPieces {
public:
    TextPieces(std::u16string_view text)
        : single_(text)
        , size_(text.size()) {}
    TextPieces(const std::u16string &text)
        : TextPieces(std::u16string_view(text)) {}
    TextPieces(const char16_t *text)
        : TextPieces(std::u16string_view(text)) {}
    /// The pieces in order; empty ones are left out. No surrogate pair may be split between two.
    explicit TextPieces(const std::vector<std::u16string_view> &pieces);
    TextPieces(std::u16string_view before, std::u16string_view after)
        : TextPieces(std::vector<std::u16string_view>{before, after}) {}
    /// The storage's units as they lie. Valid until its characters next change.
    static TextPieces of(const TextStorage &storage);

    std::size_t size() const { return size_; }
    bool empty() const { return size() == 0; }
    char16_t operator[](std::size_t index) const;

    /// The pieces (none empty; none at all for an empty text) and where each starts.
    std::size_t pieceCount() const { return layout_ ? layout_->pieces.size() : (single_.empty() ? 0 : 1); }
    std::u16string_view piece(std::size_t index) const { return layout_ ? layout_->pieces[index] : single_; }
    std::size_t pieceStart(std::size_t index) const { return layout_ ? layout_->starts[index] : 0; }
    /// The index of the piece holding the unit at the index (which lies within the text).
    std::size_t pieceHolding(std::size_t index) const;

private:
    struct Layout {
        std::vector<std::u16string_view> pieces;
        std::vector<std::size_t> starts;
    };
    std::u16string_view single_;           // the text when it is one piece
    std::shared_ptr<const Layout> layout_; // the pieces when there are several; shared by copies
    std::size_t size_ = 0;
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
