#include "editor/text/TextStorage.h"
#include "editor/text/TextStorageChunks.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

// The storage's attributes: the palette of attribute sets the runs name, reading runs and changing them.
namespace velto::editor {

using storage_chunks::joinWithPrevious;
using storage_chunks::splitRunAt;

namespace {

bool equalValues(const AttributeValue *a, const AttributeValue *b) {
    if (a == nullptr || b == nullptr) {
        return a == b;
    }
    return a == b || *a == *b;
}

} // namespace

// ---- the palette of attribute sets ----

std::uint32_t TextStorage::paletteIndex(const Attributes &attributes) {
    const std::uint32_t found = paletteIndices_.find(palette_, attributes);
    if (found == palette_.size()) {
        palette_.push_back(attributes);
        paletteIndices_.addLast(palette_);
        countKeysOf(attributes);
    }
    return found;
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
/// tokens bring new sets as the page is edited, and most of them go out of use again. Not inside an
/// editing group, which collects when it ends: a pass styling a page of half a million links doubles the
/// palette a dozen times, and each collection walked every run of the page to find the sets still in use.
void TextStorage::collectPaletteWhenGrown() {
    if (editingDepth_ > 0 || palette_.size() <= paletteLimit_) {
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
    paletteIndices_.rebuild(palette_);
    countKeysOfPalette();
    paletteLimit_ = std::max<std::size_t>(256, 2 * palette_.size());
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
    for (RunPosition after = last;
         runEnd(last) < rangeLimit.end() && nextRun(after) && equalValues(runAttributes(after).find(key), value);) {
        last = after;
    }
    *longestEffectiveRange = intersection(rangeBetween(runStart(first), runEnd(last)), rangeLimit);
    return value;
}

void TextStorage::styleLeftForLaterNear(TextRange range) const {
    if (leftForLaterStyler_ != nullptr && editingDepth_ == 0) {
        leftForLaterStyler_->styleBeforeReading(range);
    }
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

void TextStorage::setAttributes(const TextStorage &source, std::size_t offset) {
    const TextRange range{offset, source.length()};
    checkRange(range);
    if (range.length == 0) {
        return;
    }
    // Each of the source's sets is looked up in this palette once.
    constexpr std::uint32_t unknown = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> ownSets(source.palette_.size(), unknown);
    const auto ownSet = [&](std::uint32_t set) {
        if (ownSets[set] == unknown) {
            ownSets[set] = paletteIndex(source.palette_[set]);
        }
        return ownSets[set];
    };
    RunPosition from = source.runHolding(0);
    std::vector<StoredRun> copied;
    for (std::size_t index = chunkHolding(range.location); index < chunks_.size() && chunkStarts_[index] < range.end();
         ++index) {
        Chunk &chunk = chunks_[index];
        const std::size_t chunkStart = chunkStarts_[index];
        const TextRange local = intersection(TextRange{chunkStart, chunk.units.size()}, range);
        // The source's runs over this chunk's part of the range, in this chunk's offsets and sets.
        copied.clear();
        for (std::size_t location = local.location; location < local.end();) {
            while (source.runEnd(from) <= location - offset) {
                source.nextRun(from);
            }
            const std::uint32_t set = ownSet(source.runSet(from));
            if (copied.empty() || copied.back().set != set) {
                copied.push_back(StoredRun{static_cast<std::uint32_t>(location - chunkStart), set});
            }
            location = std::min(local.end(), source.runEnd(from) + offset);
        }
        const std::size_t first = splitRunAt(chunk, local.location - chunkStart, nearbyRun(index));
        const std::size_t last = splitRunAt(chunk, local.end() - chunkStart, first);
        lastRun_ = RunPosition{index, first};
        chunk.runs.erase(chunk.runs.begin() + static_cast<std::ptrdiff_t>(first),
                         chunk.runs.begin() + static_cast<std::ptrdiff_t>(last));
        chunk.runs.insert(chunk.runs.begin() + static_cast<std::ptrdiff_t>(first), copied.begin(), copied.end());
        joinWithPrevious(chunk, first + copied.size());
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
        const std::span<const AttributeEntry> entries = remembered.entries();
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

void TextStorage::addAttributes(const Attributes &attributes, AttributeKey key, const AttributeValue &value,
                                TextRange range) {
    transformRuns(range, [&](std::uint32_t source) {
        const Attributes merged = palette_[mergedIndex(source, attributes)].with(key, value);
        return paletteIndex(merged);
    });
}

void TextStorage::removeAttribute(AttributeKey key, TextRange range) {
    transformAttributes(range, [key](const Attributes &old) { return old.without(key); });
}

void TextStorage::updateAttributes(TextRange range, const std::function<Attributes(const Attributes &)> &update) {
    transformAttributes(range, update);
}

} // namespace velto::editor
