#include "store/PageNameOrder.h"

#include <cstddef>

namespace velto::PageNameOrder {
namespace {

bool isDigit(char character) {
    return character >= '0' && character <= '9';
}

char lowered(char character) {
    return character >= 'A' && character <= 'Z' ? static_cast<char>(character - 'A' + 'a') : character;
}

/// The run of digits at the start of `text`, without its leading zeros; `text` moves past the run.
std::string_view takeNumber(std::string_view &text) {
    std::size_t end = 0;
    while (end < text.size() && isDigit(text[end])) {
        ++end;
    }
    std::string_view digits = text.substr(0, end);
    text.remove_prefix(end);
    while (digits.size() > 1 && digits.front() == '0') {
        digits.remove_prefix(1);
    }
    return digits;
}

/// Below zero when the number `a` is smaller, above when larger; digits of any length compare.
int compareNumbers(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return a.compare(b);
}

} // namespace

std::string_view orderingName(const VeltoPage &page) {
    if (page.relativeFilePath) {
        return *page.relativeFilePath;
    }
    return page.fileSlug ? std::string_view(*page.fileSlug) : std::string_view();
}

bool namePrecedes(std::string_view a, std::string_view b) {
    while (!a.empty() && !b.empty()) {
        if (isDigit(a.front()) && isDigit(b.front())) {
            if (int order = compareNumbers(takeNumber(a), takeNumber(b)); order != 0) {
                return order < 0;
            }
            continue;
        }
        const char left = lowered(a.front());
        const char right = lowered(b.front());
        if (left != right) {
            return static_cast<unsigned char>(left) < static_cast<unsigned char>(right);
        }
        a.remove_prefix(1);
        b.remove_prefix(1);
    }
    return a.empty() && !b.empty();
}

} // namespace velto::PageNameOrder
