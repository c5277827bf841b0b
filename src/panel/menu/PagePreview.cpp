#include "panel/menu/PagePreview.h"

#include "platform/Text.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace velto::PagePreview {
namespace {

struct CodePoint {
    char32_t value = 0;
    std::size_t length = 0; // bytes
};

CodePoint codePointAt(std::string_view text, std::size_t offset) {
    auto byte = static_cast<unsigned char>(text[offset]);
    if (byte < 0x80) {
        return {byte, 1};
    }
    int32_t index = static_cast<int32_t>(offset);
    UChar32 c = 0;
    U8_NEXT(reinterpret_cast<const uint8_t *>(text.data()), index, static_cast<int32_t>(text.size()), c);
    if (c < 0) {
        c = 0xFFFD;
    }
    return {static_cast<char32_t>(c), static_cast<std::size_t>(index) - offset};
}

// The line breaks of a page: LF, VT, FF, CR, NEL, LINE SEPARATOR and PARAGRAPH SEPARATOR. A CR LF pair
// yields an empty line between its two breaks, which the walk skips.
bool isLineBreak(char32_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// "\s" of a line: the tab and the space separators.
bool isBlank(char32_t c) {
    return text::isWhitespace(c);
}

std::size_t skipBlanks(std::string_view line, std::size_t offset) {
    while (offset < line.size()) {
        CodePoint c = codePointAt(line, offset);
        if (!isBlank(c.value)) {
            break;
        }
        offset += c.length;
    }
    return offset;
}

// The offset after one or more blanks at `offset`; nothing when there is no blank there.
std::optional<std::size_t> requiredBlanks(std::string_view line, std::size_t offset) {
    std::size_t end = skipBlanks(line, offset);
    if (end == offset) {
        return std::nullopt;
    }
    return end;
}

bool isDecimalDigit(char32_t c) {
    if (c < 0x80) {
        return c >= '0' && c <= '9';
    }
    return u_charType(static_cast<UChar32>(c)) == U_DECIMAL_DIGIT_NUMBER;
}

std::optional<std::size_t> headingMarkerEnd(std::string_view line, std::size_t offset) {
    std::size_t hashes = 0;
    while (offset + hashes < line.size() && line[offset + hashes] == '#') {
        hashes += 1;
    }
    if (hashes == 0 || hashes > 6) {
        return std::nullopt;
    }
    return requiredBlanks(line, offset + hashes);
}

std::optional<std::size_t> quoteMarkerEnd(std::string_view line, std::size_t offset) {
    if (offset >= line.size() || line[offset] != '>') {
        return std::nullopt;
    }
    return requiredBlanks(line, offset + 1);
}

std::optional<std::size_t> bulletMarkerEnd(std::string_view line, std::size_t offset) {
    if (offset >= line.size() || (line[offset] != '-' && line[offset] != '*' && line[offset] != '+')) {
        return std::nullopt;
    }
    std::optional<std::size_t> end = requiredBlanks(line, offset + 1);
    if (!end) {
        return std::nullopt;
    }
    // An optional task box, taken only when blanks follow it.
    std::string_view rest = line.substr(*end);
    if (rest.size() >= 3 && rest[0] == '[' && (rest[1] == ' ' || rest[1] == 'x' || rest[1] == 'X') && rest[2] == ']') {
        if (std::optional<std::size_t> afterBox = requiredBlanks(line, *end + 3)) {
            return afterBox;
        }
    }
    return end;
}

std::optional<std::size_t> orderedMarkerEnd(std::string_view line, std::size_t offset) {
    std::size_t end = offset;
    while (end < line.size()) {
        CodePoint c = codePointAt(line, end);
        if (!isDecimalDigit(c.value)) {
            break;
        }
        end += c.length;
    }
    if (end == offset || end >= line.size() || (line[end] != '.' && line[end] != ')')) {
        return std::nullopt;
    }
    return requiredBlanks(line, end + 1);
}

std::string_view trimmedBlanks(std::string_view line) {
    std::size_t start = skipBlanks(line, 0);
    std::size_t end = line.size();
    // Walk back over trailing blanks: find the last non-blank code point by a forward scan of the rest.
    std::size_t lastContentEnd = start;
    std::size_t offset = start;
    while (offset < end) {
        CodePoint c = codePointAt(line, offset);
        offset += c.length;
        if (!isBlank(c.value)) {
            lastContentEnd = offset;
        }
    }
    return line.substr(start, lastContentEnd - start);
}

struct Collapsed {
    std::string text;
    bool truncated = false; // stopped at the byte budget with text left over
};

// The pieces between white space joined with single blanks, gathered up to `byteBudget` bytes.
Collapsed collapsedWhitespace(std::string_view text, std::size_t byteBudget) {
    Collapsed result;
    bool pendingBlank = false;
    std::size_t offset = 0;
    while (offset < text.size() && result.text.size() <= byteBudget) {
        CodePoint c = codePointAt(text, offset);
        if (text::isWhitespaceOrNewline(c.value)) {
            pendingBlank = !result.text.empty();
        } else {
            if (pendingBlank) {
                result.text += ' ';
                pendingBlank = false;
            }
            result.text.append(text.substr(offset, c.length));
        }
        offset += c.length;
    }
    // The line's trailing blanks were trimmed, so whatever is left holds text.
    result.truncated = offset < text.size();
    return result;
}

// A title longer than its limit is cut; only so many bytes of a line are gathered before cutting (64 per
// character is generous even for characters of many code points), so a 5 MB line is never copied whole.
constexpr std::size_t bytesPerCharacterCap = 64;

std::optional<std::string> titleOfLine(std::string_view rawLine, std::optional<std::size_t> maximumLength) {
    std::string_view line = trimmedBlanks(rawLine);
    if (line.empty() || isThematicBreak(line)) {
        return std::nullopt;
    }
    line.remove_prefix(blockMarkerLength(line));
    std::size_t byteBudget = maximumLength ? (*maximumLength + 1) * bytesPerCharacterCap : line.size();
    Collapsed collapsed = collapsedWhitespace(line, byteBudget);
    if (collapsed.text.empty()) {
        return std::nullopt;
    }
    if (!maximumLength) {
        return std::move(collapsed.text);
    }
    std::string prefix = text::graphemePrefix(collapsed.text, *maximumLength);
    if (prefix.size() == collapsed.text.size() && !collapsed.truncated) {
        return std::move(collapsed.text);
    }
    return prefix + "\u2026";
}

} // namespace

bool isThematicBreak(std::string_view line) {
    std::size_t markers = 0;
    std::size_t offset = 0;
    while (offset < line.size()) {
        CodePoint c = codePointAt(line, offset);
        if (c.value == '-' || c.value == '*' || c.value == '_') {
            markers += 1;
        } else if (!isBlank(c.value)) {
            return false;
        }
        offset += c.length;
    }
    return markers >= 3;
}

std::size_t blockMarkerLength(std::string_view line) {
    std::size_t start = skipBlanks(line, 0);
    for (auto markerEnd : {headingMarkerEnd, quoteMarkerEnd, bulletMarkerEnd, orderedMarkerEnd}) {
        if (std::optional<std::size_t> end = markerEnd(line, start)) {
            return *end;
        }
    }
    return 0;
}

std::string title(std::string_view text, std::optional<std::size_t> maximumLength) {
    std::size_t lineStart = 0;
    std::size_t offset = 0;
    while (offset <= text.size()) {
        CodePoint c = offset < text.size() ? codePointAt(text, offset) : CodePoint{0x0A, 1};
        if (isLineBreak(c.value)) {
            if (std::optional<std::string> found =
                    titleOfLine(text.substr(lineStart, offset - lineStart), maximumLength)) {
                return *found;
            }
            lineStart = offset + c.length;
        }
        offset += c.length;
    }
    return std::string(untitledPage);
}

} // namespace velto::PagePreview
