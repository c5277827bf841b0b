#pragma once

#include "platform/Text.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Texts in records and pages are equal when they are canonically equivalent: a file name or a preview
// that another machine wrote in decomposed form is the same name, not a change.
namespace velto {

inline bool sameText(std::string_view a, std::string_view b) {
    return text::canonicallyEqual(a, b);
}

inline bool sameOptionalText(const std::optional<std::string> &a, const std::optional<std::string> &b) {
    if (a.has_value() != b.has_value()) {
        return false;
    }
    return !a.has_value() || text::canonicallyEqual(*a, *b);
}

inline bool sameTexts(const std::vector<std::string> &a, const std::vector<std::string> &b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t index = 0; index < a.size(); ++index) {
        if (!text::canonicallyEqual(a[index], b[index])) {
            return false;
        }
    }
    return true;
}

} // namespace velto
