#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace velto::editor {

/// Values kept for a few of a text's paragraphs, by paragraph number, in paragraph order. A page holds
/// millions of paragraphs but keeps something for a few thousand of them at most (those laid out, those cut
/// into pieces): a slot for every paragraph cost a 60 MB page 16 MB. Finding a paragraph's value costs a
/// binary search over the few; the numbers follow paragraphs added and removed through `splice`.
///
/// `Value` is default-constructible and movable; a default value is what a paragraph without one reads as.
template <typename Value> class SparseParagraphs {
public:
    /// The paragraph's value, or null when it has none.
    Value *find(std::size_t paragraph) {
        const auto found = lowerBound(paragraph);
        return found != entries_.end() && found->first == paragraph ? &found->second : nullptr;
    }
    const Value *find(std::size_t paragraph) const { return const_cast<SparseParagraphs *>(this)->find(paragraph); }

    /// The paragraph's value, made (a default one) when it has none.
    Value &operator[](std::size_t paragraph) {
        const auto found = lowerBound(paragraph);
        if (found != entries_.end() && found->first == paragraph) {
            return found->second;
        }
        return entries_.emplace(found, paragraph, Value{})->second;
    }

    /// Takes the paragraph's value out, leaving it none; a default value when it had none.
    Value take(std::size_t paragraph) {
        const auto found = lowerBound(paragraph);
        if (found == entries_.end() || found->first != paragraph) {
            return Value{};
        }
        Value taken = std::move(found->second);
        entries_.erase(found);
        return taken;
    }

    /// Follows `removed` paragraphs from `first` on replaced by `inserted` new ones: the values of the removed
    /// go, and the paragraphs after them are numbered anew.
    void splice(std::size_t first, std::size_t removed, std::size_t inserted) {
        const auto begin = lowerBound(first);
        const auto end = lowerBound(first + removed);
        const auto after = entries_.erase(begin, end);
        for (auto entry = after; entry != entries_.end(); ++entry) {
            entry->first = entry->first - removed + inserted;
        }
    }

    void clear() { entries_.clear(); }
    std::size_t size() const { return entries_.size(); }
    /// The bytes the list itself takes (not what the values hold elsewhere).
    std::size_t bytes() const { return entries_.capacity() * sizeof(Entry); }

    /// The paragraphs that have a value, in order.
    std::vector<std::size_t> paragraphs() const {
        std::vector<std::size_t> numbers;
        numbers.reserve(entries_.size());
        for (const Entry &entry : entries_) {
            numbers.push_back(entry.first);
        }
        return numbers;
    }

    using Entry = std::pair<std::size_t, Value>;
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

private:
    typename std::vector<Entry>::iterator lowerBound(std::size_t paragraph) {
        return std::lower_bound(entries_.begin(), entries_.end(), paragraph,
                                [](const Entry &entry, std::size_t number) { return entry.first < number; });
    }

    std::vector<Entry> entries_;
};

} // namespace velto::editor
