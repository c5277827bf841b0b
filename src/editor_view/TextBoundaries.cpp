#include "editor_view/TextBoundaries.h"

#include <unicode/brkiter.h>
#include <unicode/ubrk.h>
#include <unicode/utext.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <memory>

namespace velto::editor {

namespace {

constexpr char16_t replacementCharacter = 0xFFFD;

/// A break iterator over the text without copying it (the text must outlive it). The text is handed over
/// as a UText: handing ICU a string instead costs time in proportion to the whole text on every use.
class Breaks {
public:
    enum class Kind { grapheme, word };

    Breaks(Kind kind, std::u16string_view text) {
        UErrorCode status = U_ZERO_ERROR;
        iterator_.reset(kind == Kind::grapheme
                            ? icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status)
                            : icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) {
            iterator_.reset();
            return;
        }
        // The iterator keeps a shallow clone of the UText; the characters themselves stay the caller's.
        UText holder = UTEXT_INITIALIZER;
        utext_openUChars(&holder, text.data(), static_cast<int64_t>(text.size()), &status);
        iterator_->setText(&holder, status);
        utext_close(&holder);
        if (U_FAILURE(status)) {
            iterator_.reset();
        }
    }

    bool valid() const { return iterator_ != nullptr; }
    icu::BreakIterator &operator*() { return *iterator_; }
    icu::BreakIterator *operator->() { return iterator_.get(); }

private:
    std::unique_ptr<icu::BreakIterator> iterator_;
};

int32_t clampedPosition(std::u16string_view text, std::size_t position) {
    return static_cast<int32_t>(std::min(position, text.size()));
}

/// Whether the word-break segment that ends at the iterator's current boundary is a word (letters,
/// numbers, ideographs), not spaces or punctuation.
bool segmentBeforeIsWord(icu::BreakIterator &iterator) {
    return iterator.getRuleStatus() != UBRK_WORD_NONE;
}

} // namespace

std::u16string replacingLoneSurrogates(std::u16string_view text) {
    std::u16string result(text);
    for (std::size_t index = 0; index < result.size(); ++index) {
        char16_t unit = result[index];
        if (U16_IS_LEAD(unit) && index + 1 < result.size() && U16_IS_TRAIL(result[index + 1])) {
            ++index; // a complete pair
        } else if (U16_IS_SURROGATE(unit)) {
            result[index] = replacementCharacter;
        }
    }
    return result;
}

bool containsLoneSurrogate(std::u16string_view text) {
    for (std::size_t index = 0; index < text.size(); ++index) {
        char16_t unit = text[index];
        if (U16_IS_LEAD(unit) && index + 1 < text.size() && U16_IS_TRAIL(text[index + 1])) {
            ++index;
        } else if (U16_IS_SURROGATE(unit)) {
            return true;
        }
    }
    return false;
}

bool isGraphemeBoundary(std::u16string_view text, std::size_t position) {
    if (position == 0 || position >= text.size()) {
        return true;
    }
    Breaks breaks(Breaks::Kind::grapheme, text);
    if (!breaks.valid()) {
        return !(U16_IS_LEAD(text[position - 1]) && U16_IS_TRAIL(text[position]));
    }
    return breaks->isBoundary(static_cast<int32_t>(position));
}

std::size_t graphemeBoundaryAtOrBefore(std::u16string_view text, std::size_t position) {
    if (position >= text.size()) {
        return text.size();
    }
    if (isGraphemeBoundary(text, position)) {
        return position;
    }
    // The start of the cluster holding the position: the boundary before its end. (Asked directly for the
    // boundary before a position inside a surrogate pair, ICU moves to the pair's start first and answers
    // the boundary before that.)
    Breaks breaks(Breaks::Kind::grapheme, text);
    if (!breaks.valid()) {
        return position - 1;
    }
    int32_t end = breaks->following(static_cast<int32_t>(position));
    int32_t start = breaks->preceding(end == icu::BreakIterator::DONE ? static_cast<int32_t>(text.size()) : end);
    return start == icu::BreakIterator::DONE ? 0 : static_cast<std::size_t>(start);
}

std::size_t graphemeBoundaryAtOrAfter(std::u16string_view text, std::size_t position) {
    if (position >= text.size()) {
        return text.size();
    }
    if (isGraphemeBoundary(text, position)) {
        return position;
    }
    Breaks breaks(Breaks::Kind::grapheme, text);
    int32_t next = breaks.valid() ? breaks->following(static_cast<int32_t>(position)) : icu::BreakIterator::DONE;
    return next == icu::BreakIterator::DONE ? position + 1 : static_cast<std::size_t>(next);
}

TextRange graphemeAlignedRange(std::u16string_view text, TextRange range) {
    std::size_t start = graphemeBoundaryAtOrBefore(text, range.location);
    std::size_t end = graphemeBoundaryAtOrAfter(text, std::max(range.end(), start));
    return rangeBetween(start, end);
}

std::optional<std::size_t> followingWordEnd(std::u16string_view text, std::size_t position) {
    Breaks breaks(Breaks::Kind::word, text);
    if (!breaks.valid()) {
        return std::nullopt;
    }
    int32_t boundary = breaks->following(clampedPosition(text, position));
    while (boundary != icu::BreakIterator::DONE) {
        if (segmentBeforeIsWord(*breaks)) {
            return static_cast<std::size_t>(boundary);
        }
        boundary = breaks->next();
    }
    return std::nullopt;
}

std::optional<std::size_t> precedingWordStart(std::u16string_view text, std::size_t position) {
    Breaks breaks(Breaks::Kind::word, text);
    if (!breaks.valid()) {
        return std::nullopt;
    }
    int32_t start = breaks->preceding(clampedPosition(text, position));
    while (start != icu::BreakIterator::DONE) {
        // The status of a segment is read at its end boundary.
        breaks->following(start);
        if (segmentBeforeIsWord(*breaks)) {
            return static_cast<std::size_t>(start);
        }
        start = breaks->preceding(start);
    }
    return std::nullopt;
}

std::size_t nextWordEnd(std::u16string_view text, std::size_t position) {
    return followingWordEnd(text, position).value_or(text.size());
}

std::size_t previousWordStart(std::u16string_view text, std::size_t position) {
    return precedingWordStart(text, position).value_or(0);
}

TextRange wordSegmentAt(std::u16string_view text, std::size_t position) {
    if (text.empty()) {
        return TextRange{0, 0};
    }
    std::size_t at = std::min(position, text.size() - 1);
    Breaks breaks(Breaks::Kind::word, text);
    if (!breaks.valid()) {
        return TextRange{at, 1};
    }
    int32_t end = breaks->following(static_cast<int32_t>(at));
    int32_t start = breaks->preceding(end);
    return rangeBetween(static_cast<std::size_t>(start), static_cast<std::size_t>(end));
}

} // namespace velto::editor
