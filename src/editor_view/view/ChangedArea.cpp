#include "editor_view/view/ChangedArea.h"

#include "editor_view/layout/LayoutCache.h"

#include <algorithm>

namespace velto::editor {

namespace {

/// Where a position stands after `oldLength` units at `location` became `newLength` units; a position inside
/// the replaced units goes to their start.
std::size_t movedThrough(std::size_t position, std::size_t location, std::size_t oldLength, std::size_t newLength) {
    if (position < location) {
        return position;
    }
    if (position >= location + oldLength) {
        return position - oldLength + newLength;
    }
    return location;
}

} // namespace

ChangedArea::ChangedArea(LayoutCache &cache)
    : cache_(cache)
    , paragraphCount_(cache.paragraphCount())
    , estimatesGeneration_(cache.estimatesGeneration()) {}

void ChangedArea::editingGroupDidFinish(const EditingSummary &summary) {
    pending_ = true;
    const std::size_t length = cache_.storage().length();
    const TextRange edited = summary.editedRange;
    if (!summary.attributesOnly) {
        onlyAttributesChanged_ = false;
        editedFrom_ = editedFrom_ ? std::min(*editedFrom_, edited.location) : edited.location;
        const auto oldLength = static_cast<std::ptrdiff_t>(edited.length) - summary.changeInLength;
        if (oldLength < 0) {
            everything_ = true;
        } else {
            const auto oldUnits = static_cast<std::size_t>(oldLength);
            const std::size_t start = movedThrough(shownSelection_.location, edited.location, oldUnits, edited.length);
            const std::size_t end = movedThrough(shownSelection_.end(), edited.location, oldUnits, edited.length);
            shownSelection_ = TextRange{start, end - std::min(end, start)};
        }
    }
    // Paragraphs added or removed move everything below them; heights estimated afresh move anything.
    if (cache_.paragraphCount() != paragraphCount_ || cache_.estimatesGeneration() != estimatesGeneration_) {
        everything_ = true;
    }
    if (cache_.paragraphCount() == 0) {
        everything_ = true;
        return;
    }
    const std::size_t first = cache_.index().paragraphContaining(std::min(edited.location, length));
    const std::size_t last =
        cache_.index().paragraphContaining(std::min(edited.length > 0 ? edited.end() - 1 : edited.location, length));
    if (summary.attributesOnly) {
        restyled_ = restyled_ ? ParagraphSpan{std::min(restyled_->first, first), std::max(restyled_->last, last)}
                              : ParagraphSpan{first, last};
    }
    if (everything_) {
        return;
    }
    if (first != last || (editedParagraph_ && *editedParagraph_ != first)) {
        everything_ = true;
        return;
    }
    if (!editedParagraph_) {
        // An edit within one paragraph keeps its height until it is laid out again: the height it was shown with.
        editedParagraph_ = first;
        heightBefore_ = cache_.paragraphHeight(first);
    }
}

void ChangedArea::wholeViewPainted(TextRange selection) {
    reset(selection);
}

void ChangedArea::reset(TextRange selection) {
    pending_ = false;
    everything_ = false;
    editedParagraph_.reset();
    selectionMoved_ = false;
    editedFrom_.reset();
    onlyAttributesChanged_ = true;
    restyled_.reset();
    paragraphCount_ = cache_.paragraphCount();
    estimatesGeneration_ = cache_.estimatesGeneration();
    shownSelection_ = selection;
}

std::optional<VerticalStretch> ChangedArea::take(TextRange selection, VerticalStretch view) {
    tookCaretsOnly_ = shownSelection_.length == 0 && selection.length == 0;
    if (cache_.paragraphCount() == 0 || cache_.estimatesGeneration() != estimatesGeneration_) {
        reset(selection);
        return std::nullopt;
    }
    if (onlyRestyledOutOfView(view)) {
        // Nothing shown changed: only the selection, if it moved, is painted again.
        everything_ = false;
        editedParagraph_.reset();
        if (!selectionMoved_) {
            reset(selection);
            return VerticalStretch{view.top, view.top};
        }
    }
    if (everything_) {
        reset(selection);
        return std::nullopt;
    }
    std::optional<VerticalStretch> changed;
    const auto include = [&changed](VerticalStretch stretch) {
        changed = changed
                      ? VerticalStretch{std::min(changed->top, stretch.top), std::max(changed->bottom, stretch.bottom)}
                      : stretch;
    };
    if (editedParagraph_) {
        const std::size_t paragraph = *editedParagraph_;
        const double top = cache_.paragraphTop(paragraph);
        if (top + heightBefore_ <= view.top) {
            // Above the view: a change of its height would move everything shown.
            reset(selection);
            return std::nullopt;
        }
        if (top < view.bottom) {
            // What the view shows of it is laid out now, as painting would: its height tells whether the text
            // below it moved.
            cache_.piecesBetween(std::max(top, view.top), std::min(top + heightBefore_, view.bottom));
            const double height = cache_.paragraphHeight(paragraph);
            include(VerticalStretch{top, height == heightBefore_ ? top + height : view.bottom});
        }
    }
    // The caret, the selection's colour and the rules showing their source, where the selection was and is.
    const std::size_t length = cache_.storage().length();
    for (const TextRange range : {shownSelection_, selection}) {
        const std::size_t start = std::min(range.location, length);
        include(paragraphsStretch(start, std::min(range.end(), length)));
    }
    if (const std::optional<double> linesTop = firstChangedLineTop(selection)) {
        changed->top = std::max(changed->top, *linesTop);
    }
    reset(selection);
    const double top = std::max(changed->top - margin, view.top);
    const double bottom = std::min(changed->bottom + margin, view.bottom);
    return VerticalStretch{top, std::max(top, bottom)};
}

bool ChangedArea::onlyRestyledOutOfView(VerticalStretch view) {
    if (!onlyAttributesChanged_ || !restyled_ || cache_.paragraphCount() != paragraphCount_) {
        return false;
    }
    // The heights of paragraphs given new attributes stay until they are laid out again: these are the places
    // the view was painted with.
    const double top = cache_.paragraphTop(restyled_->first);
    const double bottom = cache_.paragraphTop(restyled_->last) + cache_.paragraphHeight(restyled_->last);
    return bottom + margin <= view.top || top - margin >= view.bottom;
}

std::optional<double> ChangedArea::firstChangedLineTop(TextRange selection) {
    // Keys typed in a paragraph, the carets in it before and after: lines are broken one after another from the
    // paragraph's start, each from its own text and the first word of the next, so the lines before the one
    // ahead of the first edited line stay as they were, and where they were.
    if (!editedParagraph_ || !editedFrom_ || restyled_ || shownSelection_.length > 0 || selection.length > 0) {
        return std::nullopt;
    }
    const std::size_t paragraph = *editedParagraph_;
    const TextRange range = cache_.index().paragraphRange(paragraph);
    const std::size_t first = std::min({*editedFrom_, shownSelection_.location, selection.location});
    const auto holds = [&range](std::size_t position) { return range.location <= position && position <= range.end(); };
    if (!holds(shownSelection_.location) || !holds(selection.location) || first < range.location ||
        range.length > longestParagraphByLines) {
        return std::nullopt;
    }
    // Left to right before and after: a letter comes first and no character of a right-to-left or complex script
    // follows anywhere, which could turn the paragraph's direction or reorder its lines.
    const std::u16string text = cache_.storage().substring(range);
    bool letterFirst = false;
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char16_t unit = text[k];
        if (unit >= 0x0590) {
            return std::nullopt;
        }
        const bool letter = (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z');
        letterFirst = letterFirst || (letter && range.location + k < first);
    }
    const TextRange line = cache_.visualLineRange(first);
    if (!letterFirst || line.location <= range.location) {
        return std::nullopt;
    }
    return cache_.lineRectFor(line.location - 1).top();
}

VerticalStretch ChangedArea::paragraphsStretch(std::size_t first, std::size_t last) {
    const std::size_t firstParagraph = cache_.index().paragraphContaining(first);
    const std::size_t lastParagraph = cache_.index().paragraphContaining(last);
    return VerticalStretch{cache_.paragraphTop(firstParagraph),
                           cache_.paragraphTop(lastParagraph) + cache_.paragraphHeight(lastParagraph)};
}

} // namespace velto::editor
