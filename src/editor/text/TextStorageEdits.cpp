#include "editor/text/TextStorage.h"
#include "editor/text/TextStorageChunks.h"
#include "platform/Text.h"

#include <algorithm>
#include <utility>

// Changes of the storage's characters, which keep its chunks balanced and remember recent edits, and the
// editing groups that gather every change into one summary.
namespace velto::editor {

using storage_chunks::chunkUnits;
using storage_chunks::equalPartEnds;
using storage_chunks::isLeadSurrogate;
using storage_chunks::isTrailSurrogate;
using storage_chunks::joinWithPrevious;
using storage_chunks::largestChunkUnits;
using storage_chunks::shiftRunStarts;
using storage_chunks::smallestChunkUnits;
using storage_chunks::splitRunAt;

namespace {

bool isContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

} // namespace

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
        current.held = UnitsHeld(current.units); // a unit that left may be gone from the chunk
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
        // A whole text, as when a page is loaded, goes straight into chunks of the size cutting one chunk of all
        // of it would give: that chunk would be a copy of the whole text, made only to be cut up.
        const std::uint32_t set = paletteIndex(attributes);
        const std::vector<std::size_t> ends =
            units.size() > largestChunkUnits ? equalPartEnds(units) : std::vector<std::size_t>{units.size()};
        chunks_.reserve(ends.size());
        std::size_t start = 0;
        for (const std::size_t end : ends) {
            const std::u16string_view part = units.substr(start, end - start);
            chunks_.push_back(Chunk{std::u16string(part), {StoredRun{0, set}}, UnitsHeld(part)});
            start = end;
        }
        updateChunkStarts();
        return;
    }
    Chunk &target = chunks_[chunk];
    const std::size_t index = splitRunAt(target, offset);
    shiftRunStarts(target, index, static_cast<std::ptrdiff_t>(units.size()));
    target.runs.insert(target.runs.begin() + static_cast<std::ptrdiff_t>(index),
                       StoredRun{static_cast<std::uint32_t>(offset), paletteIndex(attributes)});
    target.units.insert(offset, units);
    target.held.add(units);
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
    std::size_t start = 0;
    for (const std::size_t end : equalPartEnds(whole.units)) {
        Chunk part;
        part.units = whole.units.substr(start, end - start);
        part.held = UnitsHeld(part.units);
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
    left.held.add(right.held);
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
        left.held.add(right.units.front());
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

bool TextStorage::holdsUnitsOf(std::u16string_view units) const {
    // Compared by std::less: the views may point into unrelated blocks, which the built-in < leaves unordered.
    const std::less<const char16_t *> before;
    const auto inside = [&](std::u16string_view held) {
        return !held.empty() && !units.empty() && !before(units.data(), held.data()) &&
               before(units.data(), held.data() + held.size());
    };
    if (inside(joined_)) {
        return true;
    }
    for (const Chunk &chunk : chunks_) {
        if (inside(chunk.units)) {
            return true;
        }
    }
    return false;
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
    // Copied first: the replacement may be a piece of this very text, which is about to change. A long one only
    // when it is: the copy of a page's text being loaded would cost its size in memory and the time of filling
    // it, while a key's few units are copied sooner than the chunks are looked through.
    std::u16string copied;
    std::u16string_view inserted = replacement;
    if (replacement.size() <= largestChunkUnits || holdsUnitsOf(replacement)) {
        copied = replacement;
        inserted = copied;
    }
    replaceUnits(range, [&](std::size_t chunk) {
        if (!inserted.empty()) {
            const std::size_t offset = chunks_.empty() ? 0 : range.location - chunkStarts_[chunk];
            insertUnits(chunk, offset, inserted, attributes);
        }
    });
}

void TextStorage::replaceAllCharactersDecoding(std::string_view text, const Attributes &attributes) {
    if (length_ == 0 && text.empty()) {
        return;
    }
    replaceUnits(TextRange{0, length_}, [&](std::size_t) { appendDecodedChunks(text, attributes); });
}

template <typename Insert> void TextStorage::replaceUnits(TextRange range, const Insert &insert) {
    std::u16string removed;
    if (range.length <= CharacterEdit::keptRemovedUnits) {
        removed = substring(range);
    }
    const std::size_t lengthLeft = length_ - range.length;
    const std::size_t chunk = eraseUnits(range);
    insert(chunk);
    const std::size_t insertedLength = length_ - lengthLeft;
    const std::ptrdiff_t delta =
        static_cast<std::ptrdiff_t>(insertedLength) - static_cast<std::ptrdiff_t>(range.length);
    if (balanceChunks(chunk == 0 ? 0 : chunk - 1, chunk + 2)) {
        updateChunkStarts();
    }
    // The boundaries the edit may have brought a surrogate pair's halves to: around its start and end.
    if (!chunks_.empty()) {
        const std::size_t end = std::min(range.location + insertedLength, length_ - 1);
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
    recentCharacterEdits_.push_back(CharacterEdit{range.location, range.length, insertedLength, std::move(removed)});
    noteEdit(TextRange{range.location, insertedLength}, delta, true);
}

void TextStorage::appendDecodedChunks(std::string_view text, const Attributes &attributes) {
    const std::uint32_t set = paletteIndex(attributes);
    // Each chunk's units are decoded here and copied at their size: a chunk's bytes are at most a chunk and the
    // three bytes of a code point beyond it, each decoded to at most one unit.
    std::u16string units(chunkUnits + 3, u'\0');
    for (std::size_t start = 0; start < text.size();) {
        // A chunk's worth of bytes, the last two chunks' worth halved so that neither is left tiny, cut where a
        // code point starts: a UTF-8 sequence has at most three continuation bytes after its first.
        const std::size_t left = text.size() - start;
        std::size_t end = text.size();
        if (left >= 2 * chunkUnits) {
            end = start + chunkUnits;
        } else if (left > chunkUnits) {
            end = start + left / 2;
        }
        for (int skipped = 0; skipped < 3 && end < text.size() && isContinuationByte(text[end]); ++skipped) {
            ++end;
        }
        const std::u16string_view decoded(
            units.data(),
            static_cast<std::size_t>(text::decodeUTF16(text.substr(start, end - start), units.data()) - units.data()));
        chunks_.push_back(Chunk{std::u16string(decoded), {StoredRun{0, set}}, UnitsHeld(decoded)});
        start = end;
    }
    updateChunkStarts();
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
    if (--editingDepth_ > 0) {
        return;
    }
    collectPaletteWhenGrown();
    if (!pendingSummary_) {
        return;
    }
    lastSummary_ = std::exchange(pendingSummary_, std::nullopt);
    ++finishedGroups_;
    if (lastSummary_->attributesOnly) {
        ++finishedAttributeGroups_;
    }
    observers_.notify([this](TextStorageObserver &observer) { observer.editingGroupDidFinish(*lastSummary_); });
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
