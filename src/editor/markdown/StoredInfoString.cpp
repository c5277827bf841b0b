#include "editor/markdown/StoredInfoString.h"

#include <array>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

namespace velto::editor {
namespace {

/// Every distinct info string stored so far, each under its number. The strings never move (a deque keeps its
/// elements in place as it grows) and are never let go, so a view of one stays valid.
class InfoStringTable {
public:
    static InfoStringTable &shared() {
        static InfoStringTable table;
        return table;
    }

    std::uint32_t numberOf(std::u16string_view text) {
        const std::lock_guard lock(mutex_);
        const auto found = numbers_.find(text);
        if (found != numbers_.end()) {
            return found->second;
        }
        const auto number = static_cast<std::uint32_t>(strings_.size());
        const std::u16string &kept = strings_.emplace_back(text);
        numbers_.emplace(kept, number);
        return number;
    }

    std::u16string_view string(std::uint32_t number) {
        const std::lock_guard lock(mutex_);
        return strings_[number];
    }

private:
    InfoStringTable() { strings_.emplace_back(); } // number 0: the empty string, found without the table

    std::mutex mutex_;
    std::deque<std::u16string> strings_;
    std::unordered_map<std::u16string_view, std::uint32_t> numbers_;
};

/// The numbers of a few info strings this thread stored last, looked up without the table's lock: a page of a
/// million fences names a handful of languages over and over.
class RecentInfoStrings {
public:
    std::uint32_t numberOf(std::u16string_view text) {
        Entry &entry = entries_[slotOf(text)];
        if (entry.number == 0 || entry.text != text) {
            entry.number = InfoStringTable::shared().numberOf(text);
            entry.text = InfoStringTable::shared().string(entry.number);
        }
        return entry.number;
    }

private:
    struct Entry {
        std::u16string_view text; // the table's own copy
        std::uint32_t number = 0;
    };

    static std::size_t slotOf(std::u16string_view text) { return std::hash<std::u16string_view>()(text) % slots; }

    static constexpr std::size_t slots = 32;
    std::array<Entry, slots> entries_{};
};

} // namespace

StoredInfoString::StoredInfoString(std::u16string_view text) {
    if (!text.empty()) {
        thread_local RecentInfoStrings recent;
        number_ = recent.numberOf(text);
    }
}

std::u16string_view StoredInfoString::view() const {
    return number_ == 0 ? std::u16string_view() : InfoStringTable::shared().string(number_);
}

} // namespace velto::editor
