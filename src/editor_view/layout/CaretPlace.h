#pragma once

#include <cstddef>

namespace velto::editor {

/// The side of a line wrap on which a caret standing at the wrap shows: at the start of the next line
/// (downstream, where every position shows unless told otherwise), or at the end of the line that wraps
/// (upstream: after "AAA-" of a line that broke after a hyphen, where End leaves the caret).
enum class CaretAffinity { downstream, upstream };

/// Where a caret stands: its position and, at a line wrap, on which side of it.
struct CaretPlace {
    std::size_t position = 0;
    CaretAffinity affinity = CaretAffinity::downstream;
    bool operator==(const CaretPlace &) const = default;
};

} // namespace velto::editor
