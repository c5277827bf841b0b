#include "editor/TextStorage.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace velto::editor {

namespace {

std::uint64_t nextIdentity() {
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
}

/// The free space that an edit needing room opens: a share of the text, so that opening the gap
/// again (which moves every unit after it) stays rare.
std::size_t gapSizeFor(std::size_t length) {
    return std::max<std::size_t>(4096, length / 64);
}

bool equalValues(const AttributeValue *a, const AttributeValue *b) {
    if (a == nullptr || b == nullptr) {
        return a == b;
    }
    return a == b || *a == *b;
}

} // namespace

TextStorage::TextStorage()
    : identity_(nextIdentity()) {}

TextStorage::TextStorage(std::u16string text, Attributes attributes)
    : identity_(nextIdentity())
    , text_(std::move(text)) {
    text_.reserve(text_.size() + gapSizeFor(text_.size())); // so that the first edit allocates nothing
    if (!text_.empty()) {
        runs_.insert(0, StoredRun{0, std::move(attributes)});
    }
}

TextStorage::TextStorage(const TextStorage &other)
    : identity_(nextIdentity())
    , text_(other.substring(TextRange{0, other.length()})) {
    for (std::size_t k = 0; k < other.runs_.size(); ++k) {
        runs_.insert(k, other.runs_.run(k));
    }
}

TextStorage &TextStorage::operator=(const TextStorage &other) {
    if (this != &other) {
        // A new text in one step: forget the edit log, so that no one replays edits onto it.
        ++characterVersion_;
        recentCharacterEdits_.clear();
        text_ = other.substring(TextRange{0, other.length()});
        gapStart_ = 0;
        gapLength_ = 0;
        runs_.clear();
        for (std::size_t k = 0; k < other.runs_.size(); ++k) {
            runs_.insert(k, other.runs_.run(k));
        }
    }
    return *this;
}

// ---- the units and their gap ----

void TextStorage::moveGap(std::size_t location) const {
    if (gapLength_ > 0 && location < gapStart_) {
        std::memmove(&text_[location + gapLength_], &text_[location], (gapStart_ - location) * sizeof(char16_t));
    } else if (gapLength_ > 0 && location > gapStart_) {
        std::memmove(&text_[gapStart_], &text_[gapStart_ + gapLength_], (location - gapStart_) * sizeof(char16_t));
    }
    gapStart_ = location;
}

const std::u16string &TextStorage::string() const {
    if (gapLength_ > 0) {
        moveGap(length());
        text_.resize(length()); // keeps the capacity, so the next edit's gap costs no allocation
        gapLength_ = 0;
    }
    return text_;
}

void TextStorage::replaceUnits(TextRange range, std::u16string_view replacement) {
    const char16_t *units = text_.data();
    if (!std::less<const char16_t *>()(replacement.data(), units) &&
        std::less<const char16_t *>()(replacement.data(), units + text_.size())) {
        const std::u16string copied(replacement); // a piece of this very text, which is about to move
        replaceUnits(range, copied);
        return;
    }
    moveGap(range.location);
    gapLength_ += range.length; // the replaced units become free space
    if (gapLength_ < replacement.size()) {
        const std::size_t added = replacement.size() - gapLength_ + gapSizeFor(length());
        const std::size_t after = text_.size() - gapStart_ - gapLength_;
        text_.resize(text_.size() + added);
        std::memmove(&text_[text_.size() - after], &text_[gapStart_ + gapLength_], after * sizeof(char16_t));
        gapLength_ += added;
    }
    std::copy(replacement.begin(), replacement.end(), text_.begin() + static_cast<std::ptrdiff_t>(gapStart_));
    gapStart_ += replacement.size();
    gapLength_ -= replacement.size();
}

void TextStorage::checkRange(TextRange range) const {
    if (range.location > length() || range.length > length() - range.location) {
        throw std::out_of_range("text range beyond the end of the text");
    }
}

std::size_t TextStorage::runEnd(std::size_t index) const {
    return index + 1 < runs_.size() ? runs_.start(index + 1) : length();
}

std::u16string TextStorage::substring(TextRange range) const {
    checkRange(range);
    std::u16string result;
    result.reserve(range.length);
    if (range.location < gapStart_) {
        const std::size_t before = std::min(range.end(), gapStart_) - range.location;
        result.append(text_, range.location, before);
    }
    if (range.end() > gapStart_) {
        const std::size_t from = std::max(range.location, gapStart_);
        result.append(text_, from + gapLength_, range.end() - from);
    }
    return result;
}

TextStorage TextStorage::attributedSubstring(TextRange range) const {
    checkRange(range);
    TextStorage result;
    result.text_ = substring(range);
    std::size_t index = 0;
    for (const AttributeRun &run : attributeRuns(range)) {
        result.runs_.insert(index++, StoredRun{run.range.location - range.location, run.attributes});
    }
    return result;
}

// ---- reading ----

Attributes TextStorage::attributes(std::size_t location, TextRange *effectiveRange) const {
    if (location >= length()) {
        throw std::out_of_range("attribute location beyond the end of the text");
    }
    const std::size_t index = runs_.indexContaining(location);
    if (effectiveRange != nullptr) {
        *effectiveRange = rangeBetween(runs_.start(index), runEnd(index));
    }
    return runs_.attributes(index);
}

const AttributeValue *TextStorage::attribute(AttributeKey key, std::size_t location, TextRange *effectiveRange) const {
    if (location >= length()) {
        throw std::out_of_range("attribute location beyond the end of the text");
    }
    const std::size_t index = runs_.indexContaining(location);
    if (effectiveRange != nullptr) {
        *effectiveRange = rangeBetween(runs_.start(index), runEnd(index));
    }
    return runs_.attributes(index).find(key);
}

const AttributeValue *TextStorage::attribute(AttributeKey key, std::size_t location, TextRange *longestEffectiveRange,
                                             TextRange rangeLimit) const {
    checkRange(rangeLimit);
    const AttributeValue *value = attribute(key, location);
    if (longestEffectiveRange == nullptr) {
        return value;
    }
    const std::size_t index = runs_.indexContaining(location);
    std::size_t first = index;
    while (first > 0 && runs_.start(first) > rangeLimit.location &&
           equalValues(runs_.attributes(first - 1).find(key), value)) {
        --first;
    }
    std::size_t last = index;
    while (last + 1 < runs_.size() && runEnd(last) < rangeLimit.end() &&
           equalValues(runs_.attributes(last + 1).find(key), value)) {
        ++last;
    }
    *longestEffectiveRange = intersection(rangeBetween(runs_.start(first), runEnd(last)), rangeLimit);
    return value;
}

std::vector<AttributeRun> TextStorage::attributeRuns(TextRange range) const {
    checkRange(range);
    std::vector<AttributeRun> result;
    if (range.length == 0) {
        return result;
    }
    for (std::size_t index = runs_.indexContaining(range.location);
         index < runs_.size() && runs_.start(index) < range.end(); ++index) {
        const TextRange clipped = intersection(rangeBetween(runs_.start(index), runEnd(index)), range);
        result.push_back(AttributeRun{clipped, runs_.attributes(index)});
    }
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
    std::vector<AttributeRun> stretches;
    for (AttributeRun &run : attributeRuns(range)) {
        if (!stretches.empty() && equalValues(stretches.back().attributes.find(key), run.attributes.find(key))) {
            stretches.back().range.length += run.range.length;
        } else {
            stretches.push_back(std::move(run));
        }
    }
    for (const AttributeRun &stretch : stretches) {
        body(stretch.attributes.find(key), stretch.range);
    }
}

// ---- changing attributes ----

std::size_t TextStorage::boundaryIndex(std::size_t position) {
    if (position >= length()) {
        return runs_.size();
    }
    const std::size_t index = runs_.indexContaining(position);
    if (runs_.start(index) == position) {
        return index;
    }
    runs_.insert(index + 1, StoredRun{position, runs_.attributes(index)});
    return index + 1;
}

void TextStorage::mergeWithPrevious(std::size_t index) {
    if (index > 0 && index < runs_.size() && runs_.attributes(index - 1) == runs_.attributes(index)) {
        runs_.erase(index, 1);
    }
}

void TextStorage::transformAttributes(TextRange range, const std::function<Attributes(const Attributes &)> &transform) {
    checkRange(range);
    if (range.length == 0) {
        return;
    }
    const std::size_t first = boundaryIndex(range.location);
    std::size_t last = boundaryIndex(range.end());
    // Runs of a pass often share one set; transform each distinct set once.
    const void *previousSource = nullptr;
    Attributes previousResult;
    std::size_t kept = first;
    for (std::size_t index = first; index < last; ++index) {
        const Attributes &source = runs_.attributes(index);
        if (source.identity() != previousSource) {
            previousSource = source.identity();
            previousResult = transform(source);
        }
        if (kept > first && runs_.attributes(kept - 1) == previousResult) {
            continue; // the run joins the one before it
        }
        if (kept != index) {
            runs_.setStart(kept, runs_.start(index));
        }
        runs_.attributes(kept) = previousResult;
        ++kept;
    }
    runs_.erase(kept, last - kept);
    last = kept;
    mergeWithPrevious(last);
    mergeWithPrevious(first);
    noteEdit(range, 0, false);
}

void TextStorage::setAttributes(const Attributes &attributes, TextRange range) {
    transformAttributes(range, [&attributes](const Attributes &) { return attributes; });
}

void TextStorage::addAttribute(AttributeKey key, AttributeValue value, TextRange range) {
    transformAttributes(range, [key, &value](const Attributes &old) { return old.with(key, value); });
}

void TextStorage::addAttributes(const Attributes &attributes, TextRange range) {
    transformAttributes(range, [&attributes](const Attributes &old) { return old.merging(attributes); });
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

void TextStorage::replaceCharacters(TextRange range, std::u16string_view replacement, const Attributes &attributes) {
    checkRange(range);
    if (range.length == 0 && replacement.empty()) {
        return;
    }
    const std::ptrdiff_t delta =
        static_cast<std::ptrdiff_t>(replacement.size()) - static_cast<std::ptrdiff_t>(range.length);
    const std::size_t first = boundaryIndex(range.location);
    const std::size_t last = boundaryIndex(range.end());
    runs_.erase(first, last - first);
    runs_.shiftStarts(first, delta);
    replaceUnits(range, replacement);
    if (!replacement.empty()) {
        runs_.insert(first, StoredRun{range.location, attributes});
        mergeWithPrevious(first + 1);
    }
    mergeWithPrevious(first);
    ++characterVersion_;
    if (recentCharacterEdits_.size() == rememberedCharacterEdits) {
        recentCharacterEdits_.erase(recentCharacterEdits_.begin());
    }
    recentCharacterEdits_.push_back(CharacterEdit{range.location, range.length, replacement.size()});
    noteEdit(TextRange{range.location, replacement.size()}, delta, true);
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
