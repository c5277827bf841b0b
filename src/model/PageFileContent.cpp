#include "model/PageFileContent.h"

#include "model/FrontMatterLines.h"
#include "model/ReusedTextBuffer.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <vector>

namespace velto {

using namespace frontmatter;

namespace {

constexpr std::string_view namespaceKey = "velto";
constexpr std::array<std::string_view, 3> metadataKeys = {"id", "archived", "conflict-of"};
constexpr std::array<std::string_view, 2> flatKeys = {"velto-id", "velto-conflict-of"};

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

/// U+FEFF in UTF-8: what some editors put before the first line of a file.
constexpr std::string_view byteOrderMarkBytes = "\xEF\xBB\xBF";

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
    content.byteOrderMark = text.starts_with(byteOrderMarkBytes);
    if (content.byteOrderMark) {
        text.remove_prefix(byteOrderMarkBytes.size());
    }
    bool hasCRLF = text.find("\r\n") != std::string_view::npos;
    content.lineEnding = hasCRLF ? "\r\n" : "\n";

    // Pages run to megabytes: the body is copied once, never moved within its string.
    std::string normalised = hasCRLF ? withLineFeeds(text) : std::string();
    std::string_view lines = hasCRLF ? std::string_view(normalised) : text;
    std::optional<FrontMatterBlock> block = frontMatterBlock(lines);
    if (block) {
        content.frontMatter = std::string(lines.substr(block->frontMatterStart, block->frontMatterLength));
        content.body = std::string(lines.substr(block->bodyStart));
    } else {
        content.body = hasCRLF ? std::move(normalised) : std::string(text);
    }
    return content;
}

VeltoPageFileContent VeltoPageFileContent::parseKeeping(std::shared_ptr<const std::string> text) {
    if (text->find("\r\n") != std::string::npos) {
        return parse(*text); // the body is normalised: it is not the end of the file's text
    }
    VeltoPageFileContent content;
    content.byteOrderMark = text->starts_with(byteOrderMarkBytes);
    const std::size_t textStart = content.byteOrderMark ? byteOrderMarkBytes.size() : 0;
    std::size_t bodyStart = textStart;
    if (std::optional<FrontMatterBlock> block = frontMatterBlock(std::string_view(*text).substr(textStart))) {
        content.frontMatter = text->substr(textStart + block->frontMatterStart, block->frontMatterLength);
        bodyStart = textStart + block->bodyStart;
    }
    content.body = CopyOnWriteText::endOf(std::move(text), bodyStart);
    return content;
}

std::shared_ptr<const std::string> VeltoPageFileContent::unchangedFileText() const {
    const std::shared_ptr<const std::string> &whole = body.fileText();
    if (whole == nullptr || lineEnding != "\n") {
        return nullptr;
    }
    // The body is the end of the text as read; what comes before it must be the block the front matter makes
    // now: a block closed by "..." is written with "---", and a rewritten front matter is another block.
    const VeltoPageFileContent front{frontMatter, {}, "\n", byteOrderMark};
    std::string_view before = std::string_view(*whole).substr(0, body.startInFileText());
    return before == front.fileContents() ? whole : nullptr;
}

std::size_t VeltoPageFileContent::fileContentsSize() const {
    // "---\n", the front matter, "\n---\n" and the body, each "\n" written as the line ending.
    std::size_t size =
        body.size() + (frontMatter ? frontMatter->size() + 9 : 0) + (byteOrderMark ? byteOrderMarkBytes.size() : 0);
    if (lineEnding != "\n") {
        std::string_view bodyText = body.text();
        std::size_t lineBreaks = std::count(bodyText.begin(), bodyText.end(), '\n');
        if (frontMatter) {
            lineBreaks += 3 + std::count(frontMatter->begin(), frontMatter->end(), '\n');
        }
        size += lineBreaks * (lineEnding.size() - 1);
    }
    return size;
}

std::string VeltoPageFileContent::fileContents(std::size_t spareBytes) const {
    std::string text;
    text.reserve(fileContentsSize() + spareBytes);
    if (byteOrderMark) {
        text.append(byteOrderMarkBytes);
    }
    if (frontMatter) {
        appendWithLineEnding(text, "---\n", lineEnding);
        appendWithLineEnding(text, *frontMatter, lineEnding);
        appendWithLineEnding(text, "\n---\n", lineEnding);
    }
    appendWithLineEnding(text, body, lineEnding);
    return text;
}

std::string VeltoPageFileContent::fileTextCarryingIdentifier(std::string text, const Uuid &pageID) {
    if (text.find("\r\n") != std::string::npos || text.starts_with(byteOrderMarkBytes)) {
        VeltoPageFileContent written = parse(text);
        written.writeVeltoMetadata(pageID, written.isArchived(), written.conflictOriginalPageID());
        return written.fileContents();
    }
    // Without "\r\n" the parsed body is the text after the front-matter block, byte for byte, and writing
    // it back changes nothing but the block.
    VeltoPageFileContent front;
    std::size_t bodyStart = 0;
    if (std::optional<FrontMatterBlock> block = frontMatterBlock(text)) {
        front.frontMatter = text.substr(block->frontMatterStart, block->frontMatterLength);
        bodyStart = block->bodyStart;
    }
    front.writeVeltoMetadata(pageID, front.isArchived(), front.conflictOriginalPageID());
    std::string block = front.fileContents();
    if (text.size() - bodyStart + block.size() > text.capacity()) {
        // A block grown past the room the text has (the identifier's lines added to a page of megabytes) would
        // make the text reallocate to twice its size; made anew, it is made once, at its exact size.
        std::string written;
        written.reserve(block.size() + text.size() - bodyStart);
        written.append(block).append(text, bodyStart);
        return written;
    }
    text.replace(0, bodyStart, block);
    return text;
}

namespace {

/// Whether parsing the content's file text gives back its front matter and body, provided the body holds no
/// "\r\n" (which the caller finds out as it copies the body): then that text is the block the front matter makes
/// followed by the body, byte for byte.
bool readsBackAsHeldUnlessBodyHoldsCRLF(const VeltoPageFileContent &content) {
    std::string_view bodyText = content.body.text();
    if (content.lineEnding != "\n" || content.byteOrderMark) {
        return false;
    }
    if (!content.frontMatter) {
        return !frontMatterBlock(bodyText);
    }
    // The block ends with "\n", so no "\r\n" spans it and the body, and a reader stops at its closing line.
    const VeltoPageFileContent front{content.frontMatter, {}, "\n"};
    const std::string block = front.fileContents();
    std::optional<FrontMatterBlock> parsed = frontMatterBlock(block);
    return block.find("\r\n") == std::string::npos && parsed && parsed->bodyStart == block.size();
}

/// Appends the body to the text unless it holds "\r\n": a span at a time, each looked through right after it was
/// copied, while it is still in the processor's cache. Searched first on its own, a page of megabytes was read
/// from memory twice. Answers false at the first "\r\n", with part of the body appended.
bool appendedUnlessHoldingCRLF(FileTextBuffer &text, std::string_view body) {
    constexpr std::size_t span = 64 * 1024;
    for (std::size_t start = 0; start < body.size(); start += span) {
        const std::string_view copied = body.substr(start, span);
        text.append(copied);
        // From the span's last byte before: its "\r" may pair with the "\n" this span starts with.
        const std::size_t from = start == 0 ? 0 : start - 1;
        if (body.substr(from, start + copied.size() - from).find("\r\n") != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

} // namespace

WrittenFileText VeltoPageFileContent::fileContentsCarryingIdentifier(const Uuid &pageID) const {
    if (readsBackAsHeldUnlessBodyHoldsCRLF(*this)) {
        VeltoPageFileContent front{frontMatter, {}, "\n"};
        front.writeVeltoMetadata(pageID, front.isArchived(), front.conflictOriginalPageID());
        const std::string block = front.fileContents();
        // A page of megabytes is written into the buffer its text before last left, when that one is free.
        FileTextBuffer text = emptyTextWithRoomFor(block.size() + body.size());
        text.append(block);
        if (appendedUnlessHoldingCRLF(text, body.text())) {
            return {std::move(text), true};
        }
    }
    // With room for the identifier's lines, which a page made here or taken in from another program lacks:
    // they go in place, where a page of megabytes would otherwise be copied twice more.
    constexpr std::size_t identifierLinesBytes = 64;
    const std::string made = fileTextCarryingIdentifier(fileContents(identifierLinesBytes), pageID);
    FileTextBuffer text = emptyTextWithRoomFor(made.size());
    text.append(made);
    return {std::move(text), false};
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

    // One blank line left alone joins to the same empty text an empty block has, which the next rewrite
    // removes; removing it now keeps a second rewrite from changing the file again.
    bool onlyOneBlankLine = lines.size() == 1 && lines.front().empty();
    if (lines.empty() || onlyOneBlankLine) {
        // A body whose first line is "---" would open a block of its own once the file has none, and its lines
        // up to the next marker would read back as front matter: such a body keeps an empty block before it.
        bool bodyWouldOpenABlock = body.text() == "---" || body.text().starts_with("---\n");
        frontMatter = bodyWouldOpenABlock ? std::optional<std::string>(std::string()) : std::nullopt;
        return;
    }
    frontMatter = text::join(lines, "\n");
}

bool operator==(const VeltoPageFileContent &a, const VeltoPageFileContent &b) {
    bool sameFrontMatter = a.frontMatter.has_value() == b.frontMatter.has_value() &&
                           (!a.frontMatter || text::canonicallyEqual(*a.frontMatter, *b.frontMatter));
    // A body shared by two copies is the same text: a page of megabytes is not read to find that out.
    bool sameBody = a.body.sharesTextWith(b.body) || text::canonicallyEqual(a.body, b.body);
    return sameFrontMatter && sameBody && a.lineEnding == b.lineEnding && a.byteOrderMark == b.byteOrderMark;
}

} // namespace velto
