#include "editor/text/TextStorage.h"

#include <algorithm>
#include <limits>
#include <atomic>
#include <stdexcept>
#include <utility>

namespace velto::editor {

namespace {

std::uint64_t nextIdentity() {
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
}

// Chunk sizes in units. Large enough that a page's chunk list stays short (a 5 MB page has about
// five thousand), small enough that changing one chunk's units and runs costs little: a styling pass
// splits runs all over the page, and each split moves the runs after it in its chunk.
constexpr std::size_t chunkUnits = 1024;        // what a text is cut into
constexpr std::size_t largestChunkUnits = 2048; // a longer chunk is cut again
constexpr std::size_t smallestChunkUnits = 256; // a shorter one joins a neighbour

bool equalValues(const AttributeValue *a, const AttributeValue *b) {
    if (a == nullptr || b == nullptr) {
        return a == b;
    }
    return a == b || *a == *b;
}

bool isLeadSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isTrailSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

/// Where to cut units near `wanted` so that no surrogate pair is split.
std::size_t cutNear(std::u16string_view units, std::size_t wanted) {
    if (wanted > 0 && wanted < units.size() && isLeadSurrogate(units[wanted - 1]) && isTrailSurrogate(units[wanted])) {
        return wanted + 1;
    }
    return wanted;
}

} // namespace

// ---- runs inside one chunk ----
//
// A chunk's runs are found by their starts: from a nearby run the caller knows, else by binary
// search; changes split runs at the changed range's ends and join neighbours that became equal.

namespace {

/// The index of the run holding the offset, searched from the run `from` on when that one starts at
/// or before the offset. Passes walk the text forward, so the run they want next usually lies a few
/// runs after the one they used last, and stepping there touches less memory than a binary search.
/// How many units a search for any of several units tests at once.
constexpr std::size_t searchBlock = 64;

/// Whether any unit of the block is one of `units`: plain compares over a block of fixed length, which the
/// compiler does many at a time, so that a search through a long line costs little per unit.
bool blockHoldsAnyOf(const char16_t *block, std::u16string_view units) {
    unsigned hits = 0; // a bool here keeps the compiler from taking many units at once
    for (const char16_t unit : units) {
        for (std::size_t k = 0; k < searchBlock; ++k) {
            hits |= static_cast<unsigned>(block[k] == unit);
        }
    }
    return hits != 0;
}

/// Where the first of `units` at or after `from` lies in the text, or npos.
std::size_t findFirstOfIn(std::u16string_view text, std::u16string_view units, std::size_t from) {
    while (from + searchBlock <= text.size() && !blockHoldsAnyOf(text.data() + from, units)) {
        from += searchBlock;
    }
    return text.find_first_of(units, from);
}

/// Where the last of `units` before `before` lies in the text, or npos.
std::size_t findLastOfIn(std::u16string_view text, std::u16string_view units, std::size_t before) {
    while (before >= searchBlock && !blockHoldsAnyOf(text.data() + before - searchBlock, units)) {
        before -= searchBlock;
    }
    return before == 0 ? std::u16string_view::npos : text.find_last_of(units, before - 1);
}

template <typename Run> std::size_t runIndexAt(const std::vector<Run> &runs, std::size_t offset, std::size_t from = 0) {
    if (from >= runs.size() || runs[from].start > offset) {
        from = 0;
    }
    constexpr std::size_t steps = 8;
    const std::size_t stepLimit = std::min(runs.size() - 1, from + steps);
    while (from < stepLimit && runs[from + 1].start <= offset) {
        ++from;
    }
    if (from < stepLimit || from + 1 == runs.size()) {
        return from;
    }
    const auto after = std::upper_bound(runs.begin() + static_cast<std::ptrdiff_t>(from) + 1, runs.end(), offset,
                                        [](std::size_t value, const Run &run) { return value < run.start; });
    return static_cast<std::size_t>(after - runs.begin()) - 1;
}

/// The index of the run starting at the offset, splitting the run that holds it; the number of runs
/// when the offset is the chunk's end. The search for the run starts at `from` (see runIndexAt).
template <typename Chunk> std::size_t splitRunAt(Chunk &chunk, std::size_t offset, std::size_t from = 0) {
    if (offset >= chunk.units.size()) {
        return chunk.runs.size();
    }
    const std::size_t index = runIndexAt(chunk.runs, offset, from);
    if (chunk.runs[index].start == offset) {
        return index;
    }
    using Run = typename decltype(chunk.runs)::value_type;
    chunk.runs.insert(chunk.runs.begin() + static_cast<std::ptrdiff_t>(index) + 1,
                      Run{static_cast<std::uint32_t>(offset), chunk.runs[index].set});
    return index + 1;
}

/// Joins the run at the index to the one before it when their attributes are equal.
template <typename Chunk> void joinWithPrevious(Chunk &chunk, std::size_t index) {
    if (index > 0 && index < chunk.runs.size() && chunk.runs[index - 1].set == chunk.runs[index].set) {
        chunk.runs.erase(chunk.runs.begin() + static_cast<std::ptrdiff_t>(index));
    }
}

template <typename Chunk> void shiftRunStarts(Chunk &chunk, std::size_t from, std::ptrdiff_t delta) {
    for (std::size_t index = from; index < chunk.runs.size(); ++index) {
        chunk.runs[index].start =
            static_cast<std::uint32_t>(static_cast<std::ptrdiff_t>(chunk.runs[index].start) + delta);
    }
}

} // namespace

TextStorage::TextStorage()
    : identity_(nextIdentity()) {}

TextStorage::TextStorage(std::u16string text, Attributes attributes)
    : identity_(nextIdentity()) {
    appendChunks(text, {AttributeRun{TextRange{0, text.size()}, std::move(attributes)}});
}

TextStorage::TextStorage(const TextStorage &other)
    : identity_(nextIdentity())
    , chunks_(other.chunks_)
    , chunkStarts_(other.chunkStarts_)
    , length_(other.length_)
    , palette_(other.palette_)
    , paletteIndices_(other.paletteIndices_)
    , paletteLimit_(other.paletteLimit_)
    , setsHoldingKey_(other.setsHoldingKey_) {}

TextStorage &TextStorage::operator=(const TextStorage &other) {
    if (this != &other) {
        // A new text in one step: forget the edit log, so that no one replays edits onto it.
        ++characterVersion_;
        recentCharacterEdits_.clear();
        chunks_ = other.chunks_;
        chunkStarts_ = other.chunkStarts_;
        length_ = other.length_;
        palette_ = other.palette_;
        paletteIndices_ = other.paletteIndices_;
        paletteLimit_ = other.paletteLimit_;
        setsHoldingKey_ = other.setsHoldingKey_;
        mergedSets_.clear();
        lastChunk_ = 0;
        joined_ = std::u16string();
        joinedIsCurrent_ = false;
    }
    return *this;
}

/// Cuts the units into chunks after the last one, with the runs given (in the units' coordinates,
/// covering them all).
void TextStorage::appendChunks(std::u16string_view units, const std::vector<AttributeRun> &runs) {
    std::size_t runIndex = 0;
    std::size_t start = 0;
    while (start < units.size()) {
        const std::size_t end = cutNear(units, std::min(start + chunkUnits, units.size()));
        Chunk chunk;
        chunk.units = units.substr(start, end - start);
        while (runs[runIndex].range.end() <= start) {
            ++runIndex;
        }
        for (std::size_t k = runIndex; k < runs.size() && runs[k].range.location < end; ++k) {
            const auto runStart = static_cast<std::uint32_t>(std::max(runs[k].range.location, start) - start);
            const std::uint32_t set = paletteIndex(runs[k].attributes);
            if (chunk.runs.empty() || chunk.runs.back().set != set) {
                chunk.runs.push_back(StoredRun{runStart, set});
            }
        }
        chunks_.push_back(std::move(chunk));
        start = end;
    }
    updateChunkStarts();
}

// ---- the palette of attribute sets ----

std::uint32_t TextStorage::paletteIndex(const Attributes &attributes) {
    const auto [found, added] =
        paletteIndices_.try_emplace(attributes.identity(), static_cast<std::uint32_t>(palette_.size()));
    if (added) {
        palette_.push_back(attributes);
        countKeysOf(attributes);
    }
    return found->second;
}

void TextStorage::countKeysOf(const Attributes &set) {
    for (const AttributeEntry &entry : set.entries()) {
        ++setsHoldingKey_[static_cast<std::size_t>(entry.key)];
    }
}

void TextStorage::countKeysOfPalette() {
    setsHoldingKey_.fill(0);
    for (const Attributes &set : palette_) {
        countKeysOf(set);
    }
}

/// Drops the sets no run uses once the palette has doubled since the last time: links and code
/// tokens bring new sets as the page is edited, and most of them go out of use again.
void TextStorage::collectPaletteWhenGrown() {
    if (palette_.size() <= paletteLimit_) {
        return;
    }
    constexpr std::uint32_t unused = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> renumbered(palette_.size(), unused);
    std::vector<Attributes> kept;
    for (Chunk &chunk : chunks_) {
        for (StoredRun &run : chunk.runs) {
            if (renumbered[run.set] == unused) {
                renumbered[run.set] = static_cast<std::uint32_t>(kept.size());
                kept.push_back(palette_[run.set]);
            }
            run.set = renumbered[run.set];
        }
    }
    palette_ = std::move(kept);
    mergedSets_.clear();
    paletteIndices_.clear();
    for (std::uint32_t index = 0; index < palette_.size(); ++index) {
        paletteIndices_.emplace(palette_[index].identity(), index);
    }
    countKeysOfPalette();
    paletteLimit_ = std::max<std::size_t>(256, 2 * palette_.size());
}

// ---- finding units and runs ----

std::size_t TextStorage::findChunk(std::size_t location) const {
    const auto after = std::upper_bound(chunkStarts_.begin(), chunkStarts_.end(), location);
    lastChunk_ = static_cast<std::size_t>(after - chunkStarts_.begin()) - 1;
    return lastChunk_;
}

TextStorage::RunPosition TextStorage::runHolding(std::size_t location) const {
    const std::size_t chunk = chunkHolding(location);
    lastRun_ = RunPosition{chunk, runIndexAt(chunks_[chunk].runs, location - chunkStarts_[chunk], nearbyRun(chunk))};
    return lastRun_;
}

std::size_t TextStorage::runStart(RunPosition position) const {
    return chunkStarts_[position.chunk] + chunks_[position.chunk].runs[position.run].start;
}

std::size_t TextStorage::runEnd(RunPosition position) const {
    const Chunk &chunk = chunks_[position.chunk];
    const std::size_t end = position.run + 1 < chunk.runs.size() ? chunk.runs[position.run + 1].start : chunk.units.size();
    return chunkStarts_[position.chunk] + end;
}

bool TextStorage::nextRun(RunPosition &position) const {
    if (position.run + 1 < chunks_[position.chunk].runs.size()) {
        ++position.run;
        return true;
    }
    if (position.chunk + 1 < chunks_.size()) {
        position = RunPosition{position.chunk + 1, 0};
        return true;
    }
    return false;
}

bool TextStorage::previousRun(RunPosition &position) const {
    if (position.run > 0) {
        --position.run;
        return true;
    }
    if (position.chunk > 0) {
        position = RunPosition{position.chunk - 1, chunks_[position.chunk - 1].runs.size() - 1};
        return true;
    }
    return false;
}

void TextStorage::checkRange(TextRange range) const {
    if (range.location > length() || range.length > length() - range.location) {
        throw std::out_of_range("text range beyond the end of the text");
    }
}

// ---- reading the units ----

const std::u16string &TextStorage::string() const {
    if (!joinedIsCurrent_) {
        // Growing a string's capacity doubles it: after one typed character a 5 MiB page would keep 20 MB
        // for its 10 MB of text. The string is made anew with a little room for typing instead.
        if (joined_.capacity() < length_ || joined_.capacity() > length_ + length_ / 4) {
            std::u16string().swap(joined_);
            joined_.reserve(length_ + length_ / 16);
        }
        joined_.clear();
        for (const Chunk &chunk : chunks_) {
            joined_ += chunk.units;
        }
        joinedIsCurrent_ = true;
    }
    return joined_;
}

void TextStorage::forgetJoinedText() {
    joined_ = std::u16string();
    joinedIsCurrent_ = false;
}

std::u16string TextStorage::substring(TextRange range) const {
    checkRange(range);
    std::u16string result;
    result.reserve(range.length);
    if (range.length == 0) {
        return result;
    }
    for (std::size_t chunk = chunkHolding(range.location); result.size() < range.length; ++chunk) {
        const std::size_t from = range.location + result.size() - chunkStarts_[chunk];
        result.append(chunks_[chunk].units, from, range.length - result.size());
    }
    return result;
}

std::size_t TextStorage::findForward(char16_t unit, std::size_t from) const {
    if (from >= length_) {
        return length_;
    }
    for (std::size_t chunk = chunkHolding(from); chunk < chunks_.size(); ++chunk) {
        const std::size_t start = chunkStarts_[chunk];
        const std::size_t found = findFirstOfIn(chunks_[chunk].units, {&unit, 1}, from > start ? from - start : 0);
        if (found != std::u16string::npos) {
            return start + found;
        }
    }
    return length_;
}

std::size_t TextStorage::findBackward(char16_t unit, std::size_t before) const {
    before = std::min(before, length_);
    if (before == 0) {
        return TextRange::notFound;
    }
    for (std::size_t chunk = chunkHolding(before - 1) + 1; chunk-- > 0;) {
        const std::size_t start = chunkStarts_[chunk];
        const std::size_t found = findLastOfIn(chunks_[chunk].units, {&unit, 1}, before - start);
        if (found != std::u16string::npos) {
            return start + found;
        }
        before = start; // the next chunk down is searched whole
    }
    return TextRange::notFound;
}

std::size_t TextStorage::findFirstOf(std::u16string_view units, std::size_t from) const {
    if (from >= length_) {
        return length_;
    }
    std::size_t offset = from - chunkStarts_[chunkHolding(from)];
    for (std::size_t chunk = chunkHolding(from); chunk < chunks_.size(); ++chunk) {
        const std::size_t found = findFirstOfIn(chunks_[chunk].units, units, offset);
        if (found != std::u16string_view::npos) {
            return chunkStarts_[chunk] + found;
        }
        offset = 0; // the next chunk up is searched whole
    }
    return length_;
}

std::size_t TextStorage::findLastOf(std::u16string_view units, std::size_t before) const {
    before = std::min(before, length_);
    if (before == 0) {
        return TextRange::notFound;
    }
    for (std::size_t chunk = chunkHolding(before - 1) + 1; chunk-- > 0;) {
        const std::size_t start = chunkStarts_[chunk];
        const std::size_t found = findLastOfIn(chunks_[chunk].units, units, before - start);
        if (found != std::u16string_view::npos) {
            return start + found;
        }
        before = start; // the next chunk down is searched whole
    }
    return TextRange::notFound;
}

std::size_t TextStorage::findForward(char16_t unit, TextRange within) const {
    checkRange(within);
    if (within.length == 0) {
        return within.end();
    }
    for (std::size_t chunk = chunkHolding(within.location); chunk < chunks_.size(); ++chunk) {
        const std::size_t start = chunkStarts_[chunk];
        if (start >= within.end()) {
            break;
        }
        const std::size_t found =
            findFirstOfIn(chunks_[chunk].units, {&unit, 1}, within.location > start ? within.location - start : 0);
        if (found != std::u16string::npos) {
            return std::min(start + found, within.end());
        }
    }
    return within.end();
}

std::size_t TextStorage::findBackward(char16_t unit, TextRange within) const {
    checkRange(within);
    std::size_t before = within.end();
    if (before == within.location) {
        return TextRange::notFound;
    }
    for (std::size_t chunk = chunkHolding(before - 1) + 1; chunk-- > 0;) {
        const std::size_t start = chunkStarts_[chunk];
        const std::size_t found = findLastOfIn(chunks_[chunk].units, {&unit, 1}, before - start);
        if (found != std::u16string::npos) {
            return start + found >= within.location ? start + found : TextRange::notFound;
        }
        if (start <= within.location) {
            break;
        }
        before = start; // the next chunk down is searched whole
    }
    return TextRange::notFound;
}

std::vector<std::u16string_view> TextStorage::pieces() const {
    std::vector<std::u16string_view> all;
    all.reserve(chunks_.size());
    for (const Chunk &chunk : chunks_) {
        all.emplace_back(chunk.units);
    }
    return all;
}

TextStorage TextStorage::attributedSubstring(TextRange range) const {
    checkRange(range);
    TextStorage result;
    std::vector<AttributeRun> runs = attributeRuns(range);
    for (AttributeRun &run : runs) {
        run.range.location -= range.location;
    }
    result.appendChunks(substring(range), runs);
    return result;
}

// ---- reading attributes ----

Attributes TextStorage::attributes(std::size_t location, TextRange *effectiveRange) const {
    if (location >= length()) {
        throw std::out_of_range("attribute location beyond the end of the text");
    }
    const RunPosition position = runHolding(location);
    const Attributes &found = runAttributes(position);
    if (effectiveRange != nullptr) {
        // Equal runs at the two sides of chunk boundaries make one run.
        const std::uint32_t set = runSet(position);
        RunPosition first = position;
        for (RunPosition before = first; previousRun(before) && runSet(before) == set;) {
            first = before;
        }
        RunPosition last = position;
        for (RunPosition after = last; nextRun(after) && runSet(after) == set;) {
            last = after;
        }
        *effectiveRange = rangeBetween(runStart(first), runEnd(last));
    }
    return found;
}

const AttributeValue *TextStorage::attribute(AttributeKey key, std::size_t location, TextRange *effectiveRange) const {
    if (location >= length()) {
        throw std::out_of_range("attribute location beyond the end of the text");
    }
    if (effectiveRange != nullptr) {
        attributes(location, effectiveRange);
    }
    return runAttributes(runHolding(location)).find(key);
}

const AttributeValue *TextStorage::attribute(AttributeKey key, std::size_t location, TextRange *longestEffectiveRange,
                                             TextRange rangeLimit) const {
    checkRange(rangeLimit);
    const AttributeValue *value = attribute(key, location);
    if (longestEffectiveRange == nullptr) {
        return value;
    }
    const RunPosition position = runHolding(location);
    RunPosition first = position;
    for (RunPosition before = first; runStart(first) > rangeLimit.location && previousRun(before) &&
                                     equalValues(runAttributes(before).find(key), value);) {
        first = before;
    }
    RunPosition last = position;
    for (RunPosition after = last; runEnd(last) < rangeLimit.end() && nextRun(after) &&
                                   equalValues(runAttributes(after).find(key), value);) {
        last = after;
    }
    *longestEffectiveRange = intersection(rangeBetween(runStart(first), runEnd(last)), rangeLimit);
    return value;
}

std::vector<AttributeRun> TextStorage::attributeRuns(TextRange range) const {
    checkRange(range);
    std::vector<AttributeRun> result;
    if (range.length == 0) {
        return result;
    }
    RunPosition position = runHolding(range.location);
    do {
        ++runsRead_;
        const TextRange clipped = intersection(rangeBetween(runStart(position), runEnd(position)), range);
        if (!result.empty() && result.back().attributes == runAttributes(position)) {
            result.back().range.length += clipped.length; // the same run across a chunk boundary
        } else {
            result.push_back(AttributeRun{clipped, runAttributes(position)});
        }
    } while (runEnd(position) < range.end() && nextRun(position));
    return result;
}

void TextStorage::enumerateAttributes(TextRange range,
                                      const std::function<void(const Attributes &, TextRange)> &body) const {
    // Collected first, so that the body may change attributes while the runs are walked.
    for (const AttributeRun &run : attributeRuns(range)) {
        body(run.attributes, run.range);
    }
}

void TextStorage::enumerateAttribute(AttributeKey key, TextRange range,
                                     const std::function<void(const AttributeValue *, TextRange)> &body) const {
    checkRange(range);
    if (range.length == 0) {
        return;
    }
    // Where no set in use holds the key (highlighted code tokens on a page without code, say), the
    // range is one stretch without it, and its runs need no reading.
    if (setsHoldingKey_[static_cast<std::size_t>(key)] == 0) {
        body(nullptr, range);
        return;
    }
    // The stretches are collected first, so that the body may change attributes while they are
    // walked; each holds a set with its value, which keeps the value alive.
    struct Stretch {
        Attributes attributes;
        TextRange range;
    };
    std::vector<Stretch> stretches;
    RunPosition position = runHolding(range.location);
    const AttributeValue *current = nullptr;
    do {
        ++runsRead_;
        const TextRange clipped = intersection(rangeBetween(runStart(position), runEnd(position)), range);
        const AttributeValue *value = runAttributes(position).find(key);
        if (!stretches.empty() && equalValues(current, value)) {
            stretches.back().range.length += clipped.length;
        } else {
            stretches.push_back(Stretch{runAttributes(position), clipped});
            current = value;
        }
    } while (runEnd(position) < range.end() && nextRun(position));
    for (const Stretch &stretch : stretches) {
        body(stretch.attributes.find(key), stretch.range);
    }
}

// ---- changing attributes ----

template <typename ResultOf> void TextStorage::transformRuns(TextRange range, ResultOf resultOf) {
    checkRange(range);
    if (range.length == 0) {
        return;
    }
    // Runs of a pass often share one set; find the result of each distinct set once.
    constexpr std::uint32_t none = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t previousSource = none;
    std::uint32_t previousResult = none;
    for (std::size_t index = chunkHolding(range.location); index < chunks_.size() && chunkStarts_[index] < range.end();
         ++index) {
        Chunk &chunk = chunks_[index];
        const TextRange local = intersection(TextRange{chunkStarts_[index], chunk.units.size()}, range);
        const std::size_t first = splitRunAt(chunk, local.location - chunkStarts_[index], nearbyRun(index));
        const std::size_t last = splitRunAt(chunk, local.end() - chunkStarts_[index], first);
        lastRun_ = RunPosition{index, first};
        std::size_t kept = first;
        for (std::size_t run = first; run < last; ++run) {
            const std::uint32_t source = chunk.runs[run].set;
            if (source != previousSource) {
                previousSource = source;
                previousResult = resultOf(source);
            }
            if (kept > first && chunk.runs[kept - 1].set == previousResult) {
                continue; // the run joins the one before it
            }
            chunk.runs[kept] = StoredRun{chunk.runs[run].start, previousResult};
            ++kept;
        }
        chunk.runs.erase(chunk.runs.begin() + static_cast<std::ptrdiff_t>(kept),
                         chunk.runs.begin() + static_cast<std::ptrdiff_t>(last));
        joinWithPrevious(chunk, kept);
        joinWithPrevious(chunk, first);
    }
    collectPaletteWhenGrown();
    noteEdit(range, 0, false);
}

void TextStorage::transformAttributes(TextRange range, const std::function<Attributes(const Attributes &)> &transform) {
    transformRuns(range, [&](std::uint32_t source) { return paletteIndex(transform(palette_[source])); });
}

/// The palette index of the palette set `source` with `added` put over it.
std::uint32_t TextStorage::mergedIndex(std::uint32_t source, const Attributes &added) {
    if (mergedSets_.empty()) {
        mergedSets_.resize(rememberedMerges);
    }
    const auto identity = reinterpret_cast<std::uintptr_t>(added.identity());
    const std::size_t slot = (source * 0x9E3779B1U ^ (identity >> 4)) % rememberedMerges;
    MergedSet &entry = mergedSets_[slot];
    if (entry.source == source && entry.added == added) {
        return entry.result;
    }
    const std::uint32_t result = paletteIndex(palette_[source].merging(added));
    entry = MergedSet{added, source, result};
    return result;
}

/// The set of the one entry, shared with the last calls that asked for the same.
Attributes TextStorage::singleEntrySet(AttributeKey key, AttributeValue value) {
    for (const Attributes &remembered : singleEntrySets_) {
        const std::vector<AttributeEntry> &entries = remembered.entries();
        if (entries.size() == 1 && entries.front().key == key && entries.front().value == value) {
            return remembered;
        }
    }
    Attributes made{{key, std::move(value)}};
    singleEntrySets_[nextSingleEntrySet_] = made;
    nextSingleEntrySet_ = (nextSingleEntrySet_ + 1) % rememberedSingleEntrySets;
    return made;
}

void TextStorage::setAttributes(const Attributes &attributes, TextRange range) {
    checkRange(range);
    if (range.length == 0) {
        return;
    }
    const std::uint32_t index = paletteIndex(attributes);
    transformRuns(range, [index](std::uint32_t) { return index; });
}

void TextStorage::addAttribute(AttributeKey key, AttributeValue value, TextRange range) {
    // Put over as a set of one, so that the merges are remembered like those of addAttributes.
    addAttributes(singleEntrySet(key, std::move(value)), range);
}

void TextStorage::addAttributes(const Attributes &attributes, TextRange range) {
    transformRuns(range, [&](std::uint32_t source) { return mergedIndex(source, attributes); });
}

void TextStorage::removeAttribute(AttributeKey key, TextRange range) {
    transformAttributes(range, [key](const Attributes &old) { return old.without(key); });
}

void TextStorage::updateAttributes(TextRange range, const std::function<Attributes(const Attributes &)> &update) {
    transformAttributes(range, update);
}

// ---- changing characters ----

void TextStorage::replaceCharacters(TextRange range, std::u16string_view replacement) {
    checkRange(range);
    Attributes inherited;
    if (range.length > 0) {
        inherited = attributes(range.location);
    } else if (range.location > 0) {
        inherited = attributes(range.location - 1);
    } else if (length() > 0) {
        inherited = attributes(0);
    }
    replaceCharacters(range, replacement, inherited);
}

/// Removes the units of the range; returns the index of the chunk where text inserted at the
/// range's location belongs (the one ending there when the location is a chunk boundary).
std::size_t TextStorage::eraseUnits(TextRange range) {
    std::size_t chunk = range.location == 0 ? 0 : chunkHolding(range.location - 1);
    if (range.length == 0) {
        return chunk;
    }
    std::size_t offset = range.location - chunkStarts_[chunk];
    if (offset == chunks_[chunk].units.size()) {
        ++chunk;
        offset = 0;
    }
    const std::size_t insertionChunk = offset > 0 || chunk == 0 ? chunk : chunk - 1;
    const std::size_t chunkCount = chunks_.size();
    const std::size_t firstErased = chunk;
    std::size_t remaining = range.length;
    while (remaining > 0) {
        Chunk &current = chunks_[chunk];
        const std::size_t count = std::min(remaining, current.units.size() - offset);
        const std::size_t first = splitRunAt(current, offset);
        const std::size_t last = splitRunAt(current, offset + count);
        current.runs.erase(current.runs.begin() + static_cast<std::ptrdiff_t>(first),
                           current.runs.begin() + static_cast<std::ptrdiff_t>(last));
        shiftRunStarts(current, first, -static_cast<std::ptrdiff_t>(count));
        current.units.erase(offset, count);
        joinWithPrevious(current, first);
        remaining -= count;
        if (current.units.empty()) {
            chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(chunk));
        } else {
            ++chunk;
            offset = 0;
        }
    }
    if (chunks_.size() == chunkCount && chunk == firstErased + 1) {
        shiftChunkStarts(firstErased, -static_cast<std::ptrdiff_t>(range.length)); // one chunk shrank
    } else {
        updateChunkStarts();
    }
    return std::min(insertionChunk, chunks_.empty() ? 0 : chunks_.size() - 1);
}

void TextStorage::insertUnits(std::size_t chunk, std::size_t offset, std::u16string_view units,
                              const Attributes &attributes) {
    if (chunks_.empty()) {
        chunks_.push_back(Chunk{std::u16string(units), {StoredRun{0, paletteIndex(attributes)}}});
        updateChunkStarts();
        return;
    }
    Chunk &target = chunks_[chunk];
    const std::size_t index = splitRunAt(target, offset);
    shiftRunStarts(target, index, static_cast<std::ptrdiff_t>(units.size()));
    target.runs.insert(target.runs.begin() + static_cast<std::ptrdiff_t>(index),
                       StoredRun{static_cast<std::uint32_t>(offset), paletteIndex(attributes)});
    target.units.insert(offset, units);
    joinWithPrevious(target, index + 1);
    joinWithPrevious(target, index);
    shiftChunkStarts(chunk, static_cast<std::ptrdiff_t>(units.size()));
}

/// Keeps the chunks from `first` to `last` (and their neighbours) between the smallest and largest
/// size; returns whether it cut or joined any.
bool TextStorage::balanceChunks(std::size_t first, std::size_t last) {
    const std::size_t chunkCount = chunks_.size();
    bool changed = false;
    for (std::size_t index = std::min(last, chunks_.size()); index-- > first;) {
        if (chunks_[index].units.size() > largestChunkUnits) {
            splitChunk(index);
            changed = true;
        }
    }
    for (std::size_t index = std::min(last + 1, chunks_.size()); index-- > first && chunks_.size() > 1;) {
        if (index < chunks_.size() && chunks_[index].units.size() < smallestChunkUnits) {
            const std::size_t left = index == 0 ? 0 : index - 1;
            if (chunks_[left].units.size() + chunks_[left + 1].units.size() <= largestChunkUnits) {
                mergeChunks(left);
                changed = true;
            }
        }
    }
    return changed || chunks_.size() != chunkCount;
}

void TextStorage::splitChunk(std::size_t index) {
    Chunk whole = std::move(chunks_[index]);
    chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(index));
    std::vector<Chunk> parts;
    std::size_t runIndex = 0;
    // Parts of about equal size, so that none is left tiny.
    std::size_t partsLeft = (whole.units.size() + chunkUnits - 1) / chunkUnits;
    for (std::size_t start = 0; start < whole.units.size(); --partsLeft) {
        const std::size_t end = cutNear(whole.units, start + (whole.units.size() - start) / partsLeft);
        Chunk part;
        part.units = whole.units.substr(start, end - start);
        while (runIndex + 1 < whole.runs.size() && whole.runs[runIndex + 1].start <= start) {
            ++runIndex;
        }
        part.runs.push_back(StoredRun{0, whole.runs[runIndex].set});
        for (std::size_t k = runIndex + 1; k < whole.runs.size() && whole.runs[k].start < end; ++k) {
            part.runs.push_back(StoredRun{static_cast<std::uint32_t>(whole.runs[k].start - start), whole.runs[k].set});
        }
        parts.push_back(std::move(part));
        start = end;
    }
    chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(index), std::make_move_iterator(parts.begin()),
                   std::make_move_iterator(parts.end()));
}

/// Joins the chunk after `index` to it.
void TextStorage::mergeChunks(std::size_t index) {
    Chunk &left = chunks_[index];
    Chunk &right = chunks_[index + 1];
    const std::size_t offset = left.units.size();
    left.units += right.units;
    for (const StoredRun &run : right.runs) {
        left.runs.push_back(StoredRun{static_cast<std::uint32_t>(run.start + offset), run.set});
    }
    joinWithPrevious(left, left.runs.size() - right.runs.size());
    chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(index) + 1);
}

/// Moves the trail surrogate that starts a chunk to the chunk before it when that one ends with its
/// lead surrogate: readers that walk the chunks in place (break iterators) must never meet a pair cut in two.
bool TextStorage::joinSurrogatePairs(std::size_t first, std::size_t last) {
    bool moved = false;
    for (std::size_t index = first; index + 1 < chunks_.size() && index < last; ++index) {
        Chunk &left = chunks_[index];
        Chunk &right = chunks_[index + 1];
        if (!isLeadSurrogate(left.units.back()) || !isTrailSurrogate(right.units.front())) {
            continue;
        }
        if (left.runs.back().set != right.runs.front().set) {
            left.runs.push_back(StoredRun{static_cast<std::uint32_t>(left.units.size()), right.runs.front().set});
        }
        left.units += right.units.front();
        right.units.erase(0, 1);
        moved = true;
        if (right.runs.size() > 1 && right.runs[1].start == 1) {
            right.runs.erase(right.runs.begin());
        }
        shiftRunStarts(right, 1, -1);
        right.runs.front().start = 0;
        if (right.units.empty()) {
            chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(index) + 1);
        }
    }
    return moved;
}

void TextStorage::shiftChunkStarts(std::size_t chunk, std::ptrdiff_t delta) {
    for (std::size_t index = chunk + 1; index < chunkStarts_.size(); ++index) {
        chunkStarts_[index] = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(chunkStarts_[index]) + delta);
    }
    length_ = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(length_) + delta);
}

void TextStorage::updateChunkStarts() {
    chunkStarts_.resize(chunks_.size());
    std::size_t start = 0;
    for (std::size_t index = 0; index < chunks_.size(); ++index) {
        chunkStarts_[index] = start;
        start += chunks_[index].units.size();
    }
    length_ = start;
    lastChunk_ = 0;
}

void TextStorage::replaceCharacters(TextRange range, std::u16string_view replacement, const Attributes &attributes) {
    checkRange(range);
    if (range.length == 0 && replacement.empty()) {
        return;
    }
    // Copied first: the replacement may be a piece of this very text, which is about to change.
    const std::u16string inserted(replacement);
    std::u16string removed;
    if (range.length <= CharacterEdit::keptRemovedUnits) {
        removed = substring(range);
    }
    const std::ptrdiff_t delta =
        static_cast<std::ptrdiff_t>(inserted.size()) - static_cast<std::ptrdiff_t>(range.length);
    const std::size_t chunk = eraseUnits(range);
    if (!inserted.empty()) {
        const std::size_t offset = chunks_.empty() ? 0 : range.location - chunkStarts_[chunk];
        insertUnits(chunk, offset, inserted, attributes);
    }
    if (balanceChunks(chunk == 0 ? 0 : chunk - 1, chunk + 2)) {
        updateChunkStarts();
    }
    // The boundaries the edit may have brought a surrogate pair's halves to: around its start and end.
    if (!chunks_.empty()) {
        const std::size_t end = std::min(range.location + inserted.size(), length_ - 1);
        const std::size_t first = chunkHolding(std::min(range.location, length_ - 1));
        if (joinSurrogatePairs(first == 0 ? 0 : first - 1, chunkHolding(end) + 1)) {
            updateChunkStarts();
        }
    }
    collectPaletteWhenGrown();
    joined_ = std::u16string();
    joinedIsCurrent_ = false;
    ++characterVersion_;
    if (recentCharacterEdits_.size() == rememberedCharacterEdits) {
        recentCharacterEdits_.erase(recentCharacterEdits_.begin());
    }
    recentCharacterEdits_.push_back(CharacterEdit{range.location, range.length, inserted.size(), std::move(removed)});
    noteEdit(TextRange{range.location, inserted.size()}, delta, true);
}

std::optional<std::vector<CharacterEdit>> TextStorage::characterEditsSince(std::uint64_t version) const {
    if (version > characterVersion_ || characterVersion_ - version > recentCharacterEdits_.size()) {
        return std::nullopt;
    }
    const std::size_t count = static_cast<std::size_t>(characterVersion_ - version);
    return std::vector<CharacterEdit>(recentCharacterEdits_.end() - static_cast<std::ptrdiff_t>(count),
                                      recentCharacterEdits_.end());
}

// ---- editing groups ----

void TextStorage::beginEditing() {
    ++editingDepth_;
}

void TextStorage::endEditing() {
    if (editingDepth_ == 0) {
        return;
    }
    if (--editingDepth_ > 0 || !pendingSummary_) {
        return;
    }
    lastSummary_ = std::exchange(pendingSummary_, std::nullopt);
    ++finishedGroups_;
    if (onEditingGroupFinished) {
        onEditingGroupFinished(*lastSummary_);
    }
}

void TextStorage::noteEdit(TextRange rangeNow, std::ptrdiff_t changeInLength, bool charactersChanged) {
    const bool ownGroup = editingDepth_ == 0;
    if (ownGroup) {
        beginEditing();
    }
    if (!pendingSummary_) {
        pendingSummary_ = EditingSummary{rangeNow, changeInLength, !charactersChanged};
    } else {
        EditingSummary &summary = *pendingSummary_;
        TextRange earlier = summary.editedRange;
        if (charactersChanged) {
            // Move the earlier edited range into the coordinates of the text after this change.
            const std::size_t oldEnd = rangeNow.location + rangeNow.length - changeInLength;
            if (earlier.location >= oldEnd) {
                earlier.location += changeInLength;
            } else if (earlier.end() > rangeNow.location) {
                const auto shiftedEnd = static_cast<std::ptrdiff_t>(earlier.end()) + changeInLength;
                earlier = rangeBetween(
                    std::min(earlier.location, rangeNow.location),
                    static_cast<std::size_t>(std::max(static_cast<std::ptrdiff_t>(rangeNow.end()), shiftedEnd)));
            }
        }
        summary.editedRange = unionRange(earlier, rangeNow);
        summary.changeInLength += changeInLength;
        summary.attributesOnly = summary.attributesOnly && !charactersChanged;
    }
    if (ownGroup) {
        endEditing();
    }
}

} // namespace velto::editor
