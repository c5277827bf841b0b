#include "page_editor/HighlightedCodeBlocks.h"

#include <algorithm>
#include <optional>

namespace velto::editor {
namespace {

/// How far an edit moves a range after it.
TextRange shifted(TextRange range, const CharacterEdit &edit) {
    return TextRange{range.location - edit.oldLength + edit.newLength, range.length};
}

/// Where the block lies after the edit, or nothing when the edit touches its opening line or its code:
/// an edit that ends right where the block starts, or starts right where its code ends, may have
/// changed what the block holds too.
std::optional<HighlightedCodeBlocks::Block> movedThrough(const HighlightedCodeBlocks::Block &block,
                                                         const CharacterEdit &edit) {
    if (edit.location + edit.oldLength < block.openingLineRange.location) {
        return HighlightedCodeBlocks::Block{shifted(block.openingLineRange, edit), shifted(block.contentRange, edit)};
    }
    if (edit.location > block.contentRange.end()) {
        return block;
    }
    return std::nullopt;
}

bool startsBefore(const HighlightedCodeBlocks::Block &a, const HighlightedCodeBlocks::Block &b) {
    return a.openingLineRange.location < b.openingLineRange.location;
}

} // namespace

void HighlightedCodeBlocks::follow(const TextStorage &storage) {
    sortIfNeeded();
    const std::optional<std::vector<CharacterEdit>> edits =
        storage.identity() == storageIdentity_ ? storage.characterEditsSince(characterVersion_) : std::nullopt;
    storageIdentity_ = storage.identity();
    characterVersion_ = storage.characterVersion();
    if (!edits) {
        blocks_.clear();
        return;
    }
    // In place: a pause in typing brings dozens of edits, a big page thousands of blocks. The blocks that end
    // before an edit, a run at the front, stay as they are and are not looked at.
    for (const CharacterEdit &edit : *edits) {
        const auto firstReached = std::partition_point(blocks_.begin(), blocks_.end(), [&edit](const Block &block) {
            return edit.location > block.contentRange.end();
        });
        auto kept = firstReached;
        for (auto block = firstReached; block != blocks_.end(); ++block) {
            if (const std::optional<Block> after = movedThrough(*block, edit)) {
                *kept++ = *after;
            }
        }
        blocks_.erase(kept, blocks_.end());
    }
}

bool HighlightedCodeBlocks::contains(const Block &block) const {
    sortIfNeeded();
    const auto found = std::lower_bound(blocks_.begin(), blocks_.end(), block, startsBefore);
    return found != blocks_.end() && *found == block;
}

void HighlightedCodeBlocks::keepOnly(std::vector<Block> blocks) {
    blocks_ = std::move(blocks);
    sorted_ = false;
}

void HighlightedCodeBlocks::remember(const TextStorage &storage, Block block) {
    if (storage.identity() != storageIdentity_ || storage.characterVersion() != characterVersion_) {
        return;
    }
    blocks_.push_back(block);
    sorted_ = false;
}

void HighlightedCodeBlocks::forgetAround(TextRange range) {
    std::erase_if(blocks_, [range](const Block &block) {
        return block.openingLineRange.location <= range.end() && block.contentRange.end() >= range.location;
    });
}

void HighlightedCodeBlocks::clear() {
    blocks_.clear();
    sorted_ = true;
}

const std::vector<HighlightedCodeBlocks::Block> &HighlightedCodeBlocks::blocks() const {
    sortIfNeeded();
    return blocks_;
}

void HighlightedCodeBlocks::sortIfNeeded() const {
    if (!sorted_) {
        std::sort(blocks_.begin(), blocks_.end(), startsBefore);
        sorted_ = true;
    }
}

} // namespace velto::editor
