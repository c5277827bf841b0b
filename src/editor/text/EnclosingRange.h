#pragma once

#include "editor/text/TextRange.h"

#include <algorithm>
#include <cstddef>

// The one walk behind the line and paragraph ranges, over any text that answers size() and [index]:
// a string, or the editor's storage read unit by unit.
namespace velto::editor::detail {

inline bool isParagraphSeparator(char16_t unit) {
    return unit == u'\n' || unit == u'\r' || unit == 0x2029;
}

template <typename Text, typename IsTerminator>
TextRange enclosingRange(const Text &text, TextRange range, IsTerminator isTerminator) {
    const std::size_t length = text.size();
    std::size_t start = std::min(range.location, length);
    // A position between the CR and LF of one CRLF belongs to the line the CR ends.
    if (start > 0 && start < length && text[start] == u'\n' && text[start - 1] == u'\r') {
        --start;
    }
    while (start > 0 && !isTerminator(text[start - 1])) {
        --start;
    }
    std::size_t position = range.length > 0 ? range.end() - 1 : range.location;
    if (position >= length) {
        return rangeBetween(start, length);
    }
    while (position < length && !isTerminator(text[position])) {
        ++position;
    }
    std::size_t end = position;
    if (position < length) {
        end = position + 1;
        if (text[position] == u'\r' && end < length && text[end] == u'\n') {
            ++end;
        }
    }
    return rangeBetween(start, end);
}

} // namespace velto::editor::detail
