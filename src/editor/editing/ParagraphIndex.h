#pragma once

#include "editor/text/ShiftedItemList.h"
#include "editor/text/TextRange.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace velto::editor {

class TextStorage;

/// Where one paragraph starts, as the index keeps it: in 32 bits, since a page holds millions of
/// paragraphs. The position wraps around as it is shifted (see ShiftedItemList).
struct ParagraphStart {
    std::uint32_t position = 0;
};
inline std::uint32_t startOf(const ParagraphStart &start) {
    return start.position;
}
inline void shift(ParagraphStart &start, std::ptrdiff_t delta) {
    start.position = static_cast<std::uint32_t>(static_cast<std::ptrdiff_t>(start.position) + delta);
}

/// Which paragraphs one update replaced: `removedCount` paragraphs starting at `first` (as numbered
/// before the update) became `insertedCount` paragraphs starting at the same number. Paragraphs after
/// them only moved.
struct ParagraphSplice {
    std::size_t first = 0;
    std::size_t removedCount = 0;
    std::size_t insertedCount = 0;
    bool operator==(const ParagraphSplice &) const = default;
};

/// Where every paragraph of a text storage starts, as the text system sees paragraphs: each ends after
/// LF, CR, CRLF (one separator) or PARAGRAPH SEPARATOR (U+2029); LINE SEPARATOR and NEL break lines
/// inside a paragraph. A text that ends with a separator has an empty last paragraph after it, and
/// the empty text has one empty paragraph, so every caret position belongs to a paragraph.
///
/// The index follows the storage's character edits: `sync` rescans only the paragraphs around what
/// changed since the last sync, and rebuilds when the storage no longer remembers every edit. The starts
/// live in blocks with one shift each, so that the paragraphs after an edit move with one number per
/// block: a keystroke costs about its block and the block count, not the page's paragraph count.
class ParagraphIndex {
public:
    ParagraphIndex() = default;
    explicit ParagraphIndex(const TextStorage &storage) { rebuild(storage); }

    /// Scans the whole text.
    void rebuild(const TextStorage &storage);
    /// Brings the index up to the storage's present text. Answers the paragraphs replaced (none removed
    /// and none inserted when the text did not change), or none when the whole index was rebuilt.
    std::optional<ParagraphSplice> sync(const TextStorage &storage);
    /// Applies one change of characters made since the last update: `oldRange` (in the text before)
    /// now holds `newLength` units of the storage's present text. None when it had to rebuild.
    std::optional<ParagraphSplice> applyChange(const TextStorage &storage, TextRange oldRange, std::size_t newLength);

    std::size_t paragraphCount() const { return starts_.size(); }
    std::size_t textLength() const { return length_; }
    /// The character version of the storage the index describes.
    std::uint64_t characterVersion() const { return version_; }

    std::size_t paragraphStart(std::size_t paragraph) const { return starts_.startAt(paragraph); }
    /// The paragraph's range, its separator included.
    TextRange paragraphRange(std::size_t paragraph) const;
    /// The paragraph holding the position; the text's end belongs to the last paragraph.
    std::size_t paragraphContaining(std::size_t position) const;

    /// Calls `visit(paragraph, length)` with the length of every paragraph from `first` up to `end` (separators
    /// included), in order, in one walk.
    template <typename Visit> void forEachParagraphLength(std::size_t first, std::size_t end, Visit &&visit) const {
        end = std::min(end, paragraphCount());
        if (first >= end) {
            return;
        }
        // Each paragraph's length is known once the next one's start is: the walk runs one paragraph ahead.
        std::size_t previous = first;
        std::size_t previousStart = paragraphStart(first);
        starts_.forEachStart(first + 1, end, [&](std::size_t paragraph, std::size_t start) {
            visit(previous, start - previousStart);
            previous = paragraph;
            previousStart = start;
        });
        visit(previous, paragraphRange(previous).length);
    }

    /// Every paragraph's start, in order.
    std::vector<std::size_t> starts() const;

private:
    ShiftedItemList<ParagraphStart> starts_{std::vector<ParagraphStart>{ParagraphStart{0}}};
    std::size_t length_ = 0;
    std::uint64_t version_ = 0;
};

/// The starts of the paragraphs that begin inside (start, end]: every position right after a separator,
/// reading the storage in pieces.
std::vector<std::size_t> paragraphStartsAfter(const TextStorage &storage, std::size_t start, std::size_t end);

/// The units of a paragraph's range that are its contents: the range without its separator.
TextRange paragraphContents(const TextStorage &storage, TextRange paragraph);

} // namespace velto::editor
