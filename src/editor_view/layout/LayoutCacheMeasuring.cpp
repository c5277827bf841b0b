// The heights of the cache's paragraphs: estimated from their lengths, measured while the view is idle or near
// a position, and the estimates refined by what was measured.
#include "editor_view/layout/LayoutCache.h"

#include "editor_view/layout/LayoutFormats.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace velto::editor {

// ---- estimates ----

LayoutCache::EstimateFigures LayoutCache::estimateFigures() const {
    const double size = formats_.styleSettings().fontSize;
    const double characterWidth = 0.6 * size;
    EstimateFigures figures;
    figures.perLine = width_ > characterWidth ? std::floor(width_ / characterWidth) : 1.0;
    figures.lineHeight = 1.2 * size + std::max(0.28 * size, 4.0);
    figures.paragraphSpacing = std::max(0.15 * size, 2.0);
    return figures;
}

double LayoutCache::estimatedHeight(const EstimateFigures &figures, std::size_t units) const {
    return ParagraphHeights::onGrid(figures.unscaled(units) * estimateScale_);
}

void LayoutCache::estimateHeights(std::size_t first, std::size_t end) {
    const EstimateFigures figures = estimateFigures();
    // A page's paragraphs are mostly short, millions of them on a big page, of a few hundred lengths: the estimate
    // of each short length is worked out once.
    std::array<double, 256> shortEstimates;
    shortEstimates.fill(-1);
    index_.forEachParagraphLength(first, end, [&](std::size_t paragraph, std::size_t length) {
        if (length >= shortEstimates.size()) {
            heights_.set(paragraph, estimatedHeight(figures, length));
            return;
        }
        if (shortEstimates[length] < 0) {
            shortEstimates[length] = estimatedHeight(figures, length);
        }
        heights_.set(paragraph, shortEstimates[length]);
    });
}

void LayoutCache::refineEstimates() {
    // The measured paragraphs are those near the view: how their heights compare with their estimates scales
    // the estimates of all the others.
    const EstimateFigures figures = estimateFigures();
    double measured = 0;
    double estimated = 0;
    index_.forEachParagraphLength(0, heights_.size(), [&](std::size_t paragraph, std::size_t length) {
        if (plainMeasured_[paragraph] && isPlain(paragraph)) {
            measured += heights_[paragraph];
            estimated += figures.unscaled(length);
        }
    });
    if (measured <= 0 || estimated <= 0) {
        return;
    }
    estimateScale_ = measured / estimated;
    index_.forEachParagraphLength(0, heights_.size(), [&](std::size_t paragraph, std::size_t length) {
        if (!plainMeasured_[paragraph] && isPlain(paragraph)) {
            heights_.set(paragraph, estimatedHeight(figures, length));
        }
    });
    // Every sum is taken again: cheaper at once than block by block for so many changed heights.
    summedBlocks_ = 0;
    topsValidUpTo_ = 0;
}

// ---- measuring while idle ----

bool LayoutCache::measureSome(std::chrono::steady_clock::time_point deadline, std::size_t anchor,
                              double *heightChangeAbove) {
    double change = 0;
    bool remaining = true;
    // At least one paragraph per call, so that every slice gets on even when it starts late.
    for (bool first = true; first || std::chrono::steady_clock::now() < deadline; first = false) {
        measureEnd_ = std::min(measureEnd_, heights_.size());
        while (measureCursor_ < measureEnd_ && isMeasured(measureCursor_)) {
            ++measureCursor_;
        }
        if (measureCursor_ >= measureEnd_) {
            remaining = false;
            break;
        }
        const std::size_t paragraph = measureCursor_;
        if (storage_.leavesStylingForLater()) {
            // Text whose styling was left for later is styled before it is measured, or its height would be
            // measured again once it is. Styling may unmeasure paragraphs around it: they are looked at again.
            const std::uint64_t styled = storage_.finishedAttributeGroups();
            storage_.styleLeftForLaterNear(index_.paragraphRange(paragraph));
            if (storage_.finishedAttributeGroups() != styled) {
                continue;
            }
        }
        const double before = heights_[paragraph];
        measureParagraph(paragraph);
        if (paragraph < anchor) {
            change += heights_[paragraph] - before;
        }
        ++measureCursor_;
    }
    if (heightChangeAbove != nullptr) {
        *heightChangeAbove = change;
    }
    if (!remaining) {
        measuredHeights_.clear(); // the repeats it found were the page's; an edit measures a few paragraphs
    }
    return remaining;
}

void LayoutCache::measureParagraph(std::size_t paragraph) {
    if (isPlain(paragraph) && isOnePiece(paragraph)) {
        noteHeight(paragraph, measuredHeight(paragraph, 0));
        plainMeasured_[paragraph] = true;
        return;
    }
    std::vector<Segment> &segments = segmentsOf(paragraph);
    for (std::size_t k = 0; k < segments.size(); ++k) {
        if (segments[k].measured) {
            continue;
        }
        segments[k].height = segments[k].layout ? segments[k].layout->height() : measuredHeight(paragraph, k);
        segments[k].measured = true;
    }
    setParagraphHeight(paragraph);
    makePlainIfPossible(paragraph);
}

void LayoutCache::measureAround(std::size_t position, double above, double below) {
    const std::size_t count = heights_.size();
    if (count == 0) {
        return;
    }
    const std::size_t anchor = index_.paragraphContaining(std::min(position, storage_.length()));
    const std::size_t anchorPiece = isPlain(anchor) ? 0 : pieceIndexFor(anchor, position);
    double reached = 0;
    for (std::size_t paragraph = anchor; paragraph < count && reached < below; ++paragraph) {
        reached += measurePieces(paragraph, paragraph == anchor ? anchorPiece : 0, below - reached, true);
    }
    reached = anchorPiece > 0 ? measurePieces(anchor, anchorPiece - 1, above, false) : 0;
    for (std::size_t paragraph = anchor; paragraph > 0 && reached < above;) {
        --paragraph;
        reached += measurePieces(paragraph, std::numeric_limits<std::size_t>::max(), above - reached, false);
    }
}

double LayoutCache::measurePieces(std::size_t paragraph, std::size_t from, double reach, bool down) {
    if (isPlain(paragraph) && (plainMeasured_[paragraph] || isOnePiece(paragraph))) {
        if (!plainMeasured_[paragraph]) {
            noteHeight(paragraph, measuredHeight(paragraph, 0));
            plainMeasured_[paragraph] = true;
        }
        return heights_[paragraph];
    }
    std::vector<Segment> &segments = segmentsOf(paragraph);
    double reached = 0;
    for (std::size_t k = std::min(from, segments.size() - 1); reached < reach;) {
        Segment &segment = segments[k];
        if (!segment.measured) {
            segment.height = segment.layout ? segment.layout->height() : measuredHeight(paragraph, k);
            segment.measured = true;
        }
        reached += segment.height;
        if (down ? ++k == segments.size() : k-- == 0) {
            break;
        }
    }
    setParagraphHeight(paragraph);
    makePlainIfPossible(paragraph);
    return reached;
}

std::size_t LayoutCache::pieceIndexFor(std::size_t paragraph, std::size_t position) const {
    const std::vector<Segment> &segments = piecesOf(paragraph);
    std::size_t start = index_.paragraphStart(paragraph);
    std::size_t k = 0;
    for (; k + 1 < segments.size() && position >= start + segments[k].length; ++k) {
        start += segments[k].length;
    }
    return k;
}

LayoutCache::PiecePlace LayoutCache::piecePlaceAt(double y) {
    const std::size_t paragraph = paragraphAt(y);
    PiecePlace place{index_.paragraphStart(paragraph), paragraphTop(paragraph)};
    if (isPlain(paragraph)) {
        return place;
    }
    const std::vector<Segment> &segments = piecesOf(paragraph);
    for (std::size_t k = 0; k + 1 < segments.size() && place.top + segments[k].height <= y; ++k) {
        place.top += segments[k].height;
        place.start += segments[k].length;
    }
    return place;
}

LayoutCache::PiecePlace LayoutCache::piecePlaceFor(std::size_t position) {
    position = std::min(position, storage_.length());
    const std::size_t paragraph = index_.paragraphContaining(position);
    PiecePlace place{index_.paragraphStart(paragraph), paragraphTop(paragraph)};
    if (isPlain(paragraph)) {
        return place;
    }
    const std::vector<Segment> &segments = piecesOf(paragraph);
    for (std::size_t k = 0; k + 1 < segments.size() && position >= place.start + segments[k].length; ++k) {
        place.top += segments[k].height;
        place.start += segments[k].length;
    }
    return place;
}

void LayoutCache::endMeasuring() {
    measuredHeights_.clear();
}

} // namespace velto::editor
