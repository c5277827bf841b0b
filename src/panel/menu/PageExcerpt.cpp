#include "panel/menu/PageExcerpt.h"

#include "platform/Text.h"

namespace velto::PageExcerpt {

std::string excerpt(std::string_view text) {
    std::size_t end = 0;
    std::size_t lineBreaks = 0;
    // A character takes at most a few dozen bytes; looking further than this is never needed.
    const std::size_t byteWindow = maximumCharacters * 64;
    while (end < text.size() && end < byteWindow) {
        if (text[end] == '\n' && ++lineBreaks == maximumLines) {
            break;
        }
        end += 1;
    }
    std::string opening = text::graphemePrefix(text.substr(0, end), maximumCharacters);
    if (opening.size() == text.size()) {
        return opening;
    }
    return opening + "\u2026";
}

} // namespace velto::PageExcerpt
