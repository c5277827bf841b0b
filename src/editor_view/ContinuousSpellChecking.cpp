#include "editor_view/ContinuousSpellChecking.h"

#include "editor/MarkdownSyntaxScanner.h"

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
    const TextStorage *storage = source_.storage();
    if (storage == nullptr) {
        codeRanges_.clear();
        scanned_ = false;
        return codeRanges_;
    }
    if (!scanned_ || storage->identity() != scannedIdentity_ || storage->characterVersion() != scannedVersion_) {
        codeRanges_.clear();
        for (const FencedCodeBlock &block : MarkdownSyntaxScanner::fencedCodeScan(storage->string()).blocks) {
            codeRanges_.push_back(block.fullRange);
        }
        scannedIdentity_ = storage->identity();
        scannedVersion_ = storage->characterVersion();
        scanned_ = true;
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
