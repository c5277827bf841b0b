// Where the cache's paragraphs and pieces stand: their tops, and the pieces, carets and lines at positions and
// points.
#include "editor_view/layout/LayoutCache.h"

#include <algorithm>

namespace velto::editor {

void LayoutCache::refreshTops() {
    const std::size_t count = heights_.size();
    if (topsValidUpTo_ >= count) {
        return;
    }
    sumBlocks();
    blockTops_.resize(count / topsStride + 1);
    // The block holding the first paragraph whose top may be wrong starts at a right top; each block after it
    // starts where the one before ends. A height changed while idle measuring or typing costs a step per
    // block after it, not one per paragraph.
    const std::size_t blocks = blockSums_.size();
    std::size_t block = topsValidUpTo_ / topsStride;
    double top = blockTops_[block];
    for (; block < blocks; ++block) {
        blockTops_[block] = top;
        top += blockSums_[block];
    }
    if (count % topsStride == 0) {
        blockTops_[count / topsStride] = top;
    }
    documentHeight_ = top;
    topsValidUpTo_ = count;
}

void LayoutCache::sumBlocks() {
    const std::size_t count = heights_.size();
    const std::size_t blocks = (count + topsStride - 1) / topsStride;
    blockSums_.resize(blocks);
    for (std::size_t block = summedBlocks_; block < blocks; ++block) {
        const std::size_t end = std::min(count, (block + 1) * topsStride);
        double sum = 0;
        for (std::size_t k = block * topsStride; k < end; ++k) {
            sum += heights_[k];
        }
        blockSums_[block] = sum;
    }
    // The last block may fill up later: its sum is taken again then.
    summedBlocks_ = count % topsStride == 0 ? blocks : blocks - 1;
}

double LayoutCache::documentHeight() {
    refreshTops();
    return documentHeight_;
}

std::size_t LayoutCache::paragraphAt(double y) {
    refreshTops();
    const std::size_t count = heights_.size();
    if (count == 0) {
        return 0;
    }
    // The last block starting at or above y (the first when none does), then the last paragraph from there on
    // that starts at or above y.
    const auto blocksWithParagraphs = static_cast<std::ptrdiff_t>((count - 1) / topsStride + 1);
    const auto after = std::upper_bound(blockTops_.begin() + 1, blockTops_.begin() + blocksWithParagraphs, y);
    const auto block = static_cast<std::size_t>(after - blockTops_.begin()) - 1;
    std::size_t paragraph = block * topsStride;
    double top = blockTops_[block];
    while (paragraph + 1 < count && top + heights_[paragraph] <= y) {
        top += heights_[paragraph];
        ++paragraph;
    }
    return paragraph;
}

double LayoutCache::paragraphTop(std::size_t paragraph) {
    refreshTops();
    double top = blockTops_[paragraph / topsStride];
    for (std::size_t k = paragraph / topsStride * topsStride; k < paragraph; ++k) {
        top += heights_[k];
    }
    return top;
}

bool LayoutCache::isMeasured(std::size_t paragraph) const {
    if (isPlain(paragraph)) {
        return plainMeasured_[paragraph];
    }
    const std::vector<Segment> &segments = piecesOf(paragraph);
    return std::all_of(segments.begin(), segments.end(), [](const Segment &segment) { return segment.measured; });
}

std::vector<LayoutCache::Piece> LayoutCache::pieces(std::size_t paragraph) {
    std::vector<Piece> found;
    for (std::size_t k = 0; k < segmentsOf(paragraph).size(); ++k) {
        layoutSegment(paragraph, k);
    }
    double top = paragraphTop(paragraph);
    std::size_t start = index_.paragraphStart(paragraph);
    for (const Segment &segment : piecesOf(paragraph)) {
        found.push_back(Piece{segment.layout.get(), paragraph, start, top});
        top += segment.height;
        start += segment.length;
    }
    return found;
}

std::vector<LayoutCache::Piece> LayoutCache::piecesBetween(double top, double bottom) {
    std::vector<Piece> found;
    for (std::size_t paragraph = paragraphAt(top); paragraph < heights_.size(); ++paragraph) {
        if (paragraphTop(paragraph) >= bottom && !found.empty()) {
            break;
        }
        // Lay out only the pieces that meet the stretch; each layout may move the ones after it.
        const std::vector<Segment> &segments = segmentsOf(paragraph);
        for (std::size_t k = 0; k < segments.size(); ++k) {
            double pieceTop = paragraphTop(paragraph);
            std::size_t start = index_.paragraphStart(paragraph);
            for (std::size_t before = 0; before < k; ++before) {
                pieceTop += segments[before].height;
                start += segments[before].length;
            }
            if (pieceTop >= bottom) {
                break;
            }
            if (pieceTop + segments[k].height <= top) {
                continue;
            }
            const ParagraphLayout &layout = layoutSegment(paragraph, k);
            if (pieceTop + layout.height() > top || paragraph + 1 == heights_.size()) {
                found.push_back(Piece{&layout, paragraph, start, pieceTop});
            }
        }
        makePlainIfPossible(paragraph); // when none of its one piece met the stretch
    }
    return found;
}

LayoutCache::Piece LayoutCache::pieceFor(std::size_t position, CaretAffinity affinity) {
    position = std::min(position, storage_.length());
    const std::size_t paragraph = index_.paragraphContaining(position);
    const std::vector<Segment> &segments = segmentsOf(paragraph);
    std::size_t start = index_.paragraphStart(paragraph);
    double top = paragraphTop(paragraph);
    std::size_t k = 0;
    // A position at the end of a piece belongs to the next one, except at the paragraph's end or upstream.
    while (k + 1 < segments.size() &&
           (position > start + segments[k].length ||
            (position == start + segments[k].length && affinity == CaretAffinity::downstream))) {
        start += segments[k].length;
        top += segments[k].height;
        ++k;
    }
    const ParagraphLayout &layout = layoutSegment(paragraph, k);
    // Laying out may have changed this piece's own height only; its top stands.
    return Piece{&layout, paragraph, start, top};
}

QRectF LayoutCache::caretRect(std::size_t position, CaretAffinity affinity) {
    const Piece piece = pieceFor(position, affinity);
    const std::size_t offset = std::min(position - std::min(position, piece.start), piece.layout->range().length);
    const LaidOutLine &line = piece.layout->lines()[piece.layout->lineIndexForOffset(offset, affinity)];
    return QRectF(piece.layout->caretX(offset, affinity), piece.top + line.top, 0, line.height);
}

QRectF LayoutCache::lineRectFor(std::size_t position) {
    const Piece piece = pieceFor(position);
    const std::size_t offset = std::min(position - std::min(position, piece.start), piece.layout->range().length);
    return piece.layout->lineRect(piece.layout->lineIndexForOffset(offset)).translated(0, piece.top);
}

CaretPlace LayoutCache::placeOnAdjacentLine(CaretPlace from, double goalX, bool below) {
    const Piece piece = pieceFor(from.position, from.affinity);
    const std::size_t offset =
        std::min(from.position - std::min(from.position, piece.start), piece.layout->range().length);
    const std::size_t line = piece.layout->lineIndexForOffset(offset, from.affinity);
    const auto placeIn = [goalX](const Piece &target, std::size_t targetLine) {
        CaretPlace place = target.layout->placeOnLine(targetLine, goalX);
        place.position += target.start;
        return place;
    };
    if (below && line + 1 < piece.layout->lines().size()) {
        return placeIn(piece, line + 1);
    }
    if (!below && line > 0) {
        return placeIn(piece, line - 1);
    }
    if (below) {
        const std::size_t pieceEnd = piece.start + piece.layout->range().length;
        const TextRange paragraph = index_.paragraphRange(piece.paragraph);
        const bool lastOfParagraph = pieceEnd == paragraphContents(storage_, paragraph).end();
        if (lastOfParagraph && piece.paragraph + 1 >= index_.paragraphCount()) {
            return {storage_.length()};
        }
        return placeIn(pieceFor(lastOfParagraph ? paragraph.end() : pieceEnd), 0);
    }
    if (piece.start == 0) {
        return {0};
    }
    const Piece previous = pieceFor(piece.start - 1);
    return placeIn(previous, previous.layout->lines().size() - 1);
}

TextRange LayoutCache::visualLineRange(std::size_t position, CaretAffinity affinity) {
    const Piece piece = pieceFor(position, affinity);
    const std::size_t offset = std::min(position - std::min(position, piece.start), piece.layout->range().length);
    const LaidOutLine &line = piece.layout->lines()[piece.layout->lineIndexForOffset(offset, affinity)];
    return TextRange{piece.start + line.start, line.length};
}

std::size_t LayoutCache::positionAt(QPointF point) {
    // Past a wrapped line's end, a bare position stands before its last unit: after it, the position would
    // show on the next line.
    const CaretPlace place = placeAt(point);
    return place.affinity == CaretAffinity::upstream ? place.position - 1 : place.position;
}

CaretPlace LayoutCache::placeAt(QPointF point) {
    const std::size_t paragraph = paragraphAt(point.y());
    const std::vector<Piece> found = piecesBetween(point.y(), point.y() + 1);
    Piece chosen{};
    for (const Piece &piece : found) {
        if (piece.paragraph == paragraph && (chosen.layout == nullptr || piece.top <= point.y())) {
            chosen = piece;
        }
    }
    if (chosen.layout == nullptr) {
        chosen = pieces(paragraph).front();
    }
    CaretPlace place = chosen.layout->placeAt(QPointF(point.x(), point.y() - chosen.top));
    place.position += chosen.start;
    return place;
}
} // namespace velto::editor
