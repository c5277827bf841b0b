#include "editor/TextCleaner.h"

namespace velto::editor::TextCleaner {

namespace {

/// The characters before which a multi-line "$" matches: LF, VT, FF, CR, NEL, U+2028 and U+2029.
bool endsLine(char16_t unit) {
    return (unit >= 0x0A && unit <= 0x0D) || unit == 0x0085 || unit == 0x2028 || unit == 0x2029;
}

std::u16string unifyingLineEndsAndSpaces(std::u16string_view text) {
    std::u16string result;
    result.reserve(text.size());
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char16_t unit = text[index];
        if (unit == u'\r') {
            result += u'\n';
            if (index + 1 < text.size() && text[index + 1] == u'\n') {
                ++index;
            }
        } else if (unit == 0x00A0) {
            result += u' ';
        } else {
            result += unit;
        }
    }
    return result;
}

/// Spaces and tabs are held back until the next character shows whether they end a line.
std::u16string droppingTrailingBlanks(std::u16string_view text) {
    std::u16string result;
    result.reserve(text.size());
    std::size_t blanksStart = 0;
    std::size_t blanks = 0;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char16_t unit = text[index];
        if (unit == u' ' || unit == u'\t') {
            if (blanks == 0) {
                blanksStart = index;
            }
            ++blanks;
            continue;
        }
        if (blanks > 0 && !endsLine(unit)) {
            result += text.substr(blanksStart, blanks);
        }
        blanks = 0;
        result += unit;
    }
    return result;
}

std::u16string collapsingEmptyLines(std::u16string_view text) {
    std::u16string result;
    result.reserve(text.size());
    std::size_t lineFeeds = 0;
    for (char16_t unit : text) {
        lineFeeds = unit == u'\n' ? lineFeeds + 1 : 0;
        if (lineFeeds <= 2) {
            result += unit;
        }
    }
    return result;
}

} // namespace

std::u16string clean(std::u16string_view text) {
    return collapsingEmptyLines(droppingTrailingBlanks(unifyingLineEndsAndSpaces(text)));
}

} // namespace velto::editor::TextCleaner
