#include "model/LineNumbering.h"

#include "platform/Text.h"

#include <functional>

namespace velto {

LineNumbering::LineNumbering(std::size_t maximumDistinctLines) {
    std::size_t capacity = 16;
    while (capacity < 2 * maximumDistinctLines) {
        capacity *= 2;
    }
    slots_.resize(capacity);
    mask_ = capacity - 1;
    keys_.reserve(maximumDistinctLines);
}

std::vector<LineNumber> LineNumbering::numbersOf(const std::vector<std::string_view> &lines) {
    std::vector<LineNumber> numbers;
    numbers.reserve(lines.size());
    for (std::string_view line : lines) {
        numbers.push_back(numberOf(line));
    }
    return numbers;
}

LineNumber LineNumbering::numberOf(std::string_view line) {
    if (text::isASCII(line)) {
        return lookUp(line).first;
    }
    std::string normalised = text::nfc(line);
    if (normalised != line) {
        everyLineIsNFC_ = false;
    }
    auto [number, added] = lookUp(normalised);
    if (added) {
        normalisedLines_.push_back(std::move(normalised));
        keys_[number] = normalisedLines_.back();
    }
    return number;
}

std::pair<LineNumber, bool> LineNumbering::lookUp(std::string_view key) {
    if (2 * (keys_.size() + 1) > slots_.size()) {
        grow();
    }
    std::size_t hash = std::hash<std::string_view>{}(key);
    for (std::size_t index = hash & mask_;; index = (index + 1) & mask_) {
        Slot &slot = slots_[index];
        if (slot.numberPlusOne == 0) {
            keys_.push_back(key);
            slot = Slot{static_cast<std::uint32_t>(hash), static_cast<LineNumber>(keys_.size())};
            return {static_cast<LineNumber>(keys_.size() - 1), true};
        }
        if (slot.hash == static_cast<std::uint32_t>(hash) && keys_[slot.numberPlusOne - 1] == key) {
            return {slot.numberPlusOne - 1, false};
        }
    }
}

// Only when there are more distinct lines than announced.
void LineNumbering::grow() {
    slots_.assign(slots_.size() * 2, Slot{});
    mask_ = slots_.size() - 1;
    for (std::size_t number = 0; number < keys_.size(); ++number) {
        std::size_t hash = std::hash<std::string_view>{}(keys_[number]);
        std::size_t index = hash & mask_;
        while (slots_[index].numberPlusOne != 0) {
            index = (index + 1) & mask_;
        }
        slots_[index] = Slot{static_cast<std::uint32_t>(hash), static_cast<LineNumber>(number + 1)};
    }
}

} // namespace velto
