#include "editor/markdown/MarkdownStyler.h"
#include "editor/markdown/MarkdownStylerMemory.h"

#include <algorithm>

// The styler's answers about where code lies, from the code index it keeps for the storage.
namespace velto::editor::MarkdownStyler {

std::optional<FencedCodeBlock> fencedBlockContaining(const TextStorage &storage, std::size_t location) {
    return codeTokenIndexFor(storage)->fencedBlockContaining(location);
}

std::vector<FencedCodeBlock> fencedBlocks(const TextStorage &storage) {
    return codeTokenIndexFor(storage)->fencedBlocksOverlapping(TextRange{0, storage.length()});
}

std::vector<FencedCodeBlock> fencedBlocksOverlapping(const TextStorage &storage, TextRange range) {
    return codeTokenIndexFor(storage)->fencedBlocksOverlapping(range);
}

std::optional<TextRange> takeFencedBlockChange(const TextStorage &storage) {
    return codeTokenIndexFor(storage)->takeFencedBlockChange();
}

bool isInsideFencedCode(const TextStorage &storage, std::size_t location) {
    location = std::min(location, storage.length());
    const std::optional<FencedCodeBlock> block = codeTokenIndexFor(storage)->fencedBlockContaining(location);
    return block && block->contentRange.contains(location);
}

std::optional<InlineCodeSpan> inlineCodeSpanContaining(const TextStorage &storage, std::size_t location) {
    return codeTokenIndexFor(storage)->inlineCodeSpanContaining(location);
}

bool isInsideLiteralCode(const TextStorage &storage, std::size_t location) {
    const std::shared_ptr<const MarkdownCodeTokenIndex> index = codeTokenIndexFor(storage);
    return index->fencedBlockContaining(location) || index->inlineCodeSpanContaining(location);
}

} // namespace velto::editor::MarkdownStyler
