#pragma once

#include <algorithm>
#include <cstddef>
#include <type_traits>
#include <utility>
#include <vector>

namespace velto::editor {

/// Items that carry text positions, in text order, kept in blocks of a few dozen. Each block holds its
/// items' positions as they were when they last moved, plus one shift shared by the whole block: an
/// edit of the text moves the items after it by changing their own block's items and one number per
/// later block, so keeping a whole page's items up to date costs about the edit and the number of
/// blocks, wherever the edit lies.
///
/// `Item` needs two free functions found by argument lookup: `startOf(const Item &)`, its first
/// position (ascending through the list), and `shift(Item &, std::ptrdiff_t)`, which moves all its
/// positions.
///
/// A list of many items may keep them in a smaller form: `Stored`, with the same two functions and
/// `toStored(const Item &)` and `toItem(const Stored &)` found by argument lookup. A stored form may hold
/// its positions in 32 bits: `startOf` then returns std::uint32_t, and the positions wrap around as they
/// are shifted (a block's shift may exceed the positions it is taken from), which gives back every true
/// position exactly as long as the text's positions fit in 32 bits.
template <typename Item, typename Stored = Item> class ShiftedItemList {
public:
    ShiftedItemList() = default;
    explicit ShiftedItemList(std::vector<Item> items) { append(std::move(items)); }

    /// Adds the items (true positions, in order) after the last one: a long list is built a part at a time,
    /// without all of its items in their full form at once.
    void append(std::vector<Item> items) {
        for (Item &item : items) {
            appendStored(storedForm(std::move(item)));
        }
    }
    /// Adds one item in its stored form (true positions) after the last one: a long list is built from stored
    /// forms made as its items are found, without the full items in between.
    void appendStored(Stored item) {
        if (blocks_.empty() || blocks_.back().items.size() >= blockItems) {
            blocks_.emplace_back();
            blocks_.back().items.reserve(blockItems);
            firstIndex_.push_back(size_);
        }
        Block &last = blocks_.back();
        // A list being built has no shifts yet. Shifting a copy anyway writes one of its positions just before
        // the whole copy is read to be stored, which stalls the processor on each of a big page's million items.
        if (last.shift != 0) {
            shift(item, -last.shift);
        }
        last.items.push_back(std::move(item));
        ++size_;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size() == 0; }

    /// The item with its true positions.
    Item at(std::size_t index) const {
        const std::size_t block = blockOf(index);
        return truePositions(blocks_[block].items[index - firstIndex_[block]], blocks_[block].shift);
    }
    std::size_t startAt(std::size_t index) const {
        const std::size_t block = blockOf(index);
        return shifted(startOf(blocks_[block].items[index - firstIndex_[block]]), blocks_[block].shift);
    }

    /// The item as stored, without copying: its positions are off by `storedShift(index)`.
    const Stored &stored(std::size_t index) const {
        const std::size_t block = blockOf(index);
        return blocks_[block].items[index - firstIndex_[block]];
    }
    std::ptrdiff_t storedShift(std::size_t index) const { return blocks_[blockOf(index)].shift; }

    /// The index of the first item starting at or after the position.
    std::size_t firstStartingAtOrAfter(std::size_t position) const {
        // The first block whose last item starts at or after the position holds the answer.
        std::size_t low = 0;
        std::size_t high = blocks_.size();
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            const Block &block = blocks_[middle];
            if (shifted(startOf(block.items.back()), block.shift) < position) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        if (low == blocks_.size()) {
            return size_;
        }
        const Block &block = blocks_[low];
        const auto found = std::partition_point(block.items.begin(), block.items.end(), [&](const Stored &item) {
            return shifted(startOf(item), block.shift) < position;
        });
        return firstIndex_[low] + static_cast<std::size_t>(found - block.items.begin());
    }

    void replace(std::size_t index, const Item &item) {
        const std::size_t block = blockOf(index);
        Stored stored = storedForm(item);
        shift(stored, -blocks_[block].shift);
        blocks_[block].items[index - firstIndex_[block]] = std::move(stored);
    }

    /// Replaces `count` items from `index` on with `fresh` (true positions).
    void splice(std::size_t index, std::size_t count, const std::vector<Item> &fresh) {
        std::size_t block = index < size_ ? blockOf(index) : blocks_.size();
        std::size_t offset = index < size_ ? index - firstIndex_[block] : 0;
        for (std::size_t remaining = count; remaining > 0;) {
            std::vector<Stored> &items = blocks_[block].items;
            const std::size_t taken = std::min(remaining, items.size() - offset);
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(offset),
                        items.begin() + static_cast<std::ptrdiff_t>(offset + taken));
            remaining -= taken;
            if (items.empty()) {
                blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(block));
            } else if (remaining > 0) {
                ++block;
                offset = 0;
            }
        }
        if (!fresh.empty()) {
            if (blocks_.empty()) {
                blocks_.emplace_back();
            }
            if (block == blocks_.size()) {
                block = blocks_.size() - 1; // at the end: after the last item
                offset = blocks_[block].items.size();
            }
            Block &target = blocks_[block];
            std::vector<Stored> stored;
            stored.reserve(fresh.size());
            for (const Item &item : fresh) {
                stored.push_back(storedForm(item));
                shift(stored.back(), -target.shift);
            }
            target.items.insert(target.items.begin() + static_cast<std::ptrdiff_t>(offset), stored.begin(),
                                stored.end());
            if (target.items.size() > 2 * blockItems) {
                splitBlock(block);
            }
        } else if (block < blocks_.size() && blocks_[block].items.size() < blockItems / 4) {
            mergeSmallBlock(block);
        }
        countBlocks();
    }

    /// Adds `delta` to the positions of every item from `index` on.
    void shiftFrom(std::size_t index, std::ptrdiff_t delta) {
        if (delta == 0 || index >= size_) {
            return;
        }
        const std::size_t first = blockOf(index);
        Block &block = blocks_[first];
        for (std::size_t k = index - firstIndex_[first]; k < block.items.size(); ++k) {
            shift(block.items[k], delta);
        }
        for (std::size_t later = first + 1; later < blocks_.size(); ++later) {
            blocks_[later].shift += delta;
        }
    }

    /// Calls `visit(index, start)` with the first position of every item from `first` up to `end`, in order:
    /// one walk over the blocks, where asking `startAt` for each would look its block up every time.
    template <typename Visit> void forEachStart(std::size_t first, std::size_t end, Visit &&visit) const {
        end = std::min(end, size_);
        if (first >= end) {
            return;
        }
        std::size_t index = first;
        for (std::size_t block = blockOf(first); index < end; ++block) {
            const Block &items = blocks_[block];
            const std::size_t last = std::min(end, firstIndex_[block] + items.items.size());
            for (; index < last; ++index) {
                visit(index, shifted(startOf(items.items[index - firstIndex_[block]]), items.shift));
            }
        }
    }

    /// Every item with its true positions, in order.
    std::vector<Item> items() const {
        std::vector<Item> all;
        all.reserve(size());
        for (const Block &block : blocks_) {
            for (const Stored &item : block.items) {
                all.push_back(truePositions(item, block.shift));
            }
        }
        return all;
    }

private:
    static constexpr std::size_t blockItems = 64;

    /// Items of one block; their true positions are the stored ones plus `shift`. Never empty.
    struct Block {
        std::vector<Stored> items;
        std::ptrdiff_t shift = 0;
    };

    /// The position moved by `delta`, wrapping around within the position's own type.
    template <typename Position> static std::size_t shifted(Position position, std::ptrdiff_t delta) {
        return static_cast<Position>(static_cast<std::ptrdiff_t>(position) + delta);
    }

    static Stored storedForm(Item item) {
        if constexpr (std::is_same_v<Item, Stored>) {
            return item;
        } else {
            return toStored(item);
        }
    }

    /// The item of a stored one whose positions are off by `delta`.
    static Item truePositions(Stored stored, std::ptrdiff_t delta) {
        shift(stored, delta);
        if constexpr (std::is_same_v<Item, Stored>) {
            return stored;
        } else {
            return toItem(stored);
        }
    }

    std::size_t blockOf(std::size_t index) const {
        const auto after = std::upper_bound(firstIndex_.begin(), firstIndex_.end(), index);
        return static_cast<std::size_t>(after - firstIndex_.begin()) - 1;
    }

    void splitBlock(std::size_t index) {
        Block whole = std::move(blocks_[index]);
        blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(index));
        std::vector<Block> parts;
        for (std::size_t start = 0; start < whole.items.size(); start += blockItems) {
            Block part;
            part.shift = whole.shift;
            const std::size_t end = std::min(start + blockItems, whole.items.size());
            part.items.assign(whole.items.begin() + static_cast<std::ptrdiff_t>(start),
                              whole.items.begin() + static_cast<std::ptrdiff_t>(end));
            parts.push_back(std::move(part));
        }
        blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(index), std::make_move_iterator(parts.begin()),
                       std::make_move_iterator(parts.end()));
    }

    /// Joins a block left with few items to its neighbour, so that deletions leave no trail of tiny blocks.
    void mergeSmallBlock(std::size_t index) {
        if (blocks_.size() < 2) {
            return;
        }
        const std::size_t left = index == 0 ? 0 : index - 1;
        Block &into = blocks_[left];
        Block &from = blocks_[left + 1];
        if (into.items.size() + from.items.size() > 2 * blockItems) {
            return;
        }
        for (Stored &item : from.items) {
            shift(item, from.shift - into.shift);
            into.items.push_back(std::move(item));
        }
        blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(left) + 1);
    }

    /// Recounts where each block starts in the list.
    void countBlocks() {
        firstIndex_.resize(blocks_.size());
        size_ = 0;
        for (std::size_t block = 0; block < blocks_.size(); ++block) {
            firstIndex_[block] = size_;
            size_ += blocks_[block].items.size();
        }
    }

    std::vector<Block> blocks_;
    std::vector<std::size_t> firstIndex_; // the list index of each block's first item
    std::size_t size_ = 0;
};

} // namespace velto::editor
