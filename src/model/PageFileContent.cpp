#include "model/PageFileContent.h"

#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <vector>

namespace velto {

namespace {

using Lines = std::vector<std::string>;

constexpr std::string_view namespaceKey = "velto";
constexpr std::array<std::string_view, 3> metadataKeys = {"id", "archived", "conflict-of"};
constexpr std::array<std::string_view, 2> flatKeys = {"velto-id", "velto-conflict-of"};

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

bool sameKey(std::optional<std::string_view> key, std::string_view expected) {
    return key && text::canonicallyEqual(*key, expected);
}

// ---- The line vocabulary ----------------------------------------------------------------------------------

Lines linesOf(std::string_view frontMatter) {
    Lines lines;
    for (std::string_view line : text::splitKeepingEmpty(frontMatter, "\n")) {
        lines.emplace_back(line);
    }
    return lines;
}

/// The text before the first ":", trimmed, without one pair of enclosing quotes: `  "id": x` has the key "id".
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

/// The text after the first ":", untrimmed; empty without ":".
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

/// Leading " " only: a tab ends the count, and a space that carries a combining mark is not a space.
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

/// One past the last line of the block under the top-level line at `start`: the block runs up to the next
/// non-indented line with a key, so list items and plain text under a key stay inside it.
std::size_t endOfTopLevelBlock(std::size_t start, const Lines &lines) {
    for (std::size_t index = start + 1; index < lines.size(); ++index) {
        if (isTopLevelWithKey(lines[index])) {
            return index;
        }
    }
    return lines.size();
}

/// The smallest indentation of at least 1 among the non-blank lines of [begin, end); 2 when there is none.
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

/// Whether the line at `start` opens a mapping the program may read and write: no scalar or flow value, and no
/// direct child that is a list item or lacks a key.
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

// ---- Readers ----------------------------------------------------------------------------------------------

/// The values of the "velto" mapping's direct children with the given key; none unless the front matter has
/// exactly one "velto" line and it is a compatible mapping.
std::vector<std::string> veltoValues(const std::optional<std::string> &frontMatter, std::string_view wantedKey) {
    if (!frontMatter) {
        return {};
    }
    Lines lines = linesOf(*frontMatter);
    std::vector<std::size_t> veltoLines = topLevelLineIndices(lines, namespaceKey);
    if (veltoLines.size() != 1 || !isCompatibleNamespaceMapping(veltoLines.front(), lines)) {
        return {};
    }
    std::size_t start = veltoLines.front();
    std::size_t end = endOfTopLevelBlock(start, lines);
    std::size_t childIndentation = directChildIndentation(lines, start + 1, end);
    std::vector<std::string> values;
    for (std::size_t index = start + 1; index < end; ++index) {
        if (indentationWidth(lines[index]) == childIndentation && sameKey(key(lines[index]), wantedKey)) {
            values.emplace_back(value(lines[index]));
        }
    }
    return values;
}

std::vector<std::string> topLevelValues(const std::optional<std::string> &frontMatter, std::string_view wantedKey) {
    std::vector<std::string> values;
    if (!frontMatter) {
        return values;
    }
    Lines lines = linesOf(*frontMatter);
    for (std::size_t index : topLevelLineIndices(lines, wantedKey)) {
        values.emplace_back(value(lines[index]));
    }
    return values;
}

/// The mapping's child, else the older flat key; exactly one value that is a plain UUID, or nothing.
std::optional<Uuid> identifier(const std::optional<std::string> &frontMatter, std::string_view childKey,
                               std::string_view flatKey) {
    std::vector<std::string> values = veltoValues(frontMatter, childKey);
    if (values.empty()) {
        values = topLevelValues(frontMatter, flatKey);
    }
    if (values.size() != 1) {
        return std::nullopt;
    }
    return Uuid::parse(text::trimmingWhitespaceAndNewlines(values.front()));
}

/// "true  # archived by hand" → "true": a "#" after white space starts a comment; "true#x" stays as it is.
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

// ---- Rewriting --------------------------------------------------------------------------------------------

bool isFlatKeyLine(std::string_view line) {
    std::optional<std::string_view> lineKey = topLevelKey(line);
    return std::any_of(flatKeys.begin(), flatKeys.end(), [&](std::string_view flat) { return sameKey(lineKey, flat); });
}

bool isMetadataKey(std::optional<std::string_view> lineKey) {
    return std::any_of(metadataKeys.begin(), metadataKeys.end(),
                       [&](std::string_view metadata) { return sameKey(lineKey, metadata); });
}

/// The metadata lines in their fixed order, each indented by `indentation` spaces.
Lines metadataLines(std::size_t indentation, std::optional<Uuid> pageID, bool archived,
                    std::optional<Uuid> conflictOriginalPageID) {
    std::string indent(indentation, ' ');
    Lines children;
    if (pageID) {
        children.push_back(indent + "id: " + pageID->lowercaseText());
    }
    if (archived) {
        children.push_back(indent + "archived: true");
    }
    if (conflictOriginalPageID) {
        children.push_back(indent + "conflict-of: " + conflictOriginalPageID->lowercaseText());
    }
    return children;
}

// ---- The file text ---------------------------------------------------------------------------------------

/// Every "\r\n" replaced by "\n" in one pass from left to right; a lone "\r" stays.
std::string withLineFeeds(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t found = text.find("\r\n"); found != std::string_view::npos; found = text.find("\r\n", start)) {
        result.append(text.substr(start, found - start));
        result += '\n';
        start = found + 2;
    }
    result.append(text.substr(start));
    return result;
}

/// Where a front-matter block lies in a normalised text, as byte offsets.
struct FrontMatterBlock {
    std::size_t frontMatterStart = 0;
    std::size_t frontMatterLength = 0;
    std::size_t bodyStart = 0;
};

/// The block opened by a first line that is exactly "---" and closed by the first later line that is exactly
/// "---" or "..."; nothing without both.
std::optional<FrontMatterBlock> frontMatterBlock(std::string_view text) {
    constexpr std::string_view opening = "---\n";
    if (!text.starts_with(opening)) {
        return std::nullopt;
    }
    for (std::size_t lineStart = opening.size();;) {
        std::size_t lineEnd = text.find('\n', lineStart);
        std::string_view line =
            text.substr(lineStart, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - lineStart);
        if (line == "---" || line == "...") {
            // The lines strictly between the markers; none when the closing line follows the opening one.
            std::size_t length = lineStart == opening.size() ? 0 : lineStart - 1 - opening.size();
            std::size_t bodyStart = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
            return FrontMatterBlock{opening.size(), length, bodyStart};
        }
        if (lineEnd == std::string_view::npos) {
            return std::nullopt;
        }
        lineStart = lineEnd + 1;
    }
}

/// Appends the text with every "\n" written as `lineEnding`.
void appendWithLineEnding(std::string &result, std::string_view text, std::string_view lineEnding) {
    if (lineEnding == "\n") {
        result.append(text);
        return;
    }
    std::size_t start = 0;
    for (std::size_t found = text.find('\n'); found != std::string_view::npos; found = text.find('\n', start)) {
        result.append(text.substr(start, found - start));
        result.append(lineEnding);
        start = found + 1;
    }
    result.append(text.substr(start));
}

} // namespace

VeltoPageFileContent VeltoPageFileContent::parse(std::string_view text) {
    VeltoPageFileContent content;
    bool hasCRLF = text.find("\r\n") != std::string_view::npos;
    content.lineEnding = hasCRLF ? "\r\n" : "\n";

    // Pages run to megabytes: copy the text once, into the body, and only then cut the block off its front.
    content.body = hasCRLF ? withLineFeeds(text) : std::string(text);
    std::optional<FrontMatterBlock> block = frontMatterBlock(content.body);
    if (block) {
        content.frontMatter = content.body.substr(block->frontMatterStart, block->frontMatterLength);
        content.body.erase(0, block->bodyStart);
    }
    return content;
}

std::string VeltoPageFileContent::fileContents() const {
    std::size_t size = body.size() + (frontMatter ? frontMatter->size() + 8 : 0);
    if (lineEnding != "\n") {
        std::size_t lineBreaks = std::count(body.begin(), body.end(), '\n');
        if (frontMatter) {
            lineBreaks += 3 + std::count(frontMatter->begin(), frontMatter->end(), '\n');
        }
        size += lineBreaks * (lineEnding.size() - 1);
    }
    std::string text;
    text.reserve(size);
    if (frontMatter) {
        appendWithLineEnding(text, "---\n", lineEnding);
        appendWithLineEnding(text, *frontMatter, lineEnding);
        appendWithLineEnding(text, "\n---\n", lineEnding);
    }
    appendWithLineEnding(text, body, lineEnding);
    return text;
}

std::optional<Uuid> VeltoPageFileContent::veltoPageID() const {
    return identifier(frontMatter, "id", "velto-id");
}

std::optional<Uuid> VeltoPageFileContent::conflictOriginalPageID() const {
    return identifier(frontMatter, "conflict-of", "velto-conflict-of");
}

bool VeltoPageFileContent::isArchived() const {
    std::vector<std::string> values = veltoValues(frontMatter, "archived");
    if (values.size() != 1) {
        return false;
    }
    std::string_view flag = withoutInlineComment(text::trimmingWhitespaceAndNewlines(values.front()));
    return text::canonicallyEqual(text::lowercased(flag), "true");
}

void VeltoPageFileContent::writeVeltoMetadata(std::optional<Uuid> pageID, bool archived,
                                              std::optional<Uuid> conflictOriginalPageID) {
    Lines lines = frontMatter && !frontMatter->empty() ? linesOf(*frontMatter) : Lines();

    // A "velto" key the program cannot read as its own mapping belongs to the user: leave everything alone.
    std::vector<std::size_t> veltoLines = topLevelLineIndices(lines, namespaceKey);
    if (veltoLines.size() >= 2) {
        return;
    }
    if (veltoLines.size() == 1) {
        std::size_t start = veltoLines.front();
        if (!isCompatibleNamespaceMapping(start, lines)) {
            return;
        }
        if (text::trimmingSpacesAndTabs(value(lines[start])) == "{}") {
            lines[start] = "velto:";
        }
    }

    std::erase_if(lines, [](const std::string &line) { return isFlatKeyLine(line); });

    std::vector<std::size_t> remaining = topLevelLineIndices(lines, namespaceKey);
    std::size_t start = remaining.empty() ? lines.size() : remaining.front();
    if (remaining.empty()) {
        lines.emplace_back("velto:");
    }

    // Measured after the flat keys went, so a block that holds only old metadata keeps its indentation.
    std::size_t end = endOfTopLevelBlock(start, lines);
    std::size_t childIndentation = directChildIndentation(lines, start + 1, end);
    for (std::size_t index = end; index > start + 1; --index) {
        const std::string &line = lines[index - 1];
        if (indentationWidth(line) == childIndentation && isMetadataKey(key(line))) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(index - 1));
        }
    }

    Lines children = metadataLines(childIndentation, pageID, archived, conflictOriginalPageID);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(start + 1), children.begin(), children.end());

    bool blockIsEmpty = start + 1 == lines.size() || isTopLevelWithKey(lines[start + 1]);
    if (blockIsEmpty) {
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(start));
    }

    frontMatter = lines.empty() ? std::nullopt : std::optional<std::string>(text::join(lines, "\n"));
}

bool operator==(const VeltoPageFileContent &a, const VeltoPageFileContent &b) {
    bool sameFrontMatter = a.frontMatter.has_value() == b.frontMatter.has_value() &&
                           (!a.frontMatter || text::canonicallyEqual(*a.frontMatter, *b.frontMatter));
    return sameFrontMatter && text::canonicallyEqual(a.body, b.body) && a.lineEnding == b.lineEnding;
}

} // namespace velto
