#include "model/FrontMatterLines.h"

#include "platform/Text.h"

namespace velto::frontmatter {

namespace {

// ---- Characters -------------------------------------------------------------------------------------------
//
// A reader counts characters as grapheme clusters: ":" followed by a combining accent is one accented
// character, not a colon. An ASCII byte between ASCII neighbours always stands alone (apart from "\r\n"); only
// a non-ASCII neighbour (a combining mark, a prepended sign) can join it, so ICU is asked only then.

std::size_t startOfCodePointBefore(std::string_view text, std::size_t offset) {
    std::size_t start = offset - 1;
    while (start > 0 && offset - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
        --start;
    }
    return start;
}

std::size_t endOfCodePointAt(std::string_view text, std::size_t offset) {
    std::size_t end = offset + 1;
    while (end < text.size() && end - offset < 4 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        ++end;
    }
    return end;
}

bool isCharacterBoundary(std::string_view text, std::size_t offset) {
    if (offset == 0 || offset >= text.size()) {
        return true;
    }
    auto before = static_cast<unsigned char>(text[offset - 1]);
    auto after = static_cast<unsigned char>(text[offset]);
    if (before < 0x80 && after < 0x80) {
        return !(before == '\r' && after == '\n');
    }
    std::size_t start = startOfCodePointBefore(text, offset);
    std::size_t end = endOfCodePointAt(text, offset);
    return text::graphemeCount(text.substr(start, end - start)) != 1;
}

/// Whether the character at `offset` is exactly the ASCII character `c` (not joined with a neighbour).
bool isCharacterAt(std::string_view text, std::size_t offset, char c) {
    return offset < text.size() && text[offset] == c && isCharacterBoundary(text, offset) &&
           isCharacterBoundary(text, offset + 1);
}

bool beginsWithCharacter(std::string_view text, char c) {
    return isCharacterAt(text, 0, c);
}

/// The offset of the first character that is exactly `c`; npos when there is none.
std::size_t firstCharacter(std::string_view text, char c) {
    for (std::size_t offset = text.find(c); offset != std::string_view::npos; offset = text.find(c, offset + 1)) {
        if (isCharacterAt(text, offset, c)) {
            return offset;
        }
    }
    return std::string_view::npos;
}

/// Where the character that ends at `offset` begins.
std::size_t startOfCharacterBefore(std::string_view text, std::size_t offset) {
    std::size_t start = startOfCodePointBefore(text, offset);
    while (start > 0 && !isCharacterBoundary(text, start)) {
        start = startOfCodePointBefore(text, start);
    }
    return start;
}

/// A character is white space when its first code point is (so a space carrying an accent still is).
bool beginsWithWhitespace(std::string_view text) {
    return !text.empty() && text::isWhitespaceOrNewline(text::firstCodePoint(text));
}

} // namespace

// ---- The line vocabulary ----------------------------------------------------------------------------------

bool sameKey(std::optional<std::string_view> key, std::string_view expected) {
    return key && text::canonicallyEqual(*key, expected);
}

Lines linesOf(std::string_view frontMatter) {
    Lines lines;
    for (std::string_view line : text::splitKeepingEmpty(frontMatter, "\n")) {
        lines.emplace_back(line);
    }
    return lines;
}

std::optional<std::string_view> key(std::string_view line) {
    std::size_t colon = firstCharacter(line, ':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view key = text::trimmingWhitespaceAndNewlines(line.substr(0, colon));
    if (key.size() >= 2) {
        char quote = key.front();
        bool quoted = (quote == '"' || quote == '\'') && isCharacterAt(key, 0, quote) &&
                      isCharacterAt(key, key.size() - 1, quote);
        if (quoted) {
            key = key.substr(1, key.size() - 2);
        }
    }
    return key;
}

std::string_view value(std::string_view line) {
    std::size_t colon = firstCharacter(line, ':');
    return colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
}

bool isTopLevel(std::string_view line) {
    return !line.empty() && !beginsWithWhitespace(line);
}

std::optional<std::string_view> topLevelKey(std::string_view line) {
    return isTopLevel(line) ? key(line) : std::nullopt;
}

bool isTopLevelWithKey(std::string_view line) {
    return isTopLevel(line) && key(line).has_value();
}

// A space that carries a combining mark is an accented character, not a space.
std::size_t indentationWidth(std::string_view line) {
    std::size_t width = 0;
    while (width < line.size() && line[width] == ' ') {
        ++width;
    }
    if (width > 0 && !isCharacterBoundary(line, width)) {
        --width;
    }
    return width;
}

bool isBlank(std::string_view line) {
    return text::trimmingSpacesAndTabs(line).empty();
}

std::size_t endOfTopLevelBlock(std::size_t start, const Lines &lines) {
    for (std::size_t index = start + 1; index < lines.size(); ++index) {
        if (isTopLevelWithKey(lines[index])) {
            return index;
        }
    }
    return lines.size();
}

std::size_t directChildIndentation(const Lines &lines, std::size_t begin, std::size_t end) {
    std::optional<std::size_t> smallest;
    for (std::size_t index = begin; index < end; ++index) {
        if (isBlank(lines[index])) {
            continue;
        }
        std::size_t width = indentationWidth(lines[index]);
        if (width >= 1 && (!smallest || width < *smallest)) {
            smallest = width;
        }
    }
    return smallest.value_or(2);
}

bool isCompatibleNamespaceMapping(std::size_t start, const Lines &lines) {
    std::string_view inlineValue = text::trimmingSpacesAndTabs(value(lines[start]));
    if (!inlineValue.empty() && inlineValue != "{}" && !beginsWithCharacter(inlineValue, '#')) {
        return false;
    }
    std::size_t end = endOfTopLevelBlock(start, lines);
    std::size_t childIndentation = directChildIndentation(lines, start + 1, end);
    for (std::size_t index = start + 1; index < end; ++index) {
        std::string_view line = lines[index];
        std::string_view trimmed = text::trimmingSpacesAndTabs(line);
        if (trimmed.empty() || beginsWithCharacter(trimmed, '#') || indentationWidth(line) != childIndentation) {
            continue;
        }
        if (beginsWithCharacter(trimmed, '-') || !key(line)) {
            return false;
        }
    }
    return true;
}

std::vector<std::size_t> topLevelLineIndices(const Lines &lines, std::string_view wantedKey) {
    std::vector<std::size_t> indices;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        if (sameKey(topLevelKey(lines[index]), wantedKey)) {
            indices.push_back(index);
        }
    }
    return indices;
}

std::string_view withoutInlineComment(std::string_view value) {
    std::size_t hash = firstCharacter(value, '#');
    if (hash == std::string_view::npos || hash == 0) {
        return value;
    }
    if (!beginsWithWhitespace(value.substr(startOfCharacterBefore(value, hash)))) {
        return value;
    }
    return text::trimmingWhitespaceAndNewlines(value.substr(0, hash));
}

} // namespace velto::frontmatter
