#include "editor/CodePositions.h"

#include "editor/MarkdownStyler.h"
#include "editor/StringRanges.h"

#include <algorithm>

namespace velto::editor::CodePositions {

namespace {

std::size_t clamped(const TextStorage &storage, std::ptrdiff_t location) {
    return location < 0 ? 0 : std::min(static_cast<std::size_t>(location), storage.length());
}

bool carriesAttribute(const TextStorage &storage, AttributeKey key, std::size_t location) {
    return storage.length() > 0 && storage.attribute(key, std::min(location, storage.length() - 1)) != nullptr;
}

bool startsWithBacktickFence(std::u16string_view text, std::size_t location) {
    const TextRange line = lineRange(text, TextRange{location, 0});
    const std::u16string_view trimmed = trimmingWhitespaceAndNewlines(text.substr(line.location, line.length));
    return trimmed.starts_with(u"```");
}

} // namespace

std::optional<FencedCodeBlock> fencedBlockContaining(const TextStorage &storage, std::size_t location) {
    return MarkdownStyler::fencedBlockContaining(storage, location);
}

bool isInsideFencedCode(const TextStorage &storage, std::ptrdiff_t location) {
    const std::size_t position = clamped(storage, location);
    if (startsWithBacktickFence(storage.string(), position)) {
        return false;
    }
    if (carriesAttribute(storage, AttributeKey::veltoCodeBlock, position)) {
        return true;
    }
    return MarkdownStyler::isInsideFencedCode(storage, position);
}

bool isInsideMarkdownLiteralCode(const TextStorage &storage, std::ptrdiff_t location) {
    const std::size_t position = clamped(storage, location);
    if (carriesAttribute(storage, AttributeKey::veltoCodeBlock, position) ||
        carriesAttribute(storage, AttributeKey::veltoInlineCode, position)) {
        return true;
    }
    return MarkdownStyler::isInsideLiteralCode(storage, position);
}

} // namespace velto::editor::CodePositions
