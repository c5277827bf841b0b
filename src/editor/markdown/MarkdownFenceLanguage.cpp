#include "editor/markdown/MarkdownStyler.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace velto::editor::MarkdownStyler {

std::u16string unescapingASCIIPunctuation(std::u16string_view text) {
    const auto isASCIIPunctuation = [](char16_t unit) {
        return (unit >= 33 && unit <= 47) || (unit >= 58 && unit <= 64) || (unit >= 91 && unit <= 96) ||
               (unit >= 123 && unit <= 126);
    };
    std::u16string result;
    result.reserve(text.size());
    for (std::size_t position = 0; position < text.size(); ++position) {
        if (text[position] == u'\\' && position + 1 < text.size() && isASCIIPunctuation(text[position + 1])) {
            result += text[position + 1];
            ++position;
        } else {
            result += text[position];
        }
    }
    return result;
}

bool isStyledAsCode(const FencedCodeBlock &block, const TextStorage &storage) {
    const TextRange opening = block.opening.lineRange;
    if (opening.length == 0 || opening.end() > storage.length()) {
        return false;
    }
    const char16_t last = storage.characterAt(opening.end() - 1);
    return last == u'\n' || last == u'\r';
}

std::string fencedLanguage(std::u16string_view infoString) {
    std::size_t start = 0;
    while (start < infoString.size() && (infoString[start] == u' ' || infoString[start] == u'\t')) {
        ++start;
    }
    std::size_t end = start;
    while (end < infoString.size() && infoString[end] != u' ' && infoString[end] != u'\t') {
        ++end;
    }
    const std::u16string word = unescapingASCIIPunctuation(infoString.substr(start, end - start));
    icu::UnicodeString lowered(word.data(), static_cast<int32_t>(word.size()));
    lowered.toLower(icu::Locale::getRoot());
    std::string utf8;
    lowered.toUTF8String(utf8);
    return utf8;
}

} // namespace velto::editor::MarkdownStyler
