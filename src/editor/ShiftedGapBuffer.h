#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace velto::editor {

/// Items that carry text positions, in text order, kept in a gap buffer: the items after the gap keep
/// the positions they had when they last crossed it, plus one shift shared by all of them. An edit
/// of the text moves every later item by changing that one number, and changes near the previous one
/// move few items, so keeping a whole page's items up to date costs about the edit, not the page.
///
/// `Item` needs two free functions found by argument lookup: `startOf(const Item &)`, its first
/// position (ascending through the buffer), and `shift(Item &, std::ptrdiff_t)`, which moves all its
/// positions.
template <typename Item> class ShiftedGapBuffer {
public:
    ShiftedGapBuffer() = default;
    explicit ShiftedGapBuffer(std::vector<Item> items)
        : items_(std::move(items))
        , gapBegin_(items_.size())
        , gapEnd_(items_.size()) {}

    std::size_t size() const { return items_.size() - gapLength(); }
    bool empty() const { return size() == 0; }

    /// The item with its true positions.
    Item at(std::size_t index) const {
        if (index < gapBegin_) {
            return items_[index];
        }
        Item item = items_[index + gapLength()];
        shift(item, shiftAfterGap_);
        return item;
    }
    std::size_t startAt(std::size_t index) const {
        return index < gapBegin_ ? startOf(items_[index])
                                 : shifted(startOf(items_[index + gapLength()]), shiftAfterGap_);
    }

    /// The item as stored, without copying: its positions are off by `storedShift(index)`.
    const Item &stored(std::size_t index) const { return items_[index < gapBegin_ ? index : index + gapLength()]; }
    std::ptrdiff_t storedShift(std::size_t index) const { return index < gapBegin_ ? 0 : shiftAfterGap_; }

    /// The index of the first item starting at or after the position.
    std::size_t firstStartingAtOrAfter(std::size_t position) const {
        std::size_t low = 0;
        std::size_t high = size();
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            if (startAt(middle) < position) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        return low;
    }

    void replace(std::size_t index, const Item &item) {
        if (index < gapBegin_) {
            items_[index] = item;
        } else {
            Item stored = item;
            shift(stored, -shiftAfterGap_);
            items_[index + gapLength()] = std::move(stored);
        }
    }

    /// Replaces `count` items from `index` on with `fresh` (true positions).
    void splice(std::size_t index, std::size_t count, const std::vector<Item> &fresh) {
        moveGap(index);
        gapEnd_ += count; // the replaced items become free space
        if (gapLength() < fresh.size()) {
            grow(fresh.size());
        }
        for (const Item &item : fresh) {
            items_[gapBegin_++] = item;
        }
    }

    /// Adds `delta` to the positions of every item from `index` on.
    void shiftFrom(std::size_t index, std::ptrdiff_t delta) {
        if (delta == 0 || index >= size()) {
            return;
        }
        moveGap(index);
        shiftAfterGap_ += delta;
    }

    /// Every item with its true positions, in order.
    std::vector<Item> items() const {
        std::vector<Item> all;
        all.reserve(size());
        for (std::size_t index = 0; index < size(); ++index) {
            all.push_back(at(index));
        }
        return all;
    }

private:
    static std::size_t shifted(std::size_t position, std::ptrdiff_t delta) {
        return static_cast<std::size_t>(static_cast<std::ptrdiff_t>(position) + delta);
    }
    std::size_t gapLength() const { return gapEnd_ - gapBegin_; }

    void moveGap(std::size_t index) {
        // Items that cross the gap take on or give up the shift of the items after it.
        const std::size_t gap = gapLength();
        if (index < gapBegin_) {
            for (std::size_t k = gapBegin_; k > index; --k) {
                Item &moved = items_[k - 1 + gap];
                if (gap > 0) {
                    moved = std::move(items_[k - 1]);
                }
                shift(moved, -shiftAfterGap_);
            }
        } else {
            for (std::size_t k = gapBegin_; k < index; ++k) {
                Item &moved = items_[k];
                if (gap > 0) {
                    moved = std::move(items_[k + gap]);
                }
                shift(moved, shiftAfterGap_);
            }
        }
        gapBegin_ = index;
        gapEnd_ = index + gap;
    }

    void grow(std::size_t needed) {
        const std::size_t added = std::max(needed, std::max<std::size_t>(16, size() / 8));
        const std::size_t after = items_.size() - gapEnd_;
        items_.resize(items_.size() + added);
        std::move_backward(items_.begin() + static_cast<std::ptrdiff_t>(gapEnd_),
                           items_.begin() + static_cast<std::ptrdiff_t>(gapEnd_ + after), items_.end());
        gapEnd_ += added;
    }

    std::vector<Item> items_;
    std::size_t gapBegin_ = 0;
    std::size_t gapEnd_ = 0;
    std::ptrdiff_t shiftAfterGap_ = 0;
};

} // namespace velto::editor
