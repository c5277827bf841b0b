#pragma once

#include "editor/text/TextRange.h"
#include "editor/text/TextStorage.h"

#include <cstdint>
#include <vector>

namespace velto::editor {

/// The fenced blocks whose highlighting is done: their highlighter tokens are in place in the text
/// storage, or they need none (no language, no code). A style pass asks the highlighter only for the
/// other blocks: on a page with thousands of blocks, copying and checking every block on each keystroke
/// costs milliseconds.
///
/// A block stays known while its opening line (which names the language) and its code stay as they
/// were: edits before or after them move the block, an edit that touches them (or the units just
/// around them) forgets it, and so does a pass in which it is no longer a block or blocks changed
/// around it (the restyle that ended or changed them took its colours). When the storage is another one, or no longer
/// remembers every edit since the last look, everything is forgotten.
class HighlightedCodeBlocks {
public:
    struct Block {
        TextRange openingLineRange;
        TextRange contentRange;
        bool operator==(const Block &) const = default;
    };

    /// Moves the known blocks through the storage's character edits since the last call.
    void follow(const TextStorage &storage);
    /// Whether this block is known to carry its tokens.
    bool contains(const Block &block) const;
    /// Keeps only these of the known blocks (the others are no longer blocks).
    void keepOnly(std::vector<Block> blocks);
    /// Notes a block whose tokens were just put in place, in the storage's text as last followed.
    /// Ignored when the storage has moved on since then.
    void remember(const TextStorage &storage, Block block);
    /// Forgets the blocks that share a unit with the range or touch it: where blocks appeared, went away or
    /// changed, the restyle may have taken their colours although their own lines are as they were.
    void forgetAround(TextRange range);
    /// Forgets every block (after a restyle that drops colours, such as one with formatting off).
    void clear();

    const std::vector<Block> &blocks() const;

private:
    void sortIfNeeded() const;

    std::uint64_t storageIdentity_ = 0;
    std::uint64_t characterVersion_ = 0;
    /// In text order once sorted; remembered blocks are appended and sorted before the next look.
    mutable std::vector<Block> blocks_;
    mutable bool sorted_ = true;
};

} // namespace velto::editor
