#include "page_editor/StylingLeftForLater.h"

#include "editor/markdown/MarkdownCodeTokenIndex.h"
#include "editor/markdown/MarkdownStyler.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

namespace velto::editor {
namespace {

/// The range widened by the margin each way, within the text.
TextRange widened(TextRange range, std::size_t margin, std::size_t length) {
    const std::size_t start = range.location > margin ? range.location - margin : 0;
    const std::size_t end = std::min(length, std::max(range.end(), std::min(length, range.location)) + margin);
    return rangeBetween(std::min(start, length), end);
}

/// The ranges without the region.
std::vector<TextRange> without(const std::vector<TextRange> &ranges, TextRange region) {
    std::vector<TextRange> kept;
    for (const TextRange range : ranges) {
        if (!overlaps(range, region)) {
            kept.push_back(range);
            continue;
        }
        if (range.location < region.location) {
            kept.push_back(rangeBetween(range.location, region.location));
        }
        if (range.end() > region.end()) {
            kept.push_back(rangeBetween(region.end(), range.end()));
        }
    }
    return kept;
}

/// A range of the text before the edit, in the text after it. A range the edit reaches into or touches grows
/// to cover what replaced the units it held: those are styled again with it. Text put back beside a range, as
/// an undo puts back what a deletion took from it, may carry the attributes it had while it was left.
TextRange followingEdit(TextRange range, const CharacterEdit &edit) {
    const std::size_t oldEnd = edit.location + edit.oldLength;
    const std::size_t newEnd = edit.location + edit.newLength;
    const auto moved = [&edit](std::size_t position) { return position - edit.oldLength + edit.newLength; };
    if (range.end() < edit.location) {
        return range;
    }
    if (range.location > oldEnd) {
        return TextRange{moved(range.location), range.length};
    }
    const std::size_t end = range.end() >= oldEnd ? moved(range.end()) : newEnd;
    return rangeBetween(std::min(range.location, edit.location), end);
}

/// The ranges sorted, empty ones dropped and touching ones joined.
std::vector<TextRange> joined(std::vector<TextRange> ranges) {
    std::sort(ranges.begin(), ranges.end(), [](TextRange a, TextRange b) { return a.location < b.location; });
    std::vector<TextRange> result;
    for (const TextRange range : ranges) {
        if (range.length == 0) {
            continue;
        }
        if (!result.empty() && range.location <= result.back().end()) {
            result.back() = unionRange(result.back(), range);
        } else {
            result.push_back(range);
        }
    }
    return result;
}

} // namespace

StylingLeftForLater::StylingLeftForLater(TextStorage &storage, VeltoScheduler &scheduler)
    : storage_(storage)
    , scheduler_(scheduler)
    , subscription_(storage.subscribe(*this)) {}

StylingLeftForLater::~StylingLeftForLater() {
    forget();
}

void StylingLeftForLater::restyle(const std::function<TextRange()> &seen, const Color &color,
                                  const StyleSettings &style) {
    forget();
    color_ = color;
    style_ = style;
    const std::size_t length = storage_.length();
    if (!splitsText(length)) {
        MarkdownStyler::apply(storage_, color, style);
        return;
    }
    MarkdownStyler::beginRestyleInRegions(storage_);
    leftForLater_ = {TextRange{0, length}};
    followedVersion_ = storage_.characterVersion();
    tellStorage();
    styleNear(seen());
}

void StylingLeftForLater::styleNear(TextRange range) {
    followEdits();
    if (leftForLater_.empty() || styling_) {
        return;
    }
    focus_ = std::min(storage_.length(), range.location + range.length / 2);
    styleAround(range);
    scheduleSlice();
}

void StylingLeftForLater::styleBeforeReading(TextRange range) {
    followEdits();
    if (!leftForLater_.empty() && !styling_) {
        styleAround(range);
    }
}

void StylingLeftForLater::styleAround(TextRange range) {
    const TextRange near = widened(range, std::max(sizes_.seenMargin, range.length), storage_.length());
    // Only what is still left is styled, each piece widened by the pass to whole lines and constructs.
    std::vector<TextRange> pieces;
    for (const TextRange left : leftForLater_) {
        if (const TextRange piece = intersection(left, near); piece.length > 0) {
            pieces.push_back(piece);
        }
    }
    for (const TextRange piece : pieces) {
        styleRegion(piece);
    }
}

void StylingLeftForLater::finish() {
    followEdits();
    sliceWorkItem_.reset();
    while (!leftForLater_.empty() && !styling_) {
        styleRegion(leftForLater_.front());
    }
}

void StylingLeftForLater::styled(TextRange region) {
    followEdits();
    leftForLater_ = without(leftForLater_, region);
    if (leftForLater_.empty()) {
        sliceWorkItem_.reset();
    }
    tellStorage();
}

void StylingLeftForLater::forget() {
    leftForLater_.clear();
    sliceWorkItem_.reset();
    tellStorage();
}

void StylingLeftForLater::tellStorage() {
    if (leftForLater_.empty() == storage_.leavesStylingForLater()) {
        storage_.setLeftForLaterStyler(leftForLater_.empty() ? nullptr : this);
    }
}

void StylingLeftForLater::editingGroupDidFinish(const EditingSummary &summary) {
    if (!summary.attributesOnly) {
        followEdits();
    }
}

void StylingLeftForLater::followEdits() {
    const std::uint64_t since = std::exchange(followedVersion_, storage_.characterVersion());
    if (since == followedVersion_ || leftForLater_.empty()) {
        return;
    }
    const std::optional<std::vector<CharacterEdit>> edits = storage_.characterEditsSince(since);
    if (!edits) {
        // More edits than the storage remembers in one group: styling everything again is always right.
        leftForLater_ = {TextRange{0, storage_.length()}};
        focus_ = std::min(focus_, storage_.length());
        return;
    }
    std::vector<TextRange> followed = leftForLater_;
    for (const CharacterEdit &edit : *edits) {
        for (TextRange &range : followed) {
            range = followingEdit(range, edit);
        }
        focus_ = EditMapping(edit).start(focus_); // a focus inside what the edit replaced goes to its start
    }
    leftForLater_ = joined(std::move(followed));
    tellStorage();
}

void StylingLeftForLater::styleRegion(TextRange range) {
    styling_ = true;
    const TextRange region = MarkdownStyler::applyToRegion(storage_, range, color_, style_);
    styling_ = false;
    styled(region);
}

void StylingLeftForLater::scheduleSlice() {
    if (sliceWorkItem_ || !nextSlice()) {
        return;
    }
    // The handle is dropped with this object, which cancels the action.
    sliceWorkItem_ = scheduler_.schedule(slicePause, [this] {
        sliceWorkItem_.reset();
        styleSlice();
    });
}

void StylingLeftForLater::styleSlice() {
    followEdits();
    if (const std::optional<TextRange> slice = nextSlice()) {
        styleRegion(*slice);
        scheduleSlice();
    }
}

std::optional<TextRange> StylingLeftForLater::nextSlice() const {
    // The piece left within reach of the focus that lies nearest to it, and the end of it that faces the focus.
    const TextRange reach = widened(TextRange{focus_, 0}, sizes_.idleReach, storage_.length());
    std::optional<TextRange> nearest;
    std::size_t nearestDistance = std::numeric_limits<std::size_t>::max();
    for (const TextRange &left : leftForLater_) {
        const TextRange piece = intersection(left, reach);
        if (piece.length == 0) {
            continue;
        }
        const std::size_t distance = focus_ < piece.location ? piece.location - focus_
                                     : focus_ >= piece.end() ? focus_ - piece.end() + 1
                                                             : 0;
        if (distance < nearestDistance) {
            nearest = piece;
            nearestDistance = distance;
        }
    }
    if (!nearest) {
        return std::nullopt;
    }
    const std::size_t length = std::min(sizes_.slice, nearest->length);
    if (focus_ >= nearest->end()) {
        return TextRange{nearest->end() - length, length};
    }
    const std::size_t start = std::max(nearest->location, std::min(focus_, nearest->end() - length));
    return TextRange{start, length};
}

} // namespace velto::editor
