// The cache's entries and pieces, made, kept and followed through the storage's edits. Where they stand is
// LayoutCacheGeometry.cpp; their heights estimated and measured while idle, LayoutCacheMeasuring.cpp.
#include "editor_view/layout/LayoutCache.h"

#include "editor/markdown/MarkdownStyler.h"
#include "editor/text/TextStorage.h"
#include "editor_view/layout/LayoutFormats.h"

#include <algorithm>
#include <iterator>
#include <tuple>

namespace velto::editor {

namespace {

/// How far back from a piece's nominal end a break between words is looked for.
constexpr std::size_t segmentBreakSearch = 2048;
/// How many laid-out pieces the cache keeps at most, whatever their size.
constexpr std::size_t layoutCountBudget = 2048;

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

} // namespace

LayoutCache::LayoutCache(const TextStorage &storage, LayoutFormats &formats)
    : storage_(storage)
    , formats_(formats) {
    rebuildEntries();
    storageSubscription_ = storage_.subscribe(*this);
}

LayoutCache::~LayoutCache() = default;

std::size_t LayoutCache::bookkeepingBytes() const {
    std::size_t bytes = pieces_.bytes() + heights_.bytes() + plainMeasured_.capacity() / 8 +
                        (blockTops_.capacity() + blockSums_.capacity()) * sizeof(double);
    for (const auto &[paragraph, segments] : pieces_) {
        bytes += sizeof(std::vector<Segment>) + segments->capacity() * sizeof(Segment);
    }
    return bytes;
}

void LayoutCache::setWidth(double width) {
    if (width == width_) {
        return;
    }
    width_ = width;
    ++estimatesGeneration_;
    measuredHeights_.clear(); // every height it holds is for the old width
    for (const std::size_t paragraph : pieces_.paragraphs()) {
        for (Segment &segment : piecesOf(paragraph)) {
            invalidateSegment(segment);
        }
        makePlainIfPossible(paragraph);
    }
    plainMeasured_.assign(heights_.size(), false);
    measureCursor_ = 0;
    measureEnd_ = heights_.size();
}

void LayoutCache::setEmptyTextAttributes(const Attributes &attributes) {
    emptyTextAttributes_ = attributes;
}

void LayoutCache::setComposition(std::optional<Composition> composition) {
    const std::size_t length = storage_.length();
    if (composition_ && composition_->position <= length) {
        invalidateAttributes(TextRange{composition_->position, 0});
    }
    composition_ = std::move(composition);
    if (composition_ && composition_->position <= length) {
        invalidateAttributes(TextRange{composition_->position, 0});
    }
}

QRectF LayoutCache::compositionCaretRect(std::size_t cursor) {
    if (!composition_) {
        return {};
    }
    const Piece piece = pieceFor(composition_->position);
    const std::size_t offset = composition_->position - std::min(composition_->position, piece.start) +
                               std::min(cursor, composition_->text.size());
    const LaidOutLine &line = piece.layout->lines()[piece.layout->lineIndexForOffset(offset)];
    return QRectF(piece.layout->caretX(offset), piece.top + line.top, 0, line.height);
}

void LayoutCache::reset() {
    measuredHeights_.clear(); // the look may have changed under the same attributes
    rebuildEntries();
}

void LayoutCache::rebuildEntries() {
    ++estimatesGeneration_;
    estimateScale_ = 1;
    index_.rebuild(storage_);
    pieces_.clear();
    heights_.assign(index_.paragraphCount());
    plainMeasured_.assign(index_.paragraphCount(), false);
    estimateHeights(0, heights_.size());
    blockTops_.assign(heights_.size() / topsStride + 1, 0);
    blockSums_.clear();
    documentHeight_ = 0;
    topsValidUpTo_ = 0;
    summedBlocks_ = 0;
    measureCursor_ = 0;
    measureEnd_ = heights_.size();
    liveUnits_ = 0;
    liveLayouts_ = 0;
}

// ---- following the text ----

void LayoutCache::editingGroupDidFinish(const EditingSummary &summary) {
    const auto splice = index_.sync(storage_);
    if (!splice) {
        rebuildEntries();
        return;
    }
    if (splice->removedCount > 0 || splice->insertedCount > 0) {
        const std::size_t first = splice->first;
        const bool oneForOne = splice->removedCount == 1 && splice->insertedCount == 1;
        if (oneForOne && !isPlain(first) && piecesOf(first).size() > 1) {
            const Pieces old = pieces_.take(first);
            if (!adjustSegmentsInPlace(first, *old, summary)) {
                forgetLayoutsOf(*old);
                plainMeasured_[first] = false;
                noteHeight(first, estimatedHeight(index_.paragraphRange(first).length));
            }
        } else {
            // A paragraph edited in place keeps its old height as the estimate, so the view does not jump.
            const double keptHeight = oneForOne ? heights_[first] : 0;
            for (std::size_t k = first; k < first + splice->removedCount; ++k) {
                if (!isPlain(k)) {
                    forgetLayoutsOf(piecesOf(k));
                }
            }
            resizeSpan(first, splice->removedCount, splice->insertedCount);
            if (oneForOne) {
                heights_.set(first, keptHeight);
            } else {
                estimateHeights(first, first + splice->insertedCount);
            }
        }
        // A paragraph edited in place changes at most its own height, which noteHeight follows; paragraphs
        // added or removed move every paragraph after them to another block, whose sums are taken again.
        if (!oneForOne) {
            forgetTopsFrom(first);
            summedBlocks_ = std::min(summedBlocks_, first / topsStride);
        }
        shiftUnmeasured(first, splice->removedCount, splice->insertedCount);
        noteUnmeasured(first, first + splice->insertedCount);
    }
    const std::size_t length = storage_.length();
    const std::size_t start = std::min(summary.editedRange.location, length);
    invalidateAttributes(rangeBetween(start, std::min(summary.editedRange.end(), length)));
}

bool LayoutCache::adjustSegmentsInPlace(std::size_t paragraph, std::vector<Segment> &oldSegments,
                                        const EditingSummary &summary) {
    const std::size_t paragraphStart = index_.paragraphStart(paragraph);
    const TextRange contents = paragraphContents(storage_, index_.paragraphRange(paragraph));
    std::size_t oldTotal = 0;
    for (const Segment &segment : oldSegments) {
        oldTotal += segment.length;
    }
    const auto newTotal = static_cast<std::ptrdiff_t>(oldTotal) + summary.changeInLength;
    const auto oldEditedLength = static_cast<std::ptrdiff_t>(summary.editedRange.length) - summary.changeInLength;
    if (summary.editedRange.location < paragraphStart || newTotal != static_cast<std::ptrdiff_t>(contents.length) ||
        oldEditedLength < 0) {
        return false;
    }
    const std::size_t editStart = summary.editedRange.location - paragraphStart;
    const std::size_t editOldEnd = editStart + static_cast<std::size_t>(oldEditedLength);
    if (editOldEnd > oldTotal) {
        return false;
    }
    // The pieces the edit touched: the one holding its start through the one holding its old end.
    std::size_t firstTouched = oldSegments.size() - 1;
    std::size_t lastTouched = oldSegments.size() - 1;
    std::size_t pieceStart = 0;
    for (std::size_t k = 0; k < oldSegments.size(); ++k) {
        const std::size_t pieceEnd = pieceStart + oldSegments[k].length;
        if (editStart < pieceEnd && firstTouched == oldSegments.size() - 1) {
            firstTouched = k;
        }
        if (editOldEnd <= pieceEnd) {
            lastTouched = k;
            break;
        }
        pieceStart = pieceEnd;
    }
    firstTouched = std::min(firstTouched, lastTouched);
    std::size_t mergedLength = 0;
    double mergedHeight = 0;
    for (std::size_t k = firstTouched; k <= lastTouched; ++k) {
        mergedLength += oldSegments[k].length;
        mergedHeight += oldSegments[k].height;
    }
    const auto newMergedLength = static_cast<std::ptrdiff_t>(mergedLength) + summary.changeInLength;
    if (newMergedLength < 0 || static_cast<std::size_t>(newMergedLength) > 2 * segmentLength) {
        return false;
    }
    auto segments = std::make_unique<std::vector<Segment>>();
    for (std::size_t k = 0; k < oldSegments.size(); ++k) {
        Segment &segment = oldSegments[k];
        if (k < firstTouched || k > lastTouched) {
            segments->push_back(std::move(segment));
            continue;
        }
        forgetLayoutOf(segment);
        if (k == firstTouched && (newMergedLength > 0 || oldSegments.size() == 1)) {
            segments->push_back(unmeasuredSegment(static_cast<std::size_t>(newMergedLength), mergedHeight));
        }
    }
    if (segments->empty()) {
        segments->push_back(unmeasuredSegment(0, mergedHeight));
    }
    pieces_[paragraph] = std::move(segments);
    setParagraphHeight(paragraph);
    makePlainIfPossible(paragraph);
    return true;
}

void LayoutCache::resizeSpan(std::size_t first, std::size_t removed, std::size_t inserted) {
    // Typing within a paragraph replaces one entry by one: no need to move the entries after it.
    const std::size_t kept = std::min(removed, inserted);
    pieces_.splice(first, removed, inserted);
    for (std::size_t k = first; k < first + kept; ++k) {
        plainMeasured_[k] = false;
    }
    const auto measuredAt = plainMeasured_.begin() + static_cast<std::ptrdiff_t>(first + kept);
    if (removed > inserted) {
        heights_.erase(first + kept, removed - inserted);
        plainMeasured_.erase(measuredAt, measuredAt + static_cast<std::ptrdiff_t>(removed - inserted));
    } else if (inserted > removed) {
        heights_.insert(first + kept, inserted - removed);
        plainMeasured_.insert(measuredAt, inserted - removed, false);
    }
}

void LayoutCache::invalidateAttributes(TextRange range) {
    if (heights_.empty()) {
        return;
    }
    const std::size_t firstParagraph = index_.paragraphContaining(range.location);
    const std::size_t lastParagraph = index_.paragraphContaining(range.length > 0 ? range.end() - 1 : range.location);
    for (std::size_t paragraph = firstParagraph; paragraph <= lastParagraph; ++paragraph) {
        if (isPlain(paragraph)) {
            plainMeasured_[paragraph] = false; // its one piece owns the whole paragraph, which meets the range
            continue;
        }
        std::vector<Segment> &segments = piecesOf(paragraph);
        std::size_t pieceStart = index_.paragraphStart(paragraph);
        for (Segment &segment : segments) {
            const std::size_t pieceEnd = pieceStart + segment.length;
            const bool last = &segment == &segments.back();
            // A piece owns its end only when it is the paragraph's last (the separator follows it).
            if (range.location < (last ? pieceEnd + 2 : pieceEnd) && pieceStart <= range.end()) {
                invalidateSegment(segment);
            }
            pieceStart = pieceEnd;
        }
        makePlainIfPossible(paragraph);
    }
    noteUnmeasured(firstParagraph, lastParagraph + 1);
}

/// Widens the stretch of paragraphs that may be unmeasured to take in [first, end).
void LayoutCache::noteUnmeasured(std::size_t first, std::size_t end) {
    if (measureCursor_ >= measureEnd_) {
        measureCursor_ = first;
        measureEnd_ = end;
        return;
    }
    measureCursor_ = std::min(measureCursor_, first);
    measureEnd_ = std::max(measureEnd_, end);
}

/// Moves the stretch of paragraphs that may be unmeasured with a splice of `removed` paragraphs at `first`
/// into `inserted` new ones (which noteUnmeasured takes in afterwards).
void LayoutCache::shiftUnmeasured(std::size_t first, std::size_t removed, std::size_t inserted) {
    if (measureCursor_ >= measureEnd_) {
        return;
    }
    const auto moved = [&](std::size_t paragraph) {
        if (paragraph <= first) {
            return paragraph;
        }
        return paragraph >= first + removed ? paragraph - removed + inserted : first + inserted;
    };
    measureCursor_ = moved(measureCursor_);
    measureEnd_ = moved(measureEnd_);
}

void LayoutCache::invalidateSegment(Segment &segment) {
    if (segment.layout) {
        forgetLayoutOf(segment);
        segment.layout.reset();
    }
    segment.measured = false;
}

// ---- pieces ----

std::vector<std::size_t> LayoutCache::segmentLengths(TextRange contents) const {
    std::vector<std::size_t> lengths;
    std::size_t start = contents.location;
    if (contents.length <= segmentThreshold) {
        return {contents.length};
    }
    while (contents.end() - start > segmentLength + segmentLength / 2) {
        std::size_t cut = start + segmentLength;
        // Prefer to end a piece after a space, where a line may break anyway; never inside a
        // surrogate pair.
        const std::u16string tail = storage_.substring(TextRange{cut - segmentBreakSearch, segmentBreakSearch + 1});
        std::size_t found = 0;
        for (std::size_t k = segmentBreakSearch; k > 0; --k) {
            if (tail[k - 1] == u' ' || tail[k - 1] == u'\t') {
                found = k;
                break;
            }
        }
        if (found > 0) {
            cut = cut - segmentBreakSearch + found;
        } else if (isHighSurrogate(tail[segmentBreakSearch - 1])) {
            --cut;
        }
        lengths.push_back(cut - start);
        start = cut;
    }
    lengths.push_back(contents.end() - start);
    return lengths;
}

LayoutCache::Segment LayoutCache::unmeasuredSegment(std::size_t length, double height) {
    Segment segment;
    segment.height = height;
    segment.length = static_cast<std::uint32_t>(length);
    return segment;
}

bool LayoutCache::isOnePiece(std::size_t paragraph) const {
    const TextRange range = index_.paragraphRange(paragraph);
    return range.length <= segmentThreshold || paragraphContents(storage_, range).length <= segmentThreshold;
}

std::vector<LayoutCache::Segment> &LayoutCache::segmentsOf(std::size_t paragraph) {
    if (!isPlain(paragraph)) {
        return piecesOf(paragraph);
    }
    auto segments = std::make_unique<std::vector<Segment>>();
    const TextRange contents = paragraphContents(storage_, index_.paragraphRange(paragraph));
    const std::vector<std::size_t> lengths = segmentLengths(contents);
    if (lengths.size() == 1) {
        // The plain paragraph's one piece, as measured or not.
        Segment segment = unmeasuredSegment(lengths.front(), heights_[paragraph]);
        segment.measured = plainMeasured_[paragraph];
        segments->push_back(std::move(segment));
    } else {
        const double share = heights_[paragraph] / static_cast<double>(lengths.size());
        for (const std::size_t length : lengths) {
            segments->push_back(unmeasuredSegment(length, share));
        }
    }
    return *(pieces_[paragraph] = std::move(segments));
}

void LayoutCache::makePlainIfPossible(std::size_t paragraph) {
    const Pieces *segments = pieces_.find(paragraph);
    if (segments != nullptr && (*segments)->size() == 1 && !(*segments)->front().layout) {
        // Its height is the paragraph's, in heights_ already.
        plainMeasured_[paragraph] = (*segments)->front().measured;
        pieces_.take(paragraph);
    }
}

void LayoutCache::forgetLayoutsOf(const std::vector<Segment> &segments) {
    for (const Segment &segment : segments) {
        forgetLayoutOf(segment);
    }
}

Attributes LayoutCache::paragraphAttributes(std::size_t paragraph) const {
    const TextRange range = index_.paragraphRange(paragraph);
    if (range.length > 0) {
        return storage_.attributes(range.location);
    }
    if (storage_.length() > 0) {
        return storage_.attributes(storage_.length() - 1);
    }
    return emptyTextAttributes_.empty()
               ? MarkdownStyler::baseAttributes(MarkdownStyler::textColor(), formats_.styleSettings())
               : emptyTextAttributes_;
}

LayoutCache::PieceText LayoutCache::pieceText(std::size_t paragraph, std::size_t segment) const {
    // A plain paragraph's one piece holds its contents.
    const TextRange contents = paragraphContents(storage_, index_.paragraphRange(paragraph));
    if (isPlain(paragraph)) {
        return PieceText{contents, SegmentPlace{true, true}};
    }
    const std::vector<Segment> &segments = piecesOf(paragraph);
    std::size_t start = contents.location;
    for (std::size_t k = 0; k < segment; ++k) {
        start += segments[k].length;
    }
    return PieceText{TextRange{start, segments[segment].length},
                     SegmentPlace{segment == 0, segment + 1 == segments.size()}};
}

bool LayoutCache::showsComposition(TextRange range) const {
    return composition_ && range.location <= composition_->position && composition_->position <= range.end();
}

double LayoutCache::measuredHeight(std::size_t paragraph, std::size_t segment) {
    const auto [range, place] = pieceText(paragraph, segment);
    if (showsComposition(range)) {
        return makeLayout(paragraph, segment)->height();
    }
    return measuredHeights_.height(storage_, range, paragraphAttributes(paragraph), place, width_, formats_);
}

std::unique_ptr<ParagraphLayout> LayoutCache::makeLayout(std::size_t paragraph, std::size_t segment) const {
    const auto [range, place] = pieceText(paragraph, segment);
    if (showsComposition(range)) {
        // The piece shows the composed text where it will go, underlined, over a copy of its text.
        TextStorage composed = storage_.attributedSubstring(range);
        composed.replaceCharacters(TextRange{composition_->position - range.location, 0}, composition_->text,
                                   composition_->attributes.with(AttributeKey::underlineStyle, std::int64_t{1}));
        return std::make_unique<ParagraphLayout>(composed, TextRange{0, composed.length()},
                                                 paragraphAttributes(paragraph), place, width_, formats_);
    }
    return std::make_unique<ParagraphLayout>(storage_, range, paragraphAttributes(paragraph), place, width_, formats_);
}

const ParagraphLayout &LayoutCache::layoutSegment(std::size_t paragraph, std::size_t segmentIndex) {
    Segment &segment = segmentsOf(paragraph)[segmentIndex];
    segment.lastUse = useClock_;
    if (!segment.layout) {
        segment.layout = makeLayout(paragraph, segmentIndex);
        liveUnits_ += segment.layout->units();
        ++liveLayouts_;
        segment.height = segment.layout->height();
        segment.measured = true;
        setParagraphHeight(paragraph);
        evictIfOverBudget();
    }
    return *piecesOf(paragraph)[segmentIndex].layout;
}

void LayoutCache::setParagraphHeight(std::size_t paragraph) {
    double height = 0;
    for (const Segment &segment : piecesOf(paragraph)) {
        height += segment.height;
    }
    noteHeight(paragraph, height);
}

void LayoutCache::noteHeight(std::size_t paragraph, double height) {
    height = ParagraphHeights::onGrid(height);
    if (height == heights_[paragraph]) {
        return;
    }
    const std::size_t block = paragraph / topsStride;
    if (block < summedBlocks_) {
        blockSums_[block] += height - heights_[paragraph]; // exact: both are on the grid
    }
    heights_.set(paragraph, height);
    forgetTopsFrom(paragraph);
}

void LayoutCache::forgetTopsFrom(std::size_t paragraph) {
    topsValidUpTo_ = std::min(topsValidUpTo_, paragraph);
}

void LayoutCache::forgetLayoutOf(const Segment &segment) {
    if (segment.layout) {
        liveUnits_ -= segment.layout->units();
        --liveLayouts_;
    }
}

void LayoutCache::evictIfOverBudget() {
    if (liveUnits_ <= unitBudget && liveLayouts_ <= layoutCountBudget) {
        return;
    }
    // Over budget: drop the least recently used layouts down to half of it, so that this walk over
    // every entry happens seldom.
    std::vector<std::tuple<std::uint64_t, std::size_t, std::size_t>> live;
    for (const auto &[paragraph, segments] : pieces_) {
        for (std::size_t k = 0; k < segments->size(); ++k) {
            if ((*segments)[k].layout && (*segments)[k].lastUse != useClock_) {
                live.emplace_back((*segments)[k].lastUse, paragraph, k);
            }
        }
    }
    std::sort(live.begin(), live.end());
    for (const auto &[lastUse, paragraph, k] : live) {
        if (liveUnits_ <= unitBudget / 2 && liveLayouts_ <= layoutCountBudget / 2) {
            break;
        }
        Segment &segment = piecesOf(paragraph)[k];
        forgetLayoutOf(segment);
        segment.layout.reset(); // the height stays measured: the layout can be made again
        makePlainIfPossible(paragraph);
    }
}

} // namespace velto::editor
