#include "editor/text/TextStorage.h"
#include "editor/text/TextStorageChunks.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <utility>

// The storage's text: making it, cutting it into chunks, finding units and runs, and reading the units.
namespace velto::editor {

using storage_chunks::chunkUnits;
using storage_chunks::cutNear;
using storage_chunks::runIndexAt;

namespace {

std::uint64_t nextIdentity() {
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
}

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
        chunk.held = UnitsHeld(chunk.units);
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
    const std::size_t end =
        position.run + 1 < chunk.runs.size() ? chunk.runs[position.run + 1].start : chunk.units.size();
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
    // Assigning an empty string would keep the buffer (the library reuses it for the short text); a swap
    // with an empty string hands it over to be freed.
    std::u16string().swap(joined_);
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
        if (!chunks_[chunk].held.mayHold(unit)) {
            continue;
        }
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
        if (chunks_[chunk].held.mayHold(unit)) {
            const std::size_t found = findLastOfIn(chunks_[chunk].units, {&unit, 1}, before - start);
            if (found != std::u16string::npos) {
                return start + found;
            }
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
        if (chunks_[chunk].held.mayHoldAnyOf(units)) {
            const std::size_t found = findFirstOfIn(chunks_[chunk].units, units, offset);
            if (found != std::u16string_view::npos) {
                return chunkStarts_[chunk] + found;
            }
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
        if (chunks_[chunk].held.mayHoldAnyOf(units)) {
            const std::size_t found = findLastOfIn(chunks_[chunk].units, units, before - start);
            if (found != std::u16string_view::npos) {
                return start + found;
            }
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
        if (!chunks_[chunk].held.mayHold(unit)) {
            continue;
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
        const std::size_t found = chunks_[chunk].held.mayHold(unit)
                                      ? findLastOfIn(chunks_[chunk].units, {&unit, 1}, before - start)
                                      : std::u16string::npos;
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

TextStorage TextStorage::substringStorage(TextRange range, const Attributes &attributes) const {
    checkRange(range);
    TextStorage result;
    if (range.length == 0) {
        return result;
    }
    const std::uint32_t set = result.paletteIndex(attributes);
    // Each chunk's part of the range becomes a chunk of the copy, so no surrogate pair is cut that was whole here.
    // The units the chunk may hold are at least its part's, which is all a search asks of them.
    for (std::size_t index = chunkHolding(range.location); index < chunks_.size() && chunkStarts_[index] < range.end();
         ++index) {
        const Chunk &chunk = chunks_[index];
        const std::size_t start = std::max(range.location, chunkStarts_[index]) - chunkStarts_[index];
        const std::size_t end = std::min(range.end() - chunkStarts_[index], chunk.units.size());
        result.chunks_.push_back(Chunk{chunk.units.substr(start, end - start), {StoredRun{0, set}}, chunk.held});
    }
    result.updateChunkStarts();
    return result;
}

} // namespace velto::editor
