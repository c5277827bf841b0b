#pragma once

#include <cstdint>
#include <string_view>

namespace velto::editor {

/// A fence's info string as the code index stores it: the number of the string in a table the whole process
/// shares, which holds each distinct info string once and never lets one go. A page's fence lines and blocks
/// repeat a few language names ("js", "python") a million times over, so each keeps four bytes instead of the
/// string, and copying one copies the number.
class StoredInfoString {
public:
    StoredInfoString() = default;
    explicit StoredInfoString(std::u16string_view text);
    StoredInfoString(const StoredInfoString &other) = default;
    StoredInfoString &operator=(const StoredInfoString &other) = default;
    // A moved-from string is empty, as a moved-from std::u16string is.
    StoredInfoString(StoredInfoString &&other) noexcept
        : number_(other.number_) {
        other.number_ = 0;
    }
    StoredInfoString &operator=(StoredInfoString &&other) noexcept {
        number_ = other.number_;
        if (this != &other) {
            other.number_ = 0;
        }
        return *this;
    }

    /// The string's units, valid as long as the process runs.
    std::u16string_view view() const;

private:
    std::uint32_t number_ = 0; // the empty string's
};

} // namespace velto::editor
