#include "editor/editing/TextBoundaries.h"

#include "editor/text/TextStorage.h"

#include <unicode/brkiter.h>
#include <unicode/ubrk.h>
#include <unicode/utext.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace velto::editor {

namespace {

constexpr char16_t replacementCharacter = 0xFFFD;

// The pieces as a UText of ICU's own kind: each piece is one chunk, read in place. The context holds
// the TextPieces.

const TextPieces &piecesOf(const UText *ut) {
    return *static_cast<const TextPieces *>(ut->context);
}

int64_t piecesLength(UText *ut) {
    return static_cast<int64_t>(piecesOf(ut).size());
}

UBool accessPieces(UText *ut, int64_t index, UBool forward) {
    const TextPieces &text = piecesOf(ut);
    const auto length = static_cast<int64_t>(text.size());
    index = std::clamp<int64_t>(index, 0, length);
    // The chunk holding the unit at the index (forward) or the one before it (backward).
    const int64_t unit = forward ? std::min(index, length - 1) : std::max<int64_t>(index - 1, 0);
    const std::size_t piece = text.pieceHolding(static_cast<std::size_t>(unit));
    const auto start = static_cast<int64_t>(text.pieceStart(piece));
    const int64_t limit = start + static_cast<int64_t>(text.piece(piece).size());
    ut->chunkContents = text.piece(piece).data();
    ut->chunkNativeStart = start;
    ut->chunkNativeLimit = limit;
    ut->chunkLength = static_cast<int32_t>(limit - start);
    ut->nativeIndexingLimit = ut->chunkLength;
    ut->chunkOffset = static_cast<int32_t>(std::clamp(index, start, limit) - start);
    return forward ? start <= index && index < limit : start < index && index <= limit;
}

int32_t extractPieces(UText *ut, int64_t start, int64_t limit, UChar *destination, int32_t capacity,
                      UErrorCode *status) {
    if (U_FAILURE(*status)) {
        return 0;
    }
    if (capacity < 0 || (destination == nullptr && capacity > 0) || start > limit) {
        *status = U_ILLEGAL_ARGUMENT_ERROR;
        return 0;
    }
    const TextPieces &text = piecesOf(ut);
    const auto length = static_cast<int64_t>(text.size());
    start = std::clamp<int64_t>(start, 0, length);
    limit = std::clamp<int64_t>(limit, start, length);
    const auto count = static_cast<int32_t>(limit - start);
    for (int64_t index = start; index < limit && index - start < capacity; ++index) {
        destination[index - start] = text[static_cast<std::size_t>(index)];
    }
    if (count < capacity) {
        destination[count] = 0;
    } else if (count == capacity) {
        *status = U_STRING_NOT_TERMINATED_WARNING;
    } else {
        *status = U_BUFFER_OVERFLOW_ERROR;
    }
    return count;
}

UText *clonePieces(UText *destination, const UText *source, UBool deep, UErrorCode *status) {
    if (U_FAILURE(*status)) {
        return destination;
    }
    if (deep) {
        *status = U_UNSUPPORTED_ERROR; // the pieces belong to the caller
        return destination;
    }
    destination = utext_setup(destination, 0, status);
    if (U_FAILURE(*status)) {
        return destination;
    }
    destination->pFuncs = source->pFuncs;
    destination->providerProperties = source->providerProperties;
    destination->context = source->context;
    accessPieces(destination, utext_getNativeIndex(source), true);
    return destination;
}

const UTextFuncs piecesFuncs = [] {
    UTextFuncs funcs{};
    funcs.tableSize = sizeof(UTextFuncs);
    funcs.clone = clonePieces;
    funcs.nativeLength = piecesLength;
    funcs.access = accessPieces;
    funcs.extract = extractPieces;
    return funcs;
}();

/// Opens a UText over the pieces: ICU's own UChars text for one piece, the chunked one for several.
/// The pieces must outlive the UText and its clones.
void openPieces(UText *ut, const TextPieces &text, UErrorCode *status) {
    if (text.pieceCount() <= 1) {
        const std::u16string_view only = text.pieceCount() == 0 ? std::u16string_view() : text.piece(0);
        utext_openUChars(ut, only.data(), static_cast<int64_t>(only.size()), status);
        return;
    }
    if (utext_setup(ut, 0, status) == nullptr || U_FAILURE(*status)) {
        return;
    }
    ut->pFuncs = &piecesFuncs;
    ut->providerProperties = 1 << UTEXT_PROVIDER_STABLE_CHUNKS;
    ut->context = &text;
    accessPieces(ut, 0, true);
}

/// A break iterator over the text without copying it (the text must outlive it). The text is handed over
/// as a UText: handing ICU a string instead costs time in proportion to the whole text on every use.
class Breaks {
public:
    enum class Kind { grapheme, word };

    Breaks(Kind kind, const TextPieces &text)
        : kind_(kind) {
        UErrorCode status = U_ZERO_ERROR;
        iterator_ = takeIterator(kind, status);
        if (U_FAILURE(status)) {
            iterator_.reset();
            return;
        }
        // The iterator keeps a shallow clone of the UText; the characters themselves stay the caller's.
        UText holder = UTEXT_INITIALIZER;
        openPieces(&holder, text, &status);
        if (U_SUCCESS(status)) {
            iterator_->setText(&holder, status);
        }
        utext_close(&holder);
        if (U_FAILURE(status)) {
            iterator_.reset();
        }
    }

    ~Breaks() {
        if (iterator_) {
            spareIterators(kind_).push_back(std::move(iterator_));
        }
    }
    Breaks(const Breaks &) = delete;
    Breaks &operator=(const Breaks &) = delete;

    bool valid() const { return iterator_ != nullptr; }
    icu::BreakIterator &operator*() { return *iterator_; }
    icu::BreakIterator *operator->() { return iterator_.get(); }

private:
    // Making an iterator costs more than a caret step or a Backspace itself, so finished ones are kept
    // for the next use on the same thread (setText starts each use afresh).
    static std::vector<std::unique_ptr<icu::BreakIterator>> &spareIterators(Kind kind) {
        thread_local std::vector<std::unique_ptr<icu::BreakIterator>> spareGrapheme;
        thread_local std::vector<std::unique_ptr<icu::BreakIterator>> spareWord;
        return kind == Kind::grapheme ? spareGrapheme : spareWord;
    }

    static std::unique_ptr<icu::BreakIterator> takeIterator(Kind kind, UErrorCode &status) {
        std::vector<std::unique_ptr<icu::BreakIterator>> &spare = spareIterators(kind);
        if (!spare.empty()) {
            std::unique_ptr<icu::BreakIterator> iterator = std::move(spare.back());
            spare.pop_back();
            return iterator;
        }
        return std::unique_ptr<icu::BreakIterator>(
            kind == Kind::grapheme ? icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status)
                                   : icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status));
    }

    Kind kind_;
    std::unique_ptr<icu::BreakIterator> iterator_;
};

int32_t clampedPosition(const TextPieces &text, std::size_t position) {
    return static_cast<int32_t>(std::min(position, text.size()));
}

/// Whether the word-break segment that ends at the iterator's current boundary is a word (letters,
/// numbers, ideographs), not spaces or punctuation.
bool segmentBeforeIsWord(icu::BreakIterator &iterator) {
    return iterator.getRuleStatus() != UBRK_WORD_NONE;
}

} // namespace

TextPieces::TextPieces(const std::vector<std::u16string_view> &pieces) {
    auto layout = std::make_shared<Layout>();
    for (const std::u16string_view piece : pieces) {
        if (!piece.empty()) {
            layout->pieces.push_back(piece);
            layout->starts.push_back(size_);
            size_ += piece.size();
        }
    }
    if (layout->pieces.size() == 1) {
        single_ = layout->pieces.front();
    } else if (layout->pieces.size() > 1) {
        layout_ = std::move(layout);
    }
}

TextPieces TextPieces::of(const TextStorage &storage) {
    return TextPieces(storage.pieces());
}

std::size_t TextPieces::pieceHolding(std::size_t index) const {
    if (!layout_) {
        return 0;
    }
    const auto after = std::upper_bound(layout_->starts.begin(), layout_->starts.end(), index);
    return static_cast<std::size_t>(after - layout_->starts.begin()) - 1;
}

char16_t TextPieces::operator[](std::size_t index) const {
    if (!layout_) {
        return single_[index];
    }
    const std::size_t piece = pieceHolding(index);
    return layout_->pieces[piece][index - layout_->starts[piece]];
}

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

bool isGraphemeBoundary(TextPieces text, std::size_t position) {
    if (position == 0 || position >= text.size()) {
        return true;
    }
    Breaks breaks(Breaks::Kind::grapheme, text);
    if (!breaks.valid()) {
        return !(U16_IS_LEAD(text[position - 1]) && U16_IS_TRAIL(text[position]));
    }
    return breaks->isBoundary(static_cast<int32_t>(position));
}

std::size_t graphemeBoundaryAtOrBefore(TextPieces text, std::size_t position) {
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

std::size_t graphemeBoundaryAtOrAfter(TextPieces text, std::size_t position) {
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

std::size_t graphemeBoundaryAfter(TextPieces text, std::size_t position) {
    if (position >= text.size()) {
        return text.size();
    }
    Breaks breaks(Breaks::Kind::grapheme, text);
    if (!breaks.valid()) {
        return position + 1;
    }
    const int32_t next = breaks->following(static_cast<int32_t>(position));
    return next == icu::BreakIterator::DONE ? text.size() : static_cast<std::size_t>(next);
}

std::size_t graphemeBoundaryBefore(TextPieces text, std::size_t position) {
    if (position == 0) {
        return 0;
    }
    Breaks breaks(Breaks::Kind::grapheme, text);
    if (!breaks.valid()) {
        return position - 1;
    }
    const int32_t previous = breaks->preceding(clampedPosition(text, position));
    return previous == icu::BreakIterator::DONE ? 0 : static_cast<std::size_t>(previous);
}

TextRange graphemeAlignedRange(TextPieces text, TextRange range) {
    std::size_t start = graphemeBoundaryAtOrBefore(text, range.location);
    std::size_t end = graphemeBoundaryAtOrAfter(text, std::max(range.end(), start));
    return rangeBetween(start, end);
}

std::optional<std::size_t> followingWordEnd(TextPieces text, std::size_t position) {
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

std::optional<std::size_t> precedingWordStart(TextPieces text, std::size_t position) {
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

std::size_t nextWordEnd(TextPieces text, std::size_t position) {
    return followingWordEnd(text, position).value_or(text.size());
}

std::size_t previousWordStart(TextPieces text, std::size_t position) {
    return precedingWordStart(text, position).value_or(0);
}

TextRange wordSegmentAt(TextPieces text, std::size_t position) {
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
