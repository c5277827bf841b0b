#include "editor_view/ContinuousSpellChecking.h"

#include "editor/MarkdownStyler.h"

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

const std::vector<TextRange> &ContinuousSpellChecking::codeRanges() {
    codeRanges_.clear();
    const TextStorage *storage = source_.storage();
    if (storage == nullptr || storage->length() == 0) {
        return codeRanges_;
    }
    const bool styled = !source_.isStyled || source_.isStyled();
    for (TextRange paragraph : paragraphsTouching(storage->string(), source_.visibleRange())) {
        if (!codeRanges_.empty() && codeRanges_.back().end() > paragraph.location) {
            continue;
        }
        const std::size_t probe = std::min(paragraph.location, storage->length() - 1);
        if (styled) {
            // The styler marks every fenced block, fence lines included: a look-up per paragraph.
            TextRange block;
            if (storage->attribute(AttributeKey::veltoCodeBlock, probe, &block, TextRange{0, storage->length()}) != nullptr) {
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
    return checker_.checkParagraphs(storage->string(), source_.visibleRange(), codeRanges(), deadline);
}

std::vector<TextRange> ContinuousSpellChecking::misspelledRanges() {
    const TextStorage *storage = source_.storage();
    if (!enabled_ || storage == nullptr) {
        return {};
    }
    return checker_.misspelledRanges(storage->string(), source_.visibleRange(), codeRanges());
}

void ContinuousSpellChecking::runScheduledSlice() {
    const bool finished = runSlice();
    emit misspellingsChanged();
    if (!finished) {
        idle_.start();
    }
}

} // namespace velto::editor
