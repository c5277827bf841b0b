#include "editor/text/UTF8Offsets.h"

#include "editor/text/TextStorageChunks.h"
#include "platform/Text.h"

#include <algorithm>

namespace velto::editor {

using storage_chunks::isLeadSurrogate;
using storage_chunks::isTrailSurrogate;

void UTF8Offsets::measure(const TextStorage &storage) {
    // Points at the ends of the storage's pieces, which never part a surrogate pair.
    points_.assign(1, UnitAndByte{});
    UnitAndByte at;
    for (const std::u16string_view piece : storage.pieces()) {
        at.unit += piece.size();
        at.byte += text::utf8Length(piece);
        if (at.unit - points_.back().unit >= pointSpacing) {
            points_.push_back(at);
        }
    }
    end_ = at;
}

void UTF8Offsets::measureFrom(const TextStorage &storage, const std::vector<UnitAndByte> &pieceEnds, UnitAndByte start,
                              UnitAndByte newEnd, UnitAndByte end) {
    // The same points measure() takes, where the comparison read; those over the change are added as a
    // replacement of its units by themselves adds them.
    points_.assign(1, UnitAndByte{});
    for (const UnitAndByte &pieceEnd : pieceEnds) {
        if (pieceEnd.unit >= points_.back().unit + pointSpacing) {
            points_.push_back(pieceEnd);
        }
    }
    end_ = end;
    replace(storage, start, newEnd, newEnd);
}

std::size_t UTF8Offsets::byteAfterPoint(const TextStorage &storage, std::size_t unit) const {
    const auto after = std::upper_bound(points_.begin(), points_.end(), unit,
                                        [](std::size_t value, const UnitAndByte &point) { return value < point.unit; });
    const UnitAndByte point = after == points_.begin() ? UnitAndByte{} : *(after - 1);
    return point.byte + text::utf8Length(storage.substring(TextRange{point.unit, unit - point.unit}));
}

std::size_t UTF8Offsets::byteBeforePoint(const TextStorage &storage, std::size_t unit, std::ptrdiff_t shift) const {
    const auto found = std::lower_bound(points_.begin(), points_.end(), unit,
                                        [](const UnitAndByte &point, std::size_t value) { return point.unit < value; });
    const UnitAndByte point = found == points_.end() ? end_ : *found;
    const auto shifted = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(unit) + shift);
    return point.byte - text::utf8Length(storage.substring(TextRange{shifted, point.unit - unit}));
}

void UTF8Offsets::replace(const TextStorage &storage, UnitAndByte start, UnitAndByte oldEnd, UnitAndByte newEnd) {
    // The points up to the start stay, those inside the replaced units go, and those after it move with it.
    auto isAfterStart = [&start](const UnitAndByte &point) { return point.unit > start.unit; };
    auto isAtOrAfterOldEnd = [&oldEnd](const UnitAndByte &point) { return point.unit >= oldEnd.unit; };
    const auto firstInside = std::find_if(points_.begin(), points_.end(), isAfterStart);
    const auto firstAfter = std::find_if(firstInside, points_.end(), isAtOrAfterOldEnd);
    for (auto moved = firstAfter; moved != points_.end(); ++moved) {
        moved->unit = moved->unit - oldEnd.unit + newEnd.unit;
        moved->byte = moved->byte - oldEnd.byte + newEnd.byte;
    }
    end_.unit = end_.unit - oldEnd.unit + newEnd.unit;
    end_.byte = end_.byte - oldEnd.byte + newEnd.byte;

    // New points over the new units: at the start, every spacing units after it and at their end.
    std::vector<UnitAndByte> added{start};
    const std::u16string units = storage.substring(TextRange{start.unit, newEnd.unit - start.unit});
    std::size_t from = 0;
    while (units.size() - from > pointSpacing) {
        std::size_t to = from + pointSpacing;
        if (isLeadSurrogate(units[to - 1]) && isTrailSurrogate(units[to])) {
            ++to;
        }
        added.push_back(
            UnitAndByte{start.unit + to, added.back().byte + text::utf8Length(units.substr(from, to - from))});
        from = to;
    }
    added.push_back(newEnd);
    const auto at = points_.erase(firstInside, firstAfter);
    const auto first = static_cast<std::size_t>(at - points_.begin());
    points_.insert(at, added.begin(), added.end());
    // A point where one already lay (the start, or the new end where the next point was) is taken once.
    points_.erase(std::unique(points_.begin(), points_.end(),
                              [](const UnitAndByte &a, const UnitAndByte &b) { return a.unit == b.unit; }),
                  points_.end());
    dropNeedlessPoints(first == 0 ? 0 : first - 1, first + added.size() + 1);
}

void UTF8Offsets::dropNeedlessPoints(std::size_t first, std::size_t last) {
    // The first point, the text's start, always stays.
    std::size_t index = std::max<std::size_t>(first, 1);
    while (index + 1 < points_.size() && index <= last) {
        if (points_[index + 1].unit - points_[index - 1].unit <= pointSpacing) {
            points_.erase(points_.begin() + static_cast<std::ptrdiff_t>(index));
            --last;
        } else {
            ++index;
        }
    }
}

} // namespace velto::editor
