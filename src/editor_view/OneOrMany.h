#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace velto::editor {

/// A short list that holds a single item in place and needs a heap block only for two or more. The layout
/// cache keeps one list of pieces per paragraph, a page has hundreds of thousands of paragraphs, and all
/// but the longest have a single piece: a vector would cost each of them a heap block of its own.
///
/// The items are contiguous, so begin() and end() are pointers.
template <typename Item> class OneOrMany {
public:
    OneOrMany() = default;
    OneOrMany(OneOrMany &&other) noexcept
        : one_(std::move(other.one_))
        , many_(std::move(other.many_))
        , holdsOne_(std::exchange(other.holdsOne_, false)) {}
    OneOrMany &operator=(OneOrMany &&other) noexcept {
        one_ = std::move(other.one_);
        many_ = std::move(other.many_);
        holdsOne_ = std::exchange(other.holdsOne_, false);
        return *this;
    }

    bool empty() const { return size() == 0; }
    std::size_t size() const { return many_ ? many_->size() : (holdsOne_ ? 1 : 0); }

    Item *begin() { return many_ ? many_->data() : &one_; }
    Item *end() { return begin() + size(); }
    const Item *begin() const { return many_ ? many_->data() : &one_; }
    const Item *end() const { return begin() + size(); }
    Item &operator[](std::size_t index) { return begin()[index]; }
    const Item &operator[](std::size_t index) const { return begin()[index]; }
    Item &back() { return begin()[size() - 1]; }
    const Item &back() const { return begin()[size() - 1]; }

    void push_back(Item item) {
        if (many_) {
            many_->push_back(std::move(item));
        } else if (!holdsOne_) {
            one_ = std::move(item);
            holdsOne_ = true;
        } else {
            // The second item moves both to the heap, so that the items stay contiguous.
            many_ = std::make_unique<std::vector<Item>>();
            many_->reserve(2);
            many_->push_back(std::exchange(one_, Item{}));
            many_->push_back(std::move(item));
            holdsOne_ = false;
        }
    }

    void clear() {
        many_.reset();
        one_ = Item{};
        holdsOne_ = false;
    }

private:
    Item one_{};
    std::unique_ptr<std::vector<Item>> many_;
    bool holdsOne_ = false;
};

} // namespace velto::editor
