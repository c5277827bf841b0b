#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace velto::editor {

/// A fence's info string as the code index stores it: up to six units in place, a longer one on the heap. Nearly
/// every info string is a language's short name ("js", "python"), which then takes no allocation and half the
/// room of a std::u16string, in each of a big page's million fence lines and blocks.
class StoredInfoString {
public:
    StoredInfoString() = default;
    explicit StoredInfoString(std::u16string_view text);
    StoredInfoString(const StoredInfoString &other);
    StoredInfoString &operator=(const StoredInfoString &other);
    // Moved as its bytes: the short units, or the address of the long ones, which the moved-from string lets go.
    StoredInfoString(StoredInfoString &&other) noexcept
        : size_(other.size_) {
        std::memcpy(units_, other.units_, sizeof units_);
        other.size_ = 0;
    }
    StoredInfoString &operator=(StoredInfoString &&other) noexcept {
        if (this != &other) {
            freeHeapUnits();
            size_ = other.size_;
            std::memcpy(units_, other.units_, sizeof units_);
            other.size_ = 0;
        }
        return *this;
    }
    ~StoredInfoString() { freeHeapUnits(); }

    std::u16string_view view() const { return std::u16string_view(isOnHeap() ? heapUnits() : units_, size_); }

private:
    static constexpr std::uint32_t unitsInPlace = 6;

    bool isOnHeap() const { return size_ > unitsInPlace; }
    /// A long string's units, whose address the place of the short ones holds.
    char16_t *heapUnits() const {
        char16_t *heap = nullptr;
        std::memcpy(&heap, units_, sizeof heap);
        return heap;
    }
    void freeHeapUnits() {
        if (isOnHeap()) {
            delete[] heapUnits();
        }
    }

    char16_t units_[unitsInPlace] = {};
    std::uint32_t size_ = 0;
};

} // namespace velto::editor
