#include "editor/rules/TextCleaner.h"

namespace velto::editor::TextCleaner {

namespace {

/// The characters before which a multi-line "$" matches: LF, VT, FF, CR, NEL, U+2028 and U+2029.
bool endsLine(char16_t unit) {
    return (unit >= 0x0A && unit <= 0x0D) || unit == 0x0085 || unit == 0x2028 || unit == 0x2029;
}

} // namespace

std::u16string clean(std::u16string_view text) {
    // The cleaned text is never longer, so it is written in place into a buffer of the input's size.
    std::u16string cleaned(text.size(), u'\0');
    char16_t *output = cleaned.data();
    std::size_t length = 0;
    std::size_t blanksStart = std::u16string::npos; // where the spaces and tabs written last begin
    std::size_t lineFeeds = 0;                      // line feeds written in a row
    for (std::size_t index = 0; index < text.size(); ++index) {
        char16_t unit = text[index];
        if (unit == u'\r') {
            unit = u'\n';
            if (index + 1 < text.size() && text[index + 1] == u'\n') {
                ++index;
            }
        } else if (unit == 0x00A0) {
            unit = u' ';
        }
        if (unit == u' ' || unit == u'\t') {
            if (blanksStart == std::u16string::npos) {
                blanksStart = length;
            }
            output[length++] = unit;
            continue;
        }
        if (blanksStart != std::u16string::npos && endsLine(unit)) {
            length = blanksStart; // blanks at the end of a line go
        }
        blanksStart = std::u16string::npos;
        lineFeeds = unit == u'\n' ? lineFeeds + 1 : 0;
        if (lineFeeds <= 2) {
            output[length++] = unit;
        }
    }
    if (blanksStart != std::u16string::npos) {
        length = blanksStart; // and so do blanks at the end of the text
    }
    cleaned.resize(length);
    return cleaned;
}

} // namespace velto::editor::TextCleaner
