#pragma once

#include <cstddef>

namespace velto::editor {

/// Where a view's top stands in its text, which outlasts the estimated heights of paragraphs: the first unit of
/// the paragraph at the top (of its piece, in a paragraph laid out in pieces) and how far below the top of that
/// paragraph or piece the view starts.
struct ScrollAnchor {
    std::size_t position = 0;
    double offset = 0;
    bool operator==(const ScrollAnchor &) const = default;
};

} // namespace velto::editor
