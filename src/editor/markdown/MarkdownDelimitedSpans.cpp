#include "editor/markdown/MarkdownDelimitedSpans.h"

#include "editor/text/StringRanges.h"

namespace velto::editor {

namespace {

constexpr std::size_t none = TextRange::notFound;

bool isDelimiterAt(std::u16string_view text, std::size_t position, char16_t delimiter) {
    return position < text.size() && text[position] == delimiter;
}

/// Whether the span's delimiters lie at the position, wholly before the limit.
bool delimitersAt(const DelimitedSpanPattern &span, std::u16string_view text, std::size_t position, std::size_t limit) {
    if (position + span.width > limit) {
        return false;
    }
    for (std::size_t k = 0; k < span.width; ++k) {
        if (text[position + k] != span.delimiter) {
            return false;
        }
    }
    return true;
}

/// The end of the span opening at `start`, or none when no span opens there. The limit is the end
/// of the searched range; look-behind and look-ahead read the whole text.
std::size_t spanEndFrom(const DelimitedSpanPattern &span, std::u16string_view text, std::size_t start,
                        std::size_t limit) {
    const bool lone = span.width == 1;
    if (!delimitersAt(span, text, start, limit) || (lone && start > 0 && text[start - 1] == span.delimiter)) {
        return none;
    }
    const std::size_t contentStart = start + span.width;
    const std::size_t contentEnd = findEitherUnit(text.substr(0, limit), contentStart, span.delimiter, u'\n');
    if (contentEnd == contentStart || !delimitersAt(span, text, contentEnd, limit)) {
        return none;
    }
    if (lone && isDelimiterAt(text, contentEnd + 1, span.delimiter)) {
        return none;
    }
    return contentEnd + span.width;
}

} // namespace

void enumerateDelimitedSpans(const DelimitedSpanPattern &span, std::u16string_view text,
                             const std::vector<TextRange> &ranges,
                             const std::function<void(const RegexMatch &)> &handler) {
    RegexMatch match;
    match.groups.resize(2);
    for (const TextRange range : ranges) {
        const std::u16string_view searched = text.substr(0, range.end());
        std::size_t position = range.location;
        while (true) {
            const std::size_t start = findUnit(searched, position, span.delimiter);
            if (start >= searched.size()) {
                break;
            }
            const std::size_t end = spanEndFrom(span, text, start, searched.size());
            if (end == none) {
                position = start + 1;
                continue;
            }
            match.groups[0] = rangeBetween(start, end);
            match.groups[1] = rangeBetween(start + span.width, end - span.width);
            handler(match);
            position = end;
        }
    }
}

} // namespace velto::editor
