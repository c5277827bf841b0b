#include "editor_view/spelling/ContinuousSpellChecking.h"

#include "editor/markdown/MarkdownStyler.h"
#include "editor/text/StorageLines.h"

#include <algorithm>

namespace velto::editor {

ContinuousSpellChecking::ContinuousSpellChecking(SpellChecker &checker, Source source, QObject *parent)
    : QObject(parent)
    , checker_(checker)
    , source_(std::move(source)) {
    idle_.setSingleShot(true);
    idle_.setInterval(0);
    connect(&idle_, &QTimer::timeout, this, &ContinuousSpellChecking::runScheduledSlice);
}

void ContinuousSpellChecking::setEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    if (enabled_) {
        scheduleCheck();
    } else {
        idle_.stop();
    }
    emit misspellingsChanged();
}

void ContinuousSpellChecking::scheduleCheck() {
    if (enabled_ && !idle_.isActive()) {
        idle_.start();
    }
}

namespace {

/// The paragraphs touching the visible range, copied out: spell checking reads them, never the whole page.
/// `visible` is the visible range within the copy.
struct VisibleParagraphs {
    TextStretch stretch;
    TextRange visible;
};

VisibleParagraphs visibleParagraphs(const TextStorage &storage, TextRange visible) {
    const std::size_t first = std::min(visible.location, storage.length());
    const std::size_t last = std::min(visible.end(), storage.length());
    const TextRange paragraphs = paragraphRange(storage, rangeBetween(first, last));
    const std::size_t start = paragraphs.location;
    return {TextStretch{paragraphs, storage.substring(paragraphs)}, rangeBetween(first - start, last - start)};
}

/// The ranges clipped to the stretch, in its coordinates.
std::vector<TextRange> rangesWithin(const std::vector<TextRange> &ranges, TextRange stretch) {
    std::vector<TextRange> within;
    for (TextRange range : ranges) {
        const std::size_t start = std::max(range.location, stretch.location);
        const std::size_t end = std::min(range.end(), stretch.end());
        if (start < end) {
            within.push_back(rangeBetween(start - stretch.location, end - stretch.location));
        }
    }
    return within;
}

} // namespace

const std::vector<TextRange> &ContinuousSpellChecking::codeRanges() {
    codeRanges_.clear();
    const TextStorage *storage = source_.storage();
    if (storage == nullptr || storage->length() == 0) {
        return codeRanges_;
    }
    const bool styled = !source_.isStyled || source_.isStyled();
    const VisibleParagraphs shown = visibleParagraphs(*storage, source_.visibleRange());
    for (TextRange local : paragraphsTouching(shown.stretch.text, shown.visible)) {
        const TextRange paragraph{shown.stretch.range.location + local.location, local.length};
        if (!codeRanges_.empty() && codeRanges_.back().end() > paragraph.location) {
            continue;
        }
        const std::size_t probe = std::min(paragraph.location, storage->length() - 1);
        if (styled) {
            // The styler marks every fenced block, fence lines included: a look-up per paragraph.
            TextRange block;
            if (storage->attribute(AttributeKey::veltoCodeBlock, probe, &block, TextRange{0, storage->length()}) !=
                nullptr) {
                codeRanges_.push_back(block);
            }
        } else if (std::optional<FencedCodeBlock> block = MarkdownStyler::fencedBlockContaining(*storage, probe)) {
            codeRanges_.push_back(block->fullRange);
        }
    }
    return codeRanges_;
}

bool ContinuousSpellChecking::runSlice(std::chrono::microseconds budget) {
    const TextStorage *storage = source_.storage();
    if (!enabled_ || storage == nullptr) {
        return true;
    }
    const auto deadline = SpellChecker::Clock::now() + budget;
    const std::vector<TextRange> &code = codeRanges();
    const VisibleParagraphs shown = visibleParagraphs(*storage, source_.visibleRange());
    return checker_.checkParagraphs(shown.stretch.text, shown.visible, rangesWithin(code, shown.stretch.range),
                                    deadline);
}

std::vector<TextRange> ContinuousSpellChecking::misspelledRanges() {
    const TextStorage *storage = source_.storage();
    if (!enabled_ || storage == nullptr) {
        return {};
    }
    const std::vector<TextRange> &code = codeRanges();
    const VisibleParagraphs shown = visibleParagraphs(*storage, source_.visibleRange());
    std::vector<TextRange> ranges =
        checker_.misspelledRanges(shown.stretch.text, shown.visible, rangesWithin(code, shown.stretch.range));
    for (TextRange &range : ranges) {
        range.location += shown.stretch.range.location;
    }
    return ranges;
}

void ContinuousSpellChecking::runScheduledSlice() {
    const bool finished = runSlice();
    emit misspellingsChanged();
    if (!finished) {
        idle_.start();
    }
}

} // namespace velto::editor
