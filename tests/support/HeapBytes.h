#pragma once

#include <cstddef>
#include <optional>

// Given by the address sanitizer, which every test build uses; absent from a build without it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace velto::testing {

/// The bytes allocated on the heap and not freed yet, as the address sanitizer counts them (what was asked
/// for, without the allocator's own overhead); none in a build without the sanitizer. Tests of what a
/// structure holds compare it before and after making many of them.
inline std::optional<std::size_t> heapBytesInUse() {
    if (__sanitizer_get_current_allocated_bytes == nullptr) {
        return std::nullopt;
    }
    return __sanitizer_get_current_allocated_bytes();
}

} // namespace velto::testing
