#include "editor/editing/ParagraphIndex.h"

#include "editor/text/TextStorage.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velto::editor {

namespace {

constexpr char16_t lineFeed = u'\n';
constexpr char16_t carriageReturn = u'\r';
constexpr char16_t paragraphSeparator = 0x2029;

bool isParagraphSeparator(char16_t unit) {
    return unit == lineFeed || unit == carriageReturn || unit == paragraphSeparator;
}

/// The first position at or after `from` holding a paragraph separator, or the units' length. Eight units are
/// compared at once where the processor can: indexing a loaded page reads every unit of it.
std::size_t findParagraphSeparator(std::u16string_view units, std::size_t from) {
    std::size_t position = from;
#if defined(__SSE2__)
    const __m128i feeds = _mm_set1_epi16(static_cast<short>(lineFeed));
    const __m128i returns = _mm_set1_epi16(static_cast<short>(carriageReturn));
    const __m128i separators = _mm_set1_epi16(static_cast<short>(paragraphSeparator));
    while (position + 8 <= units.size()) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units.data() + position));
        const __m128i matches =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(block, feeds), _mm_cmpeq_epi16(block, returns)),
                         _mm_cmpeq_epi16(block, separators));
        const int found = _mm_movemask_epi8(matches);
        if (found != 0) {
            return position + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(found))) / 2;
        }
        position += 8;
    }
#endif
    while (position < units.size() && !isParagraphSeparator(units[position])) {
        ++position;
    }
    return position;
}

/// The edits since a version folded into one: the range they touched in the text before them and the
/// length of what it became.
struct CombinedChange {
    TextRange oldRange;
    std::size_t newLength = 0;
};

CombinedChange combine(const std::vector<CharacterEdit> &edits) {
    std::size_t start = edits.front().location;
    std::size_t endNow = start;
    std::ptrdiff_t delta = 0;
    for (const CharacterEdit &edit : edits) {
        const std::size_t editOldEnd = edit.location + edit.oldLength;
        const std::size_t editNewEnd = edit.location + edit.newLength;
        // Where the end of the changed stretch lands once this edit is made.
        std::size_t movedEnd = endNow;
        if (endNow >= editOldEnd) {
            movedEnd = endNow + edit.newLength - edit.oldLength;
        } else if (endNow > edit.location) {
            movedEnd = editNewEnd;
        }
        start = std::min(start, edit.location);
        endNow = std::max(movedEnd, editNewEnd);
        delta += static_cast<std::ptrdiff_t>(edit.newLength) - static_cast<std::ptrdiff_t>(edit.oldLength);
    }
    const auto oldEnd = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(endNow) - delta);
    return CombinedChange{rangeBetween(start, oldEnd), endNow - start};
}

} // namespace

namespace {

/// Calls `visit(start)` with the start of every paragraph that begins inside (start, end], in order, reading
/// the storage's chunks where they lie: copying the text out first cost the load of a big page a pass more.
template <typename Visit>
void forEachParagraphStartAfter(const TextStorage &storage, std::size_t start, std::size_t end, Visit &&visit) {
    // The start after a CR that ended the last piece: an LF right after it belongs to its separator.
    // (A flag and a plain number rather than an optional, which the compiler warns of as maybe uninitialized.)
    bool endedWithCarriageReturn = false;
    std::size_t afterCarriageReturn = 0;
    const auto scan = [&](std::u16string_view piece, std::size_t pieceStart) {
        std::size_t k = 0;
        if (endedWithCarriageReturn) {
            const bool pairs = piece.front() == lineFeed;
            visit(pairs ? pieceStart + 1 : afterCarriageReturn);
            endedWithCarriageReturn = false;
            k = pairs ? 1 : 0;
        }
        for (k = findParagraphSeparator(piece, k); k < piece.size(); k = findParagraphSeparator(piece, k + 1)) {
            if (piece[k] != carriageReturn) {
                visit(pieceStart + k + 1);
            } else if (k + 1 == piece.size()) {
                endedWithCarriageReturn = true;
                afterCarriageReturn = pieceStart + k + 1;
            } else if (piece[k + 1] == lineFeed) {
                visit(pieceStart + k + 2);
                ++k;
            } else {
                visit(pieceStart + k + 1);
            }
        }
    };
    if (start < end) {
        storage.forEachPiece(rangeBetween(start, end), scan);
    }
    // A CR that ends the scanned stretch is followed by an LF just past it: the two are one separator.
    if (endedWithCarriageReturn) {
        const bool pairs = end < storage.length() && storage.characterAt(end) == lineFeed;
        visit(pairs ? end + 1 : afterCarriageReturn);
    }
}

} // namespace

std::vector<std::size_t> paragraphStartsAfter(const TextStorage &storage, std::size_t start, std::size_t end) {
    std::vector<std::size_t> found;
    forEachParagraphStartAfter(storage, start, end, [&found](std::size_t paragraph) { found.push_back(paragraph); });
    return found;
}

TextRange paragraphContents(const TextStorage &storage, TextRange paragraph) {
    if (paragraph.length == 0) {
        return paragraph;
    }
    const std::size_t tail = std::min<std::size_t>(2, paragraph.length);
    const std::u16string last = storage.substring(TextRange{paragraph.end() - tail, tail});
    std::size_t separator = 0;
    if (isParagraphSeparator(last.back())) {
        separator = 1;
        if (last.back() == lineFeed && last.size() == 2 && last.front() == carriageReturn) {
            separator = 2;
        }
    }
    return TextRange{paragraph.location, paragraph.length - separator};
}

void ParagraphIndex::rebuild(const TextStorage &storage) {
    length_ = storage.length();
    version_ = storage.characterVersion();
    // Each start goes into the list as it is found: a loaded page has millions of paragraphs.
    starts_ = ShiftedItemList<ParagraphStart>();
    starts_.appendStored(ParagraphStart{0});
    forEachParagraphStartAfter(storage, 0, length_, [this](std::size_t start) {
        starts_.appendStored(ParagraphStart{static_cast<std::uint32_t>(start)});
    });
}

std::optional<ParagraphSplice> ParagraphIndex::sync(const TextStorage &storage) {
    if (storage.characterVersion() == version_ && storage.length() == length_) {
        return ParagraphSplice{0, 0, 0};
    }
    const auto edits = storage.characterEditsSince(version_);
    if (!edits || edits->empty()) {
        rebuild(storage);
        return std::nullopt;
    }
    const CombinedChange change = combine(*edits);
    if (change.oldRange.end() > length_) {
        rebuild(storage);
        return std::nullopt;
    }
    return applyChange(storage, change.oldRange, change.newLength);
}

std::optional<ParagraphSplice> ParagraphIndex::applyChange(const TextStorage &storage, TextRange oldRange,
                                                           std::size_t newLength) {
    if (oldRange.location == 0 && oldRange.length == length_) {
        // The whole text was replaced, as when a page is loaded: every paragraph is new, and scanning the text
        // into the list costs less than splicing millions of them into it.
        const std::size_t removed = starts_.size();
        rebuild(storage);
        return ParagraphSplice{0, removed, starts_.size()};
    }
    const std::ptrdiff_t delta = static_cast<std::ptrdiff_t>(newLength) - static_cast<std::ptrdiff_t>(oldRange.length);
    // Rescan from the paragraph holding the unit before the change (a CR there may now pair with an LF
    // the change brought) through the paragraph holding the unit after it.
    const std::size_t first = paragraphContaining(oldRange.location > 0 ? oldRange.location - 1 : 0);
    const std::size_t last = paragraphContaining(oldRange.end());
    const bool hasFollowing = last + 1 < starts_.size();
    const std::size_t oldEnd = hasFollowing ? starts_.startAt(last + 1) : length_;
    const auto newEnd = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(oldEnd) + delta);

    // Inside the rescanned paragraphs separators can only have changed where the change is: from the
    // unit before it (a CR there may pair with an LF it brought) to the unit after it.
    const std::size_t windowStart = std::max(starts_.startAt(first), oldRange.location > 0 ? oldRange.location - 1 : 0);
    const std::size_t windowEnd = std::min(newEnd, oldRange.location + newLength + 1);
    std::vector<std::size_t> fresh = paragraphStartsAfter(storage, windowStart, windowEnd);
    if (!fresh.empty() && fresh.back() > newEnd) {
        rebuild(storage);
        return std::nullopt;
    }
    if (hasFollowing) {
        // The separator that ended the last rescanned paragraph lies after the change and still ends it;
        // its start is kept below, moved.
        if (!fresh.empty() && fresh.back() == newEnd) {
            fresh.pop_back();
        }
    }
    std::vector<ParagraphStart> freshStarts;
    for (const std::size_t start : fresh) {
        freshStarts.push_back(ParagraphStart{static_cast<std::uint32_t>(start)});
    }
    starts_.splice(first + 1, last - first, freshStarts);
    starts_.shiftFrom(first + 1 + freshStarts.size(), delta);
    length_ = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(length_) + delta);
    version_ = storage.characterVersion();
    return ParagraphSplice{first, last - first + 1, fresh.size() + 1};
}

TextRange ParagraphIndex::paragraphRange(std::size_t paragraph) const {
    const std::size_t end = paragraph + 1 < starts_.size() ? starts_.startAt(paragraph + 1) : length_;
    return rangeBetween(starts_.startAt(paragraph), end);
}

std::size_t ParagraphIndex::paragraphContaining(std::size_t position) const {
    // The first paragraph starts at 0, so some start lies at or before every position.
    return starts_.firstStartingAtOrAfter(position + 1) - 1;
}

std::vector<std::size_t> ParagraphIndex::starts() const {
    std::vector<std::size_t> all;
    all.reserve(starts_.size());
    for (std::size_t paragraph = 0; paragraph < starts_.size(); ++paragraph) {
        all.push_back(starts_.startAt(paragraph));
    }
    return all;
}

} // namespace velto::editor
