#include "editor/markdown/MarkdownCodeTokenIndex.h"

#include "editor/text/StringRanges.h"
#include "platform/Text.h"

#include <algorithm>
#include <utility>

namespace velto::editor {

// ---- moving items with the text ----

namespace {

void shiftPosition(std::size_t &position, std::ptrdiff_t delta) {
    position = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(position) + delta);
}

} // namespace

void shift(FenceLine &line, std::ptrdiff_t delta) {
    shiftPosition(line.start, delta); // the rest of a fence line is relative to its start
}
void shift(BacktickRun &run, std::ptrdiff_t delta) {
    shiftPosition(run.start, delta);
}
void shift(FencedCodeBlock &block, std::ptrdiff_t delta) {
    shiftPosition(block.opening.lineRange.location, delta);
    shiftPosition(block.opening.markerRange.location, delta);
    shiftPosition(block.contentRange.location, delta);
    if (block.closingRange) {
        shiftPosition(block.closingRange->location, delta);
    }
    shiftPosition(block.fullRange.location, delta);
    shiftPosition(block.presentationRange.location, delta);
}
void shift(InlineCodeSpan &span, std::ptrdiff_t delta) {
    shiftPosition(span.fullRange.location, delta);
    shiftPosition(span.contentRange.location, delta);
}

EditMapping::EditMapping(const CharacterEdit &edit)
    : location(edit.location)
    , oldEnd(edit.location + edit.oldLength)
    , delta(static_cast<std::ptrdiff_t>(edit.newLength) - static_cast<std::ptrdiff_t>(edit.oldLength)) {}

std::size_t EditMapping::start(std::size_t position) const {
    if (position <= location) {
        return position;
    }
    return position >= oldEnd ? static_cast<std::size_t>(static_cast<std::ptrdiff_t>(position) + delta) : location;
}

std::size_t EditMapping::end(std::size_t position) const {
    if (position >= oldEnd) {
        return static_cast<std::size_t>(static_cast<std::ptrdiff_t>(position) + delta);
    }
    return std::min(position, location);
}

TextRange EditMapping::range(TextRange range) const {
    return rangeBetween(start(range.location), end(range.end()));
}

namespace {

/// A block that holds an edit between its fence lines (touchesFenceLineOfBlock sends the others to
/// be worked out again): its opening line stays, everything from its contents' end on moves.
void mapThrough(const EditMapping &mapping, FencedCodeBlock &block) {
    block.contentRange = mapping.range(block.contentRange);
    if (block.closingRange) {
        block.closingRange = mapping.range(*block.closingRange);
    }
    block.fullRange = mapping.range(block.fullRange);
    block.presentationRange = mapping.range(block.presentationRange);
}

void mapThrough(const EditMapping &mapping, InlineCodeSpan &span) {
    span.fullRange = mapping.range(span.fullRange);
    span.contentRange = mapping.range(span.contentRange);
}

/// Moves the items with one edit: those starting in the replaced units are dropped (and returned),
/// those after it shift, and the one that begins before the edit and reaches into it is mapped.
template <typename Item, typename Stored>
std::vector<Item> followEditIn(ShiftedItemList<Item, Stored> &items, const EditMapping &mapping, bool mapsContaining) {
    const std::size_t first = items.firstStartingAtOrAfter(mapping.location);
    const std::size_t last = items.firstStartingAtOrAfter(std::max(mapping.oldEnd, mapping.location + 1));
    // An insertion drops nothing: what starts at its location moves after it.
    const std::size_t dropEnd = mapping.oldEnd > mapping.location ? last : first;
    std::vector<Item> dropped;
    for (std::size_t index = first; index < dropEnd; ++index) {
        dropped.push_back(items.at(index));
    }
    items.splice(first, dropEnd - first, {});
    items.shiftFrom(first, mapping.delta);
    if constexpr (requires(Item item) { mapThrough(mapping, item); }) {
        if (mapsContaining && first > 0) {
            Item before = items.at(first - 1);
            if (before.fullRange.end() > mapping.location) {
                mapThrough(mapping, before);
                items.replace(first - 1, before);
            }
        }
    }
    return dropped;
}

/// The items of the buffer that start in the window.
template <typename Item, typename Stored>
std::vector<Item> itemsIn(const ShiftedItemList<Item, Stored> &items, TextRange window) {
    std::vector<Item> found;
    const std::size_t last = items.firstStartingAtOrAfter(window.end());
    for (std::size_t index = items.firstStartingAtOrAfter(window.location); index < last; ++index) {
        found.push_back(items.at(index));
    }
    return found;
}

/// Replaces the items starting in the window with `fresh`; returns whether they differed.
template <typename Item, typename Stored>
bool replaceWindow(ShiftedItemList<Item, Stored> &items, TextRange window, const std::vector<Item> &fresh) {
    const std::size_t first = items.firstStartingAtOrAfter(window.location);
    const std::size_t last = items.firstStartingAtOrAfter(window.end());
    bool same = last - first == fresh.size();
    for (std::size_t k = 0; same && k < fresh.size(); ++k) {
        same = items.at(first + k) == fresh[k];
    }
    if (!same) {
        items.splice(first, last - first, fresh);
    }
    return !same;
}

/// The range covering the items in which two lists (of items in text order) differ, leaving out the
/// equal ones at both ends; none when they are equal.
template <typename Item>
std::optional<TextRange> differingRange(const std::vector<Item> &before, const std::vector<Item> &after) {
    std::size_t front = 0;
    while (front < before.size() && front < after.size() && before[front] == after[front]) {
        ++front;
    }
    std::size_t back = 0;
    while (back < before.size() - front && back < after.size() - front &&
           before[before.size() - 1 - back] == after[after.size() - 1 - back]) {
        ++back;
    }
    std::optional<TextRange> range;
    const auto add = [&range](const std::vector<Item> &items, std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to; ++k) {
            range = range ? unionRange(*range, items[k].fullRange) : items[k].fullRange;
        }
    };
    add(before, front, before.size() - back);
    add(after, front, after.size() - back);
    return range;
}

// ---- reading the text ----

/// A contiguous text read as the storage is.
struct ContiguousText {
    std::u16string_view units;
    std::size_t length() const { return units.size(); }
    char16_t characterAt(std::size_t location) const { return units[location]; }
    std::u16string substring(TextRange range) const {
        return std::u16string(units.substr(range.location, range.length));
    }
};

template <typename Text> std::size_t lineFeedLineStart(const Text &text, std::size_t position) {
    while (position > 0 && text.characterAt(position - 1) != u'\n') {
        --position;
    }
    return position;
}

template <typename Text> std::size_t lineFeedLineEnd(const Text &text, std::size_t position) {
    while (position < text.length() && text.characterAt(position) != u'\n') {
        ++position;
    }
    return position < text.length() ? position + 1 : position;
}

// The storage finds line feeds chunk by chunk, without a lookup per unit.
std::size_t lineFeedLineStart(const TextStorage &storage, std::size_t position) {
    const std::size_t feed = storage.findBackward(u'\n', position);
    return feed == TextRange::notFound ? 0 : feed + 1;
}

std::size_t lineFeedLineEnd(const TextStorage &storage, std::size_t position) {
    const std::size_t feed = storage.findForward(u'\n', position);
    return feed < storage.length() ? feed + 1 : feed;
}

/// The ranges the edits changed, in the coordinates of the text after the last one.
std::vector<TextRange> changedRanges(const std::vector<CharacterEdit> &edits) {
    std::vector<TextRange> changed;
    for (const CharacterEdit &edit : edits) {
        const EditMapping mapping(edit);
        TextRange now{edit.location, edit.newLength};
        std::vector<TextRange> moved;
        for (TextRange range : changed) {
            if (range.location >= mapping.oldEnd) {
                shiftPosition(range.location, mapping.delta); // after the edit
                moved.push_back(range);
            } else if (range.end() <= edit.location) {
                moved.push_back(range); // before the edit
            } else {
                // Overlapping: what remains of it joins the edit's own range.
                now = unionRange(now, rangeBetween(std::min(range.location, edit.location), mapping.end(range.end())));
            }
        }
        moved.push_back(now);
        changed = std::move(moved);
    }
    std::sort(changed.begin(), changed.end(), [](TextRange a, TextRange b) { return a.location < b.location; });
    return changed;
}

template <typename Item> void moveBy(std::vector<Item> &items, std::size_t offset) {
    for (Item &item : items) {
        shift(item, static_cast<std::ptrdiff_t>(offset));
    }
}

// ---- pairing backtick runs ----

// The runs a pairing walks: the index's own, or those of a text being indexed that lie outside its blocks.
BacktickRun runAt(const ShiftedItemList<BacktickRun, StoredBacktickRun> &runs, std::size_t index) {
    return runs.at(index);
}
std::size_t lengthAt(const ShiftedItemList<BacktickRun, StoredBacktickRun> &runs, std::size_t index) {
    return runs.stored(index).length; // read in place: the length does not move with the text
}
BacktickRun runAt(const std::vector<BacktickRun> &runs, std::size_t index) {
    return runs[index];
}
std::size_t lengthAt(const std::vector<BacktickRun> &runs, std::size_t index) {
    return runs[index].length;
}

/// The code spans that backtick runs make, found by walking the runs from `first` on: a run closes at
/// the next run of exactly its length, runs inside fenced blocks take no part, and a run that nothing
/// closes stays literal. The walk stops before the first run at which `stopsAt` holds.
template <typename Runs, typename InsideBlock, typename StopsAt>
std::size_t pairRuns(const Runs &runs, std::size_t first, const InsideBlock &insideBlock, const StopsAt &stopsAt,
                     std::vector<InlineCodeSpan> &spans, std::map<std::size_t, std::size_t> &literals) {
    std::size_t current = first;
    while (current < runs.size() && !stopsAt(current)) {
        const BacktickRun opening = runAt(runs, current);
        if (insideBlock(opening.start)) {
            ++current;
            continue;
        }
        std::size_t closing = current + 1;
        while (closing < runs.size() &&
               (lengthAt(runs, closing) != opening.length || insideBlock(runAt(runs, closing).start))) {
            ++closing;
        }
        if (closing == runs.size()) {
            literals[opening.length] = opening.start; // no closing run: it stays literal text
            ++current;
            continue;
        }
        const BacktickRun closingRun = runAt(runs, closing);
        spans.push_back(InlineCodeSpan{rangeBetween(opening.start, closingRun.start + closingRun.length),
                                       rangeBetween(opening.start + opening.length, closingRun.start)});
        current = closing + 1;
    }
    return current;
}

/// Adds the runs of a stretch of whole lines that lie outside fenced blocks, once its fence lines are paired:
/// outside the blocks closed in it, and before the start of the block left open at its end, which holds the rest
/// of the stretch whether a later line closes it or it runs to the text's end.
void addRunsOutsideBlocks(const std::vector<BacktickRun> &runs, const std::vector<StoredFencedCodeBlock> &closedBlocks,
                          std::optional<std::size_t> openBlockStart, std::vector<BacktickRun> &outside) {
    std::size_t block = 0;
    for (const BacktickRun &run : runs) {
        while (block < closedBlocks.size() &&
               std::size_t{closedBlocks[block].fullRange.location} + closedBlocks[block].fullRange.length <=
                   run.start) {
            ++block;
        }
        const bool insideClosed = block < closedBlocks.size() && closedBlocks[block].fullRange.location <= run.start;
        const bool insideOpen = openBlockStart && run.start >= *openBlockStart;
        if (!insideClosed && !insideOpen) {
            outside.push_back(run);
        }
    }
}

} // namespace

/// The whole line-feed lines that hold the changes, merged where they meet.
template <typename Text> std::vector<TextRange> linesHolding(const Text &text, const std::vector<TextRange> &changed) {
    std::vector<TextRange> lines;
    for (const TextRange range : changed) {
        const TextRange line = rangeBetween(lineFeedLineStart(text, std::min(range.location, text.length())),
                                            lineFeedLineEnd(text, std::min(range.end(), text.length())));
        if (!lines.empty() && lines.back().end() >= line.location) {
            lines.back() = unionRange(lines.back(), line);
        } else {
            lines.push_back(line);
        }
    }
    return lines;
}

/// Whether every edit kept the units it removed, none of which, nor any it inserted, ends a line.
/// (Inserted units are read from the text by runStretchesAround.)
bool keepLineBreaks(const std::vector<CharacterEdit> &edits) {
    return std::all_of(edits.begin(), edits.end(), [](const CharacterEdit &edit) {
        return edit.keepsRemovedUnits() &&
               std::none_of(edit.removedUnits.begin(), edit.removedUnits.end(), isLineTerminator);
    });
}

bool isBacktickOrBackslash(char16_t unit) {
    return unit == u'`' || unit == u'\\';
}

/// The stretch around a change that holds every backtick run the change may have made, unmade or
/// escaped: out to the nearest unit on each side that is neither a backtick nor a backslash.
template <typename Text> TextRange runStretchAround(const Text &text, TextRange change) {
    std::size_t start = change.location;
    while (start > 0 && isBacktickOrBackslash(text.characterAt(start - 1))) {
        --start;
    }
    std::size_t end = change.end();
    while (end < text.length() && isBacktickOrBackslash(text.characterAt(end))) {
        ++end;
    }
    return rangeBetween(start, end);
}

/// Up to three spaces and a run of three fence characters, with room to spare: a change this far
/// past its line's start leaves the start, and so whether the line can be a fence line, as it was.
constexpr std::size_t fenceLineStartLength = 8;

template <typename Text> bool holdsLineTerminator(const Text &text, TextRange range) {
    for (std::size_t position = range.location; position < range.end(); ++position) {
        if (isLineTerminator(text.characterAt(position))) {
            return true;
        }
    }
    return false;
}

/// The start of the line holding the position when it lies at most fenceLineStartLength units
/// before it; none when it lies further back.
template <typename Text> std::optional<std::size_t> nearLineStart(const Text &text, std::size_t position) {
    for (std::size_t start = position; start + fenceLineStartLength >= position; --start) {
        if (start == 0 || isLineTerminator(text.characterAt(start - 1))) {
            return start;
        }
    }
    return std::nullopt;
}

/// Whether the line starting there may be a fence line: a backtick or tilde among its first units.
template <typename Text> bool mayStartFenceLine(const Text &text, std::size_t lineStart) {
    const std::size_t end = std::min(lineStart + 4, text.length());
    for (std::size_t position = lineStart; position < end; ++position) {
        const char16_t unit = text.characterAt(position);
        if (unit == u'`' || unit == u'~') {
            return true;
        }
    }
    return false;
}

/// Whether a change at the position changes the fence line that starts before it: the position lies inside the
/// line, or right after it where the line ends the text without a line break (the change lengthens it) or with
/// a carriage return (a line feed after it joins its line break).
template <typename Text>
bool reachesFenceLineBefore(const Text &text, const ShiftedItemList<FenceLine, StoredFenceLine> &lines,
                            std::size_t position) {
    const std::size_t after = lines.firstStartingAtOrAfter(position);
    if (after == 0) {
        return false;
    }
    const FenceLine line = lines.at(after - 1);
    const std::size_t lineEnd = line.start + line.length;
    const char16_t last = line.length > 0 ? text.characterAt(lineEnd - 1) : u'\0';
    return lineEnd > position || (lineEnd == position && (!isLineTerminator(last) || last == u'\r'));
}

// ---- the index ----

// Read a stretch of whole lines at a time: each stretch's fence lines are paired as they are found, its runs
// outside the blocks set aside for the code spans, and its lines, blocks and runs stored before the next is read.
// A page of a million fences would otherwise hold all of them, and the blocks they make, in their full form at
// once, hundreds of megabytes, and read them back to pair them. A stretch this short keeps the memory of its
// working lists small enough to be used again for the next.
constexpr std::size_t indexedStretch = 64 * 1024;

MarkdownCodeTokenIndex::MarkdownCodeTokenIndex(std::u16string_view text) {
    Indexing indexing;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t lineFeed = text.find(u'\n', std::min(text.size(), start + indexedStretch));
        const std::size_t end = lineFeed == std::u16string_view::npos ? text.size() : lineFeed + 1;
        indexStretch(text.substr(start, end - start), start, indexing);
        start = end;
    }
    finishIndexing(text.size(), indexing);
}

MarkdownCodeTokenIndex MarkdownCodeTokenIndex::decodedFrom(std::string_view text) {
    MarkdownCodeTokenIndex index;
    Indexing indexing;
    std::u16string units; // room for the stretch decoded, at most a unit for each of its bytes
    std::size_t offset = 0;
    // A line feed byte is a line feed unit, and the next byte starts a code point.
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t lineFeed = text.find('\n', std::min(text.size(), start + indexedStretch));
        const std::size_t end = lineFeed == std::string_view::npos ? text.size() : lineFeed + 1;
        units.resize(std::max(units.size(), end - start));
        const std::u16string_view stretch(
            units.data(),
            static_cast<std::size_t>(text::decodeUTF16(text.substr(start, end - start), units.data()) - units.data()));
        index.indexStretch(stretch, offset, indexing);
        offset += stretch.size();
        start = end;
    }
    index.finishIndexing(offset, indexing);
    return index;
}

void MarkdownCodeTokenIndex::indexStretch(std::u16string_view units, std::size_t offset, Indexing &indexing) {
    // Lines and blocks go into the lists in their stored forms, made as the lines are found and paired: their
    // full forms, strings and all, cost a page of a million fences more than the rest of its index.
    indexing.found.clear();
    indexing.closed.clear();
    MarkdownSyntaxScanner::findFenceLines(units, TextRange{0, units.size()}, indexing.found);
    std::optional<StoredFenceLine> &open = indexing.open;
    for (FoundFenceLine &line : indexing.found) {
        line.start += offset;
        StoredFenceLine stored = toStored(line);
        if (!open) {
            if (stored.opens) {
                open = stored;
            }
        } else if (closesFence(stored, open->character, open->runLength)) {
            indexing.closed.push_back(storedBlock(*open, stored));
            open.reset();
        }
        fenceLines_.appendStored(std::move(stored));
    }
    std::vector<BacktickRun> runs = MarkdownSyntaxScanner::backtickRuns(units, TextRange{0, units.size()});
    moveBy(runs, offset);
    addRunsOutsideBlocks(runs, indexing.closed, open ? std::optional<std::size_t>(open->start) : std::nullopt,
                         indexing.runsOutsideBlocks);
    for (StoredFencedCodeBlock &block : indexing.closed) {
        blocks_.appendStored(std::move(block));
    }
    runs_.append(std::move(runs));
}

void MarkdownCodeTokenIndex::finishIndexing(std::size_t length, Indexing &indexing) {
    textLength_ = length;
    if (indexing.open) {
        blocks_.appendStored(storedBlockLeftOpen(*indexing.open, length));
        isBalanced_ = false;
    }
    std::vector<InlineCodeSpan> spans;
    const auto never = [](std::size_t) { return false; };
    pairRuns(indexing.runsOutsideBlocks, 0, never, never, spans, literalRunStarts_);
    spans_ = ShiftedItemList<InlineCodeSpan, StoredInlineCodeSpan>(std::move(spans));
}

void MarkdownCodeTokenIndex::update(std::u16string_view text, const std::vector<CharacterEdit> &edits) {
    updateFrom(ContiguousText{text}, edits);
}

void MarkdownCodeTokenIndex::update(const TextStorage &storage, const std::vector<CharacterEdit> &edits) {
    updateFrom(storage, edits);
}

template <typename Text>
std::optional<std::vector<TextRange>>
MarkdownCodeTokenIndex::runStretchesAround(const Text &text, const std::vector<TextRange> &changed) const {
    std::vector<TextRange> stretches;
    for (const TextRange change : changed) {
        constexpr std::size_t longestChange = 64;
        if (change.length > longestChange || holdsLineTerminator(text, change)) {
            return std::nullopt;
        }
        // Near its line's start a change may make or unmake a fence line, so neither the line as it
        // is nor as it was (whose fence line would start at the line's start, or right after what
        // was inserted there) may be one. Further on, the line's start is as it was: the line is a
        // fence line exactly when it was, and a fence line starting at or before the change is the
        // only one that can hold it.
        if (const std::optional<std::size_t> lineStart = nearLineStart(text, change.location)) {
            if (mayStartFenceLine(text, *lineStart) ||
                fenceLines_.firstStartingAtOrAfter(*lineStart) !=
                    fenceLines_.firstStartingAtOrAfter(change.end() + 1) ||
                reachesFenceLineBefore(text, fenceLines_, change.location)) {
                return std::nullopt;
            }
        } else if (reachesFenceLineBefore(text, fenceLines_, change.location)) {
            return std::nullopt;
        }
        const TextRange stretch = runStretchAround(text, change);
        if (!stretches.empty() && stretches.back().end() >= stretch.location) {
            stretches.back() = unionRange(stretches.back(), stretch);
        } else {
            stretches.push_back(stretch);
        }
    }
    return stretches;
}

template <typename Text>
void MarkdownCodeTokenIndex::updateFrom(const Text &text, const std::vector<CharacterEdit> &edits) {
    if (edits.empty()) {
        return;
    }
    // Follow the edits in turn: drop what they touched and move what follows.
    bool fenceLinesChanged = false;
    bool runsDropped = false;
    // Where blocks and spans went with the units they started in, and where spans had their runs changed:
    // the runs there may pair anew.
    std::optional<TextRange> pairingTouched;
    const auto touch = [&pairingTouched](TextRange range) {
        pairingTouched = pairingTouched ? unionRange(*pairingTouched, range) : range;
    };
    for (const CharacterEdit &edit : edits) {
        const EditMapping mapping(edit);
        fenceLinesChanged = !followEditIn(fenceLines_, mapping, false).empty() || fenceLinesChanged;
        runsDropped = !followEditIn(runs_, mapping, false).empty() || runsDropped;
        fenceLinesChanged = touchesFenceLineOfBlock(mapping) || fenceLinesChanged;
        for (const FencedCodeBlock &block : followEditIn(blocks_, mapping, true)) {
            noteFencedBlockChange(block.fullRange);
            touch(block.fullRange);
        }
        if (const std::optional<InlineCodeSpan> span = spanReachingRunsOf(mapping)) {
            touch(span->fullRange); // moved with the edit below, its content no longer lies between its runs
        }
        for (const InlineCodeSpan &span : followEditIn(spans_, mapping, true)) {
            noteSpanChange(span.fullRange);
            touch(span.fullRange); // the runs it held pair anew
        }
        std::map<std::size_t, std::size_t> literals;
        for (const auto &[length, start] : literalRunStarts_) {
            if (start < edit.location) {
                literals.emplace(length, start);
            } else if (start >= mapping.oldEnd) {
                literals.emplace(length, static_cast<std::size_t>(static_cast<std::ptrdiff_t>(start) + mapping.delta));
            }
        }
        literalRunStarts_ = std::move(literals);
        if (structureChange_) {
            structureChange_ = mapping.range(*structureChange_);
        }
        if (fencedBlockChange_) {
            fencedBlockChange_ = mapping.range(*fencedBlockChange_);
        }
        if (pairingTouched) {
            pairingTouched = mapping.range(*pairingTouched);
        }
        textLength_ = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(textLength_) + mapping.delta);
    }

    // Read again what the changes may have changed. A run's escape depends on the backslashes right
    // before it, so around a change inside a line that is no fence line the stretch up to the nearest
    // unit that is neither a backtick nor a backslash is enough; otherwise every line that holds a
    // change is read again, since a line's fence depends on the whole line, never on other lines.
    const std::vector<TextRange> changed = changedRanges(edits);
    std::optional<std::vector<TextRange>> stretches;
    if (!fenceLinesChanged && keepLineBreaks(edits)) {
        stretches = runStretchesAround(text, changed);
    }
    const bool readsFenceLines = !stretches;
    std::optional<TextRange> runsChanged;
    const std::vector<TextRange> windows = stretches ? *stretches : linesHolding(text, changed);
    for (const TextRange window : windows) {
        const std::u16string units = text.substring(window);
        if (readsFenceLines) {
            std::vector<FenceLine> lines = MarkdownSyntaxScanner::fenceLines(units, TextRange{0, units.size()});
            moveBy(lines, window.location);
            fenceLinesChanged = replaceWindow(fenceLines_, window, lines) || fenceLinesChanged;
        }
        std::vector<BacktickRun> runs = MarkdownSyntaxScanner::backtickRuns(units, TextRange{0, units.size()});
        moveBy(runs, window.location);
        if (replaceWindow(runs_, window, runs) || runsDropped) {
            runsChanged = runsChanged ? unionRange(*runsChanged, window) : window;
        }
    }
    if (!fenceLinesChanged && !isBalanced_ && !blocks_.empty()) {
        // The unclosed block runs to the end of the text, wherever that is now.
        FencedCodeBlock last = blocks_.at(blocks_.size() - 1);
        last.contentRange = rangeBetween(last.contentRange.location, textLength_);
        last.fullRange = rangeBetween(last.fullRange.location, textLength_);
        last.presentationRange = last.fullRange;
        blocks_.replace(blocks_.size() - 1, last);
    }

    // Work the blocks out again where their lines changed, then the spans where runs changed or where runs
    // went into blocks or came out of them. The windows are whole lines holding every change: the blocks
    // before the first and the pairing after the last are as they were, moved with the text.
    std::optional<TextRange> spansChanged = runsChanged;
    if (pairingTouched) {
        spansChanged = spansChanged ? unionRange(*spansChanged, *pairingTouched) : pairingTouched;
    }
    if (fenceLinesChanged) {
        const TextRange changedLines = rangeBetween(windows.front().location, windows.back().end());
        spansChanged = spansChanged ? unionRange(*spansChanged, changedLines) : changedLines;
        if (const std::optional<TextRange> blocksChanged = pairFencesAround(changedLines)) {
            spansChanged = unionRange(*spansChanged, *blocksChanged);
        }
    }
    if (spansChanged) {
        pairSpansAround(*spansChanged);
    }
}

std::optional<InlineCodeSpan> MarkdownCodeTokenIndex::spanReachingRunsOf(const EditMapping &mapping) const {
    // The span that begins before the edit and reaches into it, when the edit is not wholly inside its content.
    const std::size_t after = spans_.firstStartingAtOrAfter(mapping.location);
    if (after == 0) {
        return std::nullopt;
    }
    InlineCodeSpan span = spans_.at(after - 1);
    if (span.fullRange.end() <= mapping.location ||
        (mapping.location >= span.contentRange.location && mapping.oldEnd <= span.contentRange.end())) {
        return std::nullopt;
    }
    return span;
}

bool MarkdownCodeTokenIndex::touchesFenceLineOfBlock(const EditMapping &mapping) const {
    // A block that holds the edit moves with it exactly while the edit stays between the end of its
    // opening line and the start of its closing line; otherwise it is worked out again.
    const std::size_t after = blocks_.firstStartingAtOrAfter(mapping.location);
    if (after == 0) {
        return false;
    }
    const FencedCodeBlock block = blocks_.at(after - 1);
    if (block.fullRange.end() <= mapping.location) {
        return false;
    }
    return mapping.location < block.opening.lineRange.end() ||
           (block.closingRange && mapping.oldEnd >= block.closingRange->location);
}

std::optional<TextRange> MarkdownCodeTokenIndex::pairFencesAround(TextRange changedLines) {
    // Pair again from where the pairing rested last before the changed lines: the end of the last closed
    // block that ends before them, or the text's start. A block that ends where they start may be one an
    // edit cut short (its end taken to the edit's location), and an unclosed block ends with the text,
    // still open: neither is left at rest.
    std::size_t first = blocks_.firstStartingAtOrAfter(changedLines.location);
    while (first > 0 &&
           (blocks_.at(first - 1).fullRange.end() >= changedLines.location || !blocks_.at(first - 1).closingRange)) {
        --first;
    }
    const std::size_t resumeAt = first > 0 ? blocks_.at(first - 1).fullRange.end() : 0;
    // Go on until, past the changed lines, a fence line opens one of the blocks as they were with no fence
    // open now: both pairings rest before it and see the same lines from there, so they agree from there on.
    MarkdownSyntaxScanner::FencePairing pairing;
    std::vector<FencedCodeBlock> fresh;
    std::size_t line = fenceLines_.firstStartingAtOrAfter(resumeAt);
    std::size_t last = blocks_.size();
    for (; line < fenceLines_.size(); ++line) {
        const std::size_t start = fenceLines_.startAt(line);
        if (start >= changedLines.end() && pairing.isAtRest()) {
            const std::size_t block = blocks_.firstStartingAtOrAfter(start);
            if (block < blocks_.size() && blocks_.startAt(block) == start) {
                last = block;
                break;
            }
        }
        if (std::optional<FencedCodeBlock> closed = pairing.take(fenceLines_.at(line))) {
            fresh.push_back(std::move(*closed));
        }
    }
    if (line == fenceLines_.size()) {
        if (std::optional<FencedCodeBlock> open = pairing.unclosedBlock(textLength_)) {
            fresh.push_back(std::move(*open));
        }
    }

    std::vector<FencedCodeBlock> replaced;
    for (std::size_t index = first; index < last; ++index) {
        replaced.push_back(blocks_.at(index));
    }
    const std::optional<TextRange> changed = differingRange(replaced, fresh);
    if (changed) {
        noteFencedBlockChange(*changed);
    }
    blocks_.splice(first, last - first, fresh);
    isBalanced_ = blocks_.empty() || blocks_.at(blocks_.size() - 1).closingRange.has_value();
    return changed;
}

bool MarkdownCodeTokenIndex::isInsideBlock(std::size_t position) const {
    const std::size_t after = blocks_.firstStartingAtOrAfter(position + 1);
    if (after == 0) {
        return false;
    }
    // Only the block's start and length are needed: read them in place rather than copy the block.
    const std::size_t start = blocks_.startAt(after - 1);
    return position < start + blocks_.stored(after - 1).fullRange.length;
}

void MarkdownCodeTokenIndex::pairSpansAround(TextRange changed) {
    // Start where the pairing was at rest before the change: at the span that holds its start, or
    // after the last span before it; earlier if a run of a length that the change brought in stayed
    // literal before it (the new run may close it now).
    std::size_t resume = 0;
    const std::size_t firstAfter = spans_.firstStartingAtOrAfter(changed.location);
    if (firstAfter > 0) {
        const InlineCodeSpan before = spans_.at(firstAfter - 1);
        resume = before.fullRange.end() >= changed.location ? before.fullRange.location : before.fullRange.end();
    }
    const std::size_t lastChangedRun = runs_.firstStartingAtOrAfter(changed.end());
    for (std::size_t index = runs_.firstStartingAtOrAfter(changed.location); index < lastChangedRun; ++index) {
        const auto literal = literalRunStarts_.find(runs_.stored(index).length);
        if (literal != literalRunStarts_.end()) {
            resume = std::min(resume, literal->second);
        }
    }

    // Pair again until the walk reaches, beyond the change, a run at which the old pairing also
    // stood at rest: from there on nothing differs. The old walk came to every run that no span of it
    // held (a span opened there, it stayed literal, or it lay in a fenced block and was passed over),
    // so a page of many blocks and no spans rests at the first run past the change.
    const auto restedBefore = [this, &changed](std::size_t index) {
        const std::size_t start = runs_.startAt(index);
        if (start < changed.end()) {
            return false;
        }
        const std::size_t after = spans_.firstStartingAtOrAfter(start + 1);
        return after == 0 || spans_.startAt(after - 1) == start || spans_.at(after - 1).fullRange.end() <= start;
    };
    std::vector<InlineCodeSpan> fresh;
    std::map<std::size_t, std::size_t> freshLiterals;
    const std::size_t stop = pairRuns(
        runs_, runs_.firstStartingAtOrAfter(resume), [this](std::size_t position) { return isInsideBlock(position); },
        restedBefore, fresh, freshLiterals);
    const std::size_t restEnd = stop < runs_.size() ? runs_.startAt(stop) : textLength_ + 1;

    const std::size_t first = spans_.firstStartingAtOrAfter(resume);
    const std::size_t last = spans_.firstStartingAtOrAfter(restEnd);
    std::vector<InlineCodeSpan> replaced;
    for (std::size_t index = first; index < last; ++index) {
        replaced.push_back(spans_.at(index));
    }
    if (const std::optional<TextRange> differing = differingRange(replaced, fresh)) {
        noteSpanChange(*differing);
    }
    spans_.splice(first, last - first, fresh);
    std::erase_if(literalRunStarts_,
                  [resume, restEnd](const auto &entry) { return entry.second >= resume && entry.second < restEnd; });
    for (const auto &[length, start] : freshLiterals) {
        literalRunStarts_[length] = start;
    }
}

void MarkdownCodeTokenIndex::noteStructureChange(TextRange range) {
    noteFencedBlockChange(range);
}

void MarkdownCodeTokenIndex::noteFencedBlockChange(TextRange range) {
    noteSpanChange(range);
    fencedBlockChange_ = fencedBlockChange_ ? unionRange(*fencedBlockChange_, range) : range;
}

void MarkdownCodeTokenIndex::noteSpanChange(TextRange range) {
    structureChange_ = structureChange_ ? unionRange(*structureChange_, range) : range;
}

std::optional<TextRange> MarkdownCodeTokenIndex::takeStructureChange() {
    return std::exchange(structureChange_, std::nullopt);
}

std::optional<TextRange> MarkdownCodeTokenIndex::takeFencedBlockChange() {
    return std::exchange(fencedBlockChange_, std::nullopt);
}

// ---- answers ----

FencedCodeScan MarkdownCodeTokenIndex::fencedCodeScan(std::u16string_view) const {
    return FencedCodeScan{blocks_.items(), isBalanced_};
}

DocumentStructure MarkdownCodeTokenIndex::structure(std::u16string_view, FencedCodeScan scan) const {
    return DocumentStructure{std::move(scan.blocks), spans_.items()};
}

DocumentStructure MarkdownCodeTokenIndex::structure() const {
    return DocumentStructure{blocks_.items(), spans_.items()};
}

bool MarkdownCodeTokenIndex::isBalanced() const {
    return isBalanced_;
}

namespace {

template <typename Item, typename Stored>
std::optional<Item> containing(const ShiftedItemList<Item, Stored> &items, std::size_t location) {
    const std::size_t after = items.firstStartingAtOrAfter(location + 1);
    if (after == 0) {
        return std::nullopt;
    }
    Item item = items.at(after - 1);
    return item.fullRange.contains(location) ? std::optional<Item>(std::move(item)) : std::nullopt;
}

template <typename Item, typename Stored>
std::vector<Item> overlapping(const ShiftedItemList<Item, Stored> &items, TextRange range) {
    std::size_t index = items.firstStartingAtOrAfter(range.location + 1);
    if (index > 0) {
        --index; // the one starting before may reach into the range
    }
    // Room for all of them at once: a region of a big page holds thousands, which would be moved at every growth.
    const std::size_t end = items.firstStartingAtOrAfter(range.end());
    std::vector<Item> found;
    found.reserve(end > index ? end - index : 0);
    for (; index < end; ++index) {
        Item item = items.at(index);
        if (overlaps(item.fullRange, range)) {
            found.push_back(std::move(item));
        }
    }
    return found;
}

} // namespace

std::optional<FencedCodeBlock> MarkdownCodeTokenIndex::fencedBlockContaining(std::size_t location) const {
    fencedBlocksRead_ += 1;
    return containing(blocks_, location);
}

std::optional<InlineCodeSpan> MarkdownCodeTokenIndex::inlineCodeSpanContaining(std::size_t location) const {
    return containing(spans_, location);
}

std::vector<FencedCodeBlock> MarkdownCodeTokenIndex::fencedBlocksOverlapping(TextRange range) const {
    std::vector<FencedCodeBlock> blocks = overlapping(blocks_, range);
    fencedBlocksRead_ += blocks.size();
    return blocks;
}

std::vector<InlineCodeSpan> MarkdownCodeTokenIndex::inlineCodeSpansOverlapping(TextRange range) const {
    return overlapping(spans_, range);
}

} // namespace velto::editor
