#include "editor/text/StringRanges.h"

#include "editor/text/EnclosingRange.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velto::editor {

namespace {

constexpr char16_t lineFeed = u'\n';
constexpr char16_t carriageReturn = u'\r';

} // namespace

// Whole-text scans (fences, code spans) run at every keystroke, so they test four UTF-16 units at a
// time in one 64-bit word: each 16-bit lane's top bit marks a unit worth a closer look.
namespace {

constexpr std::uint64_t lanesOf(std::uint16_t value) {
    return 0x0001000100010001ULL * value;
}
constexpr std::uint64_t laneTopBits = lanesOf(0x8000);

std::uint64_t wordAt(std::u16string_view text, std::size_t position) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + position, sizeof word);
    return word;
}

/// Lanes whose unit is below `bound` (bound at most 0x8000).
std::uint64_t lanesBelow(std::uint64_t word, std::uint16_t bound) {
    return (word - lanesOf(bound)) & ~word & laneTopBits;
}

/// Lanes whose unit is above `bound` (bound below 0x8000).
std::uint64_t lanesAbove(std::uint64_t word, std::uint16_t bound) {
    return ((word + lanesOf(static_cast<std::uint16_t>(0x7FFF - bound))) | word) & laneTopBits;
}

} // namespace

std::size_t lineEnd(std::u16string_view text, std::size_t lineStart) {
    std::size_t position = lineStart;
    // Skip words in which no unit can be a terminator (all between 0x0E and 0x84).
    while (position + 4 <= text.size()) {
        const std::uint64_t word = wordAt(text, position);
        if ((lanesBelow(word, 0x0E) | lanesAbove(word, 0x84)) != 0) {
            break;
        }
        position += 4;
    }
    while (position < text.size() && !isLineTerminator(text[position])) {
        ++position;
    }
    if (position == text.size()) {
        return position;
    }
    if (text[position] == carriageReturn && position + 1 < text.size() && text[position + 1] == lineFeed) {
        return position + 2;
    }
    return position + 1;
}

std::size_t findEitherUnit(std::u16string_view text, std::size_t from, char16_t first, char16_t second) {
    std::size_t position = from;
    const std::uint64_t firstPattern = lanesOf(first);
    const std::uint64_t secondPattern = lanesOf(second);
    while (position + 4 <= text.size()) {
        const std::uint64_t word = wordAt(text, position);
        if ((lanesBelow(word ^ firstPattern, 1) | lanesBelow(word ^ secondPattern, 1)) != 0) {
            break;
        }
        position += 4;
    }
    while (position < text.size() && text[position] != first && text[position] != second) {
        ++position;
    }
    return position;
}

std::size_t findUnit(std::u16string_view text, std::size_t from, char16_t unit) {
    std::size_t position = from;
#if defined(__SSE2__)
    // Eight units at a time where the processor compares sixteen bytes at once: the styler's passes
    // search whole pages for their delimiters.
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(unit));
    while (position + 8 <= text.size()) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + position));
        const int found = _mm_movemask_epi8(_mm_cmpeq_epi16(block, wanted));
        if (found != 0) {
            return position + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(found))) / 2;
        }
        position += 8;
    }
#endif
    const std::uint64_t pattern = lanesOf(unit);
    while (position + 4 <= text.size()) {
        if (lanesBelow(wordAt(text, position) ^ pattern, 1) != 0) {
            break;
        }
        position += 4;
    }
    while (position < text.size() && text[position] != unit) {
        ++position;
    }
    return position;
}

std::size_t findPatternLineTerminator(std::u16string_view text, std::size_t from) {
    std::size_t position = from;
#if defined(__SSE2__)
    // Eight units at a time: a unit up to 0x0D or equal to one of the others may be one.
    const __m128i lastControl = _mm_set1_epi16(0x0D);
    const __m128i nextLine = _mm_set1_epi16(0x85);
    const __m128i lineSeparator = _mm_set1_epi16(0x2028);
    const __m128i paragraphSeparator = _mm_set1_epi16(0x2029);
    while (position + 8 <= text.size()) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + position));
        const __m128i upToLastControl = _mm_cmpeq_epi16(_mm_subs_epu16(block, lastControl), _mm_setzero_si128());
        const __m128i separators =
            _mm_or_si128(_mm_cmpeq_epi16(block, lineSeparator), _mm_cmpeq_epi16(block, paragraphSeparator));
        const int candidates = _mm_movemask_epi8(
            _mm_or_si128(_mm_or_si128(upToLastControl, _mm_cmpeq_epi16(block, nextLine)), separators));
        if (candidates == 0) {
            position += 8;
            continue;
        }
        const std::size_t candidate =
            position + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(candidates))) / 2;
        if (isPatternLineTerminator(text[candidate])) {
            return candidate;
        }
        position = candidate + 1;
    }
#endif
    // Skip words in which no unit can be one: none below 0x0E, none equal to one of the others.
    while (position + 4 <= text.size()) {
        const std::uint64_t word = wordAt(text, position);
        if ((lanesBelow(word, 0x0E) | lanesBelow(word ^ lanesOf(0x85), 1) | lanesBelow(word ^ lanesOf(0x2028), 1) |
             lanesBelow(word ^ lanesOf(0x2029), 1)) != 0) {
            break;
        }
        position += 4;
    }
    while (position < text.size() && !isPatternLineTerminator(text[position])) {
        ++position;
    }
    return position;
}

TextRange lineRange(std::u16string_view text, TextRange range) {
    return detail::enclosingRange(text, range, isLineTerminator);
}

TextRange paragraphRange(std::u16string_view text, TextRange range) {
    return detail::enclosingRange(text, range, detail::isParagraphSeparator);
}

std::size_t contentsEnd(std::u16string_view text, TextRange line) {
    std::size_t end = line.end();
    if (end > line.location && isLineTerminator(text[end - 1])) {
        --end;
        if (end > line.location && text[end] == lineFeed && text[end - 1] == carriageReturn) {
            --end;
        }
    }
    return end;
}

bool isWhitespace(char16_t unit) {
    // The only ASCII space separator is the space itself: the character database is asked about the others.
    return unit == u'\t' || unit == u' ' || (unit >= 0x80 && u_charType(unit) == U_SPACE_SEPARATOR);
}

bool isWhitespaceOrNewline(char16_t unit) {
    return isWhitespace(unit) || (unit >= 0x0A && unit <= 0x0D) || unit == 0x0085 || unit == 0x2028 || unit == 0x2029;
}

std::u16string_view trimmingWhitespaceAndNewlines(std::u16string_view text) {
    std::size_t start = 0;
    std::size_t end = text.size();
    while (start < end && isWhitespaceOrNewline(text[start])) {
        ++start;
    }
    while (end > start && isWhitespaceOrNewline(text[end - 1])) {
        --end;
    }
    return text.substr(start, end - start);
}

namespace {

/// A grapheme iterator over the text, which must outlive it. ICU gets the text as a UText, which it clones
/// shallowly: handed a string instead, it spends time in proportion to the whole text on every call.
std::unique_ptr<icu::BreakIterator> characterIterator(std::u16string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> iterator(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) {
        return nullptr;
    }
    UText holder = UTEXT_INITIALIZER;
    utext_openUChars(&holder, text.data(), static_cast<int64_t>(text.size()), &status);
    iterator->setText(&holder, status);
    utext_close(&holder);
    return U_SUCCESS(status) ? std::move(iterator) : nullptr;
}

} // namespace

std::size_t nextGraphemeBoundary(std::u16string_view text, std::size_t position) {
    if (position >= text.size()) {
        return text.size();
    }
    auto iterator = characterIterator(text);
    if (!iterator) {
        return position + 1;
    }
    const int32_t next = iterator->following(static_cast<int32_t>(position));
    return next == icu::BreakIterator::DONE ? text.size() : static_cast<std::size_t>(next);
}

std::size_t previousGraphemeBoundary(std::u16string_view text, std::size_t position) {
    if (position == 0) {
        return 0;
    }
    auto iterator = characterIterator(text);
    if (!iterator) {
        return position - 1;
    }
    const int32_t previous = iterator->preceding(static_cast<int32_t>(std::min(position, text.size())));
    return previous == icu::BreakIterator::DONE ? 0 : static_cast<std::size_t>(previous);
}

bool containsSubstring(std::u16string_view text, std::u16string_view needle) {
    return text.find(needle) != std::u16string_view::npos;
}

} // namespace velto::editor
