#include "editor/markdown/CodePositions.h"

#include "editor/markdown/MarkdownStyler.h"
#include "editor/text/StorageLines.h"
#include "editor/text/StringRanges.h"

#include <algorithm>

namespace velto::editor::CodePositions {

namespace {

std::size_t clamped(const TextStorage &storage, std::ptrdiff_t location) {
    return location < 0 ? 0 : std::min(static_cast<std::size_t>(location), storage.length());
}

bool carriesAttribute(const TextStorage &storage, AttributeKey key, std::size_t location) {
    return storage.length() > 0 && storage.attribute(key, std::min(location, storage.length() - 1)) != nullptr;
}

/// True when the line holding the location, leading white space skipped, starts with three backticks.
bool startsWithBacktickFence(const TextStorage &storage, std::size_t location) {
    const TextRange line = lineRange(storage, TextRange{location, 0});
    std::size_t index = line.location;
    while (index < line.end() && isWhitespaceOrNewline(storage.characterAt(index))) {
        ++index;
    }
    if (index + 3 > line.end()) {
        return false;
    }
    return storage.characterAt(index) == u'`' && storage.characterAt(index + 1) == u'`' &&
           storage.characterAt(index + 2) == u'`';
}

} // namespace

std::optional<FencedCodeBlock> fencedBlockContaining(const TextStorage &storage, std::size_t location) {
    return MarkdownStyler::fencedBlockContaining(storage, location);
}

bool isInsideFencedCode(const TextStorage &storage, std::ptrdiff_t location) {
    const std::size_t position = clamped(storage, location);
    const bool inCode = carriesAttribute(storage, AttributeKey::veltoCodeBlock, position) ||
                        MarkdownStyler::isInsideFencedCode(storage, position);
    // A fence line is not code. Asked last: it reads the whole line, which in prose can be a page long.
    return inCode && !startsWithBacktickFence(storage, position);
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
