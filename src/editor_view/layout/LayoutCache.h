#pragma once

#include "editor/editing/ParagraphIndex.h"
#include "editor/text/TextAttributes.h"
#include "editor/text/TextRange.h"
#include "editor/text/TextStorage.h"
#include "editor_view/layout/MeasuredHeights.h"
#include "editor_view/layout/ParagraphHeights.h"
#include "editor_view/layout/ParagraphLayout.h"
#include "editor_view/layout/SparseParagraphs.h"

#include <QPointF>
#include <QRectF>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velto::editor {

class LayoutFormats;

/// The layouts of a storage's paragraphs at one width, made lazily: every paragraph has a height,
/// estimated from its length until it has been laid out; layouts are made for what is shown or hit,
/// kept while the budget allows (the least recently used go first), and the remaining paragraphs are
/// measured in slices while the view is idle. A paragraph longer than `segmentThreshold` units is
/// laid out in pieces of about `segmentLength` units, so that an edit lays out one piece again, not the paragraph.
/// It follows the storage's editing groups from its construction on.
///
/// Vertical positions are in the text container's coordinates: 0 is the top of the first paragraph.
class LayoutCache : private TextStorageObserver {
public:
    /// Paragraphs longer than this many units are laid out in pieces.
    static constexpr std::size_t segmentThreshold = 32 * 1024;
    /// About how many units one piece of such a paragraph holds: small enough that laying one out again
    /// after a keystroke stays within a frame.
    static constexpr std::size_t segmentLength = 8 * 1024;
    /// How many units of laid-out text the cache keeps.
    static constexpr std::size_t unitBudget = 256 * 1024;

    LayoutCache(const TextStorage &storage, LayoutFormats &formats);
    ~LayoutCache();
    LayoutCache(const LayoutCache &) = delete;
    LayoutCache &operator=(const LayoutCache &) = delete;

    const TextStorage &storage() const { return storage_; }
    const ParagraphIndex &index() const { return index_; }

    /// The text container's width; a change lays everything out again (heights stay as estimates).
    void setWidth(double width);
    double width() const { return width_; }
    /// The attributes of an empty text's line (the typing attributes).
    void setEmptyTextAttributes(const Attributes &attributes);
    /// Text an input method is composing at a position, not yet in the storage.
    struct Composition {
        std::size_t position = 0;
        std::u16string text;
        Attributes attributes;
    };
    /// Shows the composition inside the line at its position (what follows moves aside) until it is
    /// committed or dropped; none removes it.
    void setComposition(std::optional<Composition> composition);
    /// The caret's box `cursor` units into the composition.
    QRectF compositionCaretRect(std::size_t cursor);

    /// Forgets every layout and height, after the text was replaced wholesale or the look changed.
    void reset();

    // ---- geometry ----

    double documentHeight();
    std::size_t paragraphCount() const { return index_.paragraphCount(); }
    /// The paragraph at a vertical position (clamped to the first and last).
    std::size_t paragraphAt(double y);
    double paragraphTop(std::size_t paragraph);
    double paragraphHeight(std::size_t paragraph) const { return heights_[paragraph]; }
    bool isMeasured(std::size_t paragraph) const;

    /// One laid-out piece and where it stands.
    struct Piece {
        const ParagraphLayout *layout = nullptr;
        std::size_t paragraph = 0;
        std::size_t start = 0; // storage offset of the piece's first unit
        double top = 0;        // of the piece in container coordinates
    };
    /// Every piece of the paragraph, laid out now when needed.
    std::vector<Piece> pieces(std::size_t paragraph);
    /// The piece showing the storage position (a position inside a separator shows at the paragraph's end;
    /// one where two pieces meet shows at the start of the second, or upstream at the end of the first).
    Piece pieceFor(std::size_t position, CaretAffinity affinity = CaretAffinity::downstream);
    /// The pieces that meet the vertical stretch [top, bottom), laid out now, in order.
    std::vector<Piece> piecesBetween(double top, double bottom);

    /// The caret's box at a position: its x, the line's top and glyph height.
    QRectF caretRect(std::size_t position, CaretAffinity affinity = CaretAffinity::downstream);
    /// The storage position nearest to a point in container coordinates; past the end of a line that wraps,
    /// the position of its last unit.
    std::size_t positionAt(QPointF point);
    /// The caret's place nearest to a point in container coordinates: past the end of a line that wraps after
    /// a hyphen, after the hyphen on the upstream side.
    CaretPlace placeAt(QPointF point);
    /// The caret's place on the visual line above or below the one showing `position`, nearest to `goalX`
    /// (container coordinates); the text's start above the first line, its end below the last.
    CaretPlace placeOnAdjacentLine(CaretPlace from, double goalX, bool below);
    /// The storage range of the visual line showing a position, its hidden separator included.
    TextRange visualLineRange(std::size_t position, CaretAffinity affinity = CaretAffinity::downstream);
    /// The glyph box of the line showing a position, across the line's width.
    QRectF lineRectFor(std::size_t position);

    /// Marks the start of a painting pass: layouts used from now on are the most recent.
    void beginPass() { ++useClock_; }

    /// Measures unmeasured paragraphs until the deadline, at least one. `anchor` is the paragraph at the top of the
    /// view: `heightChangeAbove` receives how much the paragraphs before it grew, so the view can keep
    /// its content still. True while unmeasured paragraphs remain.
    bool measureSome(std::chrono::steady_clock::time_point deadline, std::size_t anchor, double *heightChangeAbove);

    /// Measures the pieces near the one holding `position` not measured yet: from it down until `below` pixels of
    /// them are measured, and from the one before it up until `above` pixels are. The view keeps its content
    /// still by where the piece at its top stands afterwards.
    void measureAround(std::size_t position, double above, double below);
    /// Where a piece stands as the heights are now, without laying it out: its first unit and its top.
    struct PiecePlace {
        std::size_t start = 0;
        double top = 0;
    };
    /// The piece at a vertical position (clamped to the first and last).
    PiecePlace piecePlaceAt(double y);
    /// The piece holding a storage position (its first unit when the text changed since).
    PiecePlace piecePlaceFor(std::size_t position);
    /// Gives back the memory measuring took: the heights remembered for repeated pieces.
    void endMeasuring();
    /// Whether heights measured since endMeasuring are kept, which endMeasuring would let go.
    bool holdsMeasuredHeights() const { return measuredHeights_.size() > 0; }
    /// Estimates the paragraphs not measured yet again, scaled by how the heights of those measured (the ones
    /// near the view) compare with their estimates.
    void refineEstimates();
    /// Changes each time every height becomes an estimate again (the text replaced wholesale, the look or the
    /// width changed): measuring a page afresh starts from then.
    std::uint64_t estimatesGeneration() const { return estimatesGeneration_; }

    /// How many units of laid-out text the cache holds now.
    std::size_t laidOutUnits() const { return liveUnits_; }
    /// The bytes the cache holds for its paragraphs besides their layouts (entries, heights and tops): what
    /// a page costs it for every paragraph, laid out or not.
    std::size_t bookkeepingBytes() const;

private:
    // One piece of a paragraph, packed into 24 bytes: a piece holds at most segmentThreshold units, and the use
    // clock counts painting passes (years of them before it wraps, which only makes one eviction pick less well).
    struct Segment {
        std::unique_ptr<ParagraphLayout> layout;
        double height = 0;
        std::uint32_t lastUse = 0;
        std::uint32_t length : 31 = 0;
        std::uint32_t measured : 1 = 0;
    };
    // A paragraph's pieces. Nearly every paragraph of a page is a plain one: a single piece whose layout is not
    // kept. Such a paragraph keeps no pieces: its height is in heights_ and whether it was measured in
    // plainMeasured_, and it has no place among pieces_. Its pieces are made when a layout is kept or the
    // paragraph is long enough to be cut, and dropped when it is plain again. They live in a block of their
    // own, so that references to them outlast other paragraphs' pieces coming and going.
    using Pieces = std::unique_ptr<std::vector<Segment>>;
    static Segment unmeasuredSegment(std::size_t length, double height);

    /// The base style's figures the estimates are made from: about 0.6 of the size per character, lines 1.2 of
    /// the size apart plus the line spacing, and the paragraph spacing once. Taken once for a walk over many
    /// paragraphs.
    struct EstimateFigures {
        double perLine = 1;
        double lineHeight = 0;
        double paragraphSpacing = 0;
        /// The height of a paragraph of so many units in these figures.
        double unscaled(std::size_t units) const {
            const double lines = std::max(1.0, std::ceil(static_cast<double>(units) / perLine));
            return lines * lineHeight + paragraphSpacing;
        }
    };
    EstimateFigures estimateFigures() const;
    double estimatedHeight(std::size_t units) const { return estimatedHeight(estimateFigures(), units); }
    double estimatedHeight(const EstimateFigures &figures, std::size_t units) const;
    /// Gives the paragraphs from `first` up to `end` their estimated heights.
    void estimateHeights(std::size_t first, std::size_t end);
    /// Measures every piece of the paragraph not measured yet.
    void measureParagraph(std::size_t paragraph);
    /// Measures the paragraph's pieces not measured yet from the piece `from` on, down the page or up it, until
    /// the pieces walked reach `reach` pixels; answers their height.
    double measurePieces(std::size_t paragraph, std::size_t from, double reach, bool down);
    /// The index among the pieces of a paragraph that is not plain of the one holding the position.
    std::size_t pieceIndexFor(std::size_t paragraph, std::size_t position) const;
    bool isPlain(std::size_t paragraph) const { return pieces_.find(paragraph) == nullptr; }
    /// The pieces of a paragraph that is not plain.
    std::vector<Segment> &piecesOf(std::size_t paragraph) const { return **pieces_.find(paragraph); }
    /// Whether a plain paragraph is short enough to be laid out in one piece.
    bool isOnePiece(std::size_t paragraph) const;
    /// The paragraph's pieces, made when it is plain.
    std::vector<Segment> &segmentsOf(std::size_t paragraph);
    /// Drops the paragraph's pieces when it is plain again: one piece and no layout.
    void makePlainIfPossible(std::size_t paragraph);
    void forgetLayoutsOf(const std::vector<Segment> &segments);
    /// Records a paragraph's height, marking the tops after it to be summed again when it changed.
    void noteHeight(std::size_t paragraph, double height);
    /// The tops from this paragraph on are to be summed again.
    void forgetTopsFrom(std::size_t paragraph);
    /// Takes the sums of the blocks not summed yet.
    void sumBlocks();
    std::vector<std::size_t> segmentLengths(TextRange contents) const;
    bool adjustSegmentsInPlace(std::size_t paragraph, std::vector<Segment> &oldSegments, const EditingSummary &summary);
    void resizeSpan(std::size_t first, std::size_t removed, std::size_t inserted);
    void invalidateAttributes(TextRange range);
    void invalidateSegment(Segment &segment);
    Attributes paragraphAttributes(std::size_t paragraph) const;
    const ParagraphLayout &layoutSegment(std::size_t paragraph, std::size_t segment);
    /// Follows one finished editing group of the storage: paragraphs whose characters changed are
    /// made anew, those whose attributes changed are laid out again.
    void editingGroupDidFinish(const EditingSummary &summary) override;
    /// Where a piece's text is in the storage and where it sits in its paragraph.
    struct PieceText {
        TextRange range;
        SegmentPlace place;
    };
    PieceText pieceText(std::size_t paragraph, std::size_t segment) const;
    /// Whether the piece over the range shows the text an input method is composing.
    bool showsComposition(TextRange range) const;
    std::unique_ptr<ParagraphLayout> makeLayout(std::size_t paragraph, std::size_t segment) const;
    /// The height of a piece as its layout gives it, found among the pieces measured before when one is equal.
    double measuredHeight(std::size_t paragraph, std::size_t segment);
    void setParagraphHeight(std::size_t paragraph);
    void refreshTops();
    void evictIfOverBudget();
    void forgetLayoutOf(const Segment &segment);
    void rebuildEntries();
    void noteUnmeasured(std::size_t first, std::size_t end);
    void shiftUnmeasured(std::size_t first, std::size_t removed, std::size_t inserted);

    const TextStorage &storage_;
    LayoutFormats &formats_;
    ParagraphIndex index_;
    double width_ = 0;
    Attributes emptyTextAttributes_;
    std::optional<Composition> composition_;

    SparseParagraphs<Pieces> pieces_; // of the paragraphs that are not plain
    ParagraphHeights heights_;        // of every paragraph
    std::vector<bool> plainMeasured_; // of the plain paragraphs: whether the height is measured
    // The top of every topsStride-th paragraph (the sum of the heights before it); a paragraph's own top
    // adds the heights from its block's start, in the same order, so it is the very same sum. A top kept
    // for every paragraph would cost a page of millions of paragraphs another 8 bytes each.
    static constexpr std::size_t topsStride = 64;
    std::vector<double> blockTops_;
    // The sum of each block's heights. Heights are kept on a grid of 1/64 of a pixel, so every sum of them is
    // exact whatever its order: a block's top plus its sum is, to the bit, the running sum of all heights
    // before the next block, and a changed height changes its block's sum by the difference alone.
    std::vector<double> blockSums_;
    std::size_t summedBlocks_ = 0; // the blocks before this one have their sums right
    double documentHeight_ = 0;
    std::size_t topsValidUpTo_ = 0; // the tops of paragraphs up to this one are right
    // Every paragraph outside [measureCursor_, measureEnd_) is measured: an edit or a highlighting pass
    // near the top of a measured page sends the idle measuring over what it touched, not the whole page again.
    std::size_t measureCursor_ = 0;
    std::size_t measureEnd_ = 0;
    std::uint32_t useClock_ = 1;
    // What the heights of paragraphs measured showed of the base style's estimates.
    double estimateScale_ = 1;
    std::uint64_t estimatesGeneration_ = 0;
    std::size_t liveUnits_ = 0;
    std::size_t liveLayouts_ = 0;
    MeasuredHeights measuredHeights_;
    Subscription storageSubscription_; // last: it goes first, so no group finishes into a cache half gone
};

} // namespace velto::editor
