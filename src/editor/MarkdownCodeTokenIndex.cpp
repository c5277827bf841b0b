#include "editor/MarkdownCodeTokenIndex.h"

#include "editor/StringRanges.h"

#include <algorithm>

namespace velto::editor {

namespace {

std::size_t startOf(const FenceLine &line) {
    return line.start;
}
std::size_t startOf(const BacktickRun &run) {
    return run.start;
}
void shift(std::size_t &position, std::ptrdiff_t delta) {
    position = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(position) + delta);
}
void shift(BacktickRun &run, std::ptrdiff_t delta) {
    shift(run.start, delta);
}
void shift(FenceLine &line, std::ptrdiff_t delta) {
    shift(line.start, delta);
}

/// Drops the items starting in [from, to) and moves those starting at or after `to` by `delta`.
template <typename Item>
void dropAndShift(std::vector<Item> &items, std::size_t from, std::size_t to, std::ptrdiff_t delta) {
    const auto first = std::lower_bound(items.begin(), items.end(), from,
                                        [](const Item &item, std::size_t value) { return startOf(item) < value; });
    const auto last = std::lower_bound(first, items.end(), to,
                                       [](const Item &item, std::size_t value) { return startOf(item) < value; });
    const auto kept = items.erase(first, last);
    for (auto it = kept; it != items.end(); ++it) {
        shift(*it, delta);
    }
}

/// Replaces the items starting in the window with `fresh`.
template <typename Item>
void replaceWindow(std::vector<Item> &items, TextRange window, const std::vector<Item> &fresh) {
    const auto first = std::lower_bound(items.begin(), items.end(), window.location,
                                        [](const Item &item, std::size_t value) { return startOf(item) < value; });
    const auto last = std::lower_bound(first, items.end(), window.end(),
                                       [](const Item &item, std::size_t value) { return startOf(item) < value; });
    const auto at = items.erase(first, last);
    items.insert(at, fresh.begin(), fresh.end());
}

std::size_t lineFeedLineStart(std::u16string_view text, std::size_t position) {
    while (position > 0 && text[position - 1] != u'\n') {
        --position;
    }
    return position;
}

std::size_t lineFeedLineEnd(std::u16string_view text, std::size_t position) {
    const std::size_t feed = findUnit(text, position, u'\n');
    return feed == text.size() ? feed : feed + 1;
}

} // namespace

MarkdownCodeTokenIndex::MarkdownCodeTokenIndex(std::u16string_view text)
    : textLength_(text.size())
    , fenceLines_(MarkdownSyntaxScanner::fenceLines(text, TextRange{0, text.size()}))
    , runs_(MarkdownSyntaxScanner::backtickRuns(text, TextRange{0, text.size()})) {}

void MarkdownCodeTokenIndex::update(std::u16string_view text, const std::vector<CharacterEdit> &edits) {
    structure_.reset();
    textLength_ = text.size();
    // Follow the edits in turn: drop what they touched, move what follows, and remember where the
    // text changed (in the coordinates of the latest text).
    std::vector<TextRange> changed;
    for (const CharacterEdit &edit : edits) {
        const std::size_t oldEnd = edit.location + edit.oldLength;
        const auto delta = static_cast<std::ptrdiff_t>(edit.newLength) - static_cast<std::ptrdiff_t>(edit.oldLength);
        dropAndShift(fenceLines_, edit.location, oldEnd, delta);
        dropAndShift(runs_, edit.location, oldEnd, delta);
        TextRange now{edit.location, edit.newLength};
        std::vector<TextRange> moved;
        for (TextRange range : changed) {
            if (range.location >= oldEnd) {
                shift(range.location, delta); // after the edit
                moved.push_back(range);
            } else if (range.end() <= edit.location) {
                moved.push_back(range); // before the edit
            } else {
                // Overlapping: what remains of it joins the edit's own range.
                std::size_t end = edit.location + edit.newLength;
                if (range.end() > oldEnd) {
                    end = std::max(end, static_cast<std::size_t>(static_cast<std::ptrdiff_t>(range.end()) + delta));
                }
                now = unionRange(now, rangeBetween(std::min(range.location, edit.location), end));
            }
        }
        moved.push_back(now);
        changed = std::move(moved);
    }
    // Read every line that holds a change again: a run's escape and a line's fence depend on the line
    // around them, never on other lines.
    std::sort(changed.begin(), changed.end(), [](TextRange a, TextRange b) { return a.location < b.location; });
    std::vector<TextRange> windows;
    for (const TextRange range : changed) {
        const TextRange window = rangeBetween(lineFeedLineStart(text, std::min(range.location, text.size())),
                                              lineFeedLineEnd(text, std::min(range.end(), text.size())));
        if (!windows.empty() && windows.back().end() >= window.location) {
            windows.back() = unionRange(windows.back(), window);
        } else {
            windows.push_back(window);
        }
    }
    for (const TextRange window : windows) {
        replaceWindow(fenceLines_, window, MarkdownSyntaxScanner::fenceLines(text, window));
        replaceWindow(runs_, window, MarkdownSyntaxScanner::backtickRuns(text, window));
    }
}

FencedCodeScan MarkdownCodeTokenIndex::fencedCodeScan(std::u16string_view text) const {
    return MarkdownSyntaxScanner::fencedCodeScan(text, fenceLines_);
}

DocumentStructure MarkdownCodeTokenIndex::structure(std::u16string_view, FencedCodeScan scan) const {
    DocumentStructure structure;
    structure.fencedBlocks = std::move(scan.blocks);
    std::vector<TextRange> fencedRanges;
    fencedRanges.reserve(structure.fencedBlocks.size());
    for (const FencedCodeBlock &block : structure.fencedBlocks) {
        fencedRanges.push_back(block.fullRange);
    }
    structure.inlineCodeSpans = MarkdownSyntaxScanner::inlineCodeSpans(runs_, fencedRanges);
    return structure;
}

const DocumentStructure &MarkdownCodeTokenIndex::structure() const {
    if (!structure_) {
        FencedCodeScan scan = MarkdownSyntaxScanner::fencedCodeScan(textLength_, fenceLines_);
        isBalanced_ = scan.isBalanced;
        structure_ = structure(std::u16string_view{}, std::move(scan));
    }
    return *structure_;
}

bool MarkdownCodeTokenIndex::isBalanced() const {
    structure();
    return isBalanced_;
}

namespace {

/// The item whose full range holds the location, in items whose full ranges are disjoint and in
/// text order.
template <typename Item> const Item *containing(const std::vector<Item> &items, std::size_t location) {
    const auto after = std::upper_bound(items.begin(), items.end(), location, [](std::size_t value, const Item &item) {
        return value < item.fullRange.location;
    });
    if (after == items.begin() || !std::prev(after)->fullRange.contains(location)) {
        return nullptr;
    }
    return &*std::prev(after);
}

} // namespace

const FencedCodeBlock *MarkdownCodeTokenIndex::fencedBlockContaining(std::size_t location) const {
    return containing(structure().fencedBlocks, location);
}

const InlineCodeSpan *MarkdownCodeTokenIndex::inlineCodeSpanContaining(std::size_t location) const {
    return containing(structure().inlineCodeSpans, location);
}

} // namespace velto::editor
