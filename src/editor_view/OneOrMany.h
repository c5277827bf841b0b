#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <variant>
#include <vector>

namespace velto::editor {

/// A short list that holds a single item in place and needs a heap block only for two or more. The layout
/// cache keeps one list of pieces per paragraph, a page has hundreds of thousands of paragraphs, and all
/// but the longest have a single piece: a vector would cost each of them a heap block of its own.
///
/// The single item and the pointer to the heap block share their room (the list is one item and a byte
/// wide), and the items are contiguous, so begin() and end() are pointers.
template <typename Item> class OneOrMany {
public:
    OneOrMany() = default;
    OneOrMany(OneOrMany &&other) noexcept
        : items_(std::exchange(other.items_, Nothing{})) {}
    OneOrMany &operator=(OneOrMany &&other) noexcept {
        items_ = std::exchange(other.items_, Nothing{});
        return *this;
    }

    bool empty() const { return size() == 0; }
    std::size_t size() const {
        if (const auto *many = std::get_if<Many>(&items_)) {
            return (*many)->size();
        }
        return std::holds_alternative<Item>(items_) ? 1 : 0;
    }

    Item *begin() {
        if (auto *many = std::get_if<Many>(&items_)) {
            return (*many)->data();
        }
        return std::get_if<Item>(&items_); // none when empty, which is also its end
    }
    Item *end() { return begin() + size(); }
    const Item *begin() const {
        if (const auto *many = std::get_if<Many>(&items_)) {
            return (*many)->data();
        }
        return std::get_if<Item>(&items_);
    }
    const Item *end() const { return begin() + size(); }
    Item &operator[](std::size_t index) { return begin()[index]; }
    const Item &operator[](std::size_t index) const { return begin()[index]; }
    Item &back() { return begin()[size() - 1]; }
    const Item &back() const { return begin()[size() - 1]; }

    void push_back(Item item) {
        if (auto *many = std::get_if<Many>(&items_)) {
            (*many)->push_back(std::move(item));
        } else if (auto *one = std::get_if<Item>(&items_)) {
            // The second item moves both to the heap, so that the items stay contiguous.
            auto both = std::make_unique<std::vector<Item>>();
            both->reserve(2);
            both->push_back(std::move(*one));
            both->push_back(std::move(item));
            items_.template emplace<Many>(std::move(both));
        } else {
            items_.template emplace<Item>(std::move(item));
        }
    }

    void clear() { items_ = Nothing{}; }

private:
    using Nothing = std::monostate;
    using Many = std::unique_ptr<std::vector<Item>>;
    std::variant<Nothing, Item, Many> items_;
};

} // namespace velto::editor
