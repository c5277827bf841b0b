#pragma once

#include "editor/markdown/MarkdownSyntaxScanner.h"
#include "editor/markdown/StoredCodeItems.h"
#include "editor/text/ShiftedItemList.h"
#include "editor/text/TextStorage.h"

#include <map>
#include <optional>
#include <string_view>
#include <vector>

namespace velto::editor {

// Moves one of the index's items with the text; the stored forms the lists keep move by StoredCodeItems.h.
void shift(FenceLine &line, std::ptrdiff_t delta);
void shift(BacktickRun &run, std::ptrdiff_t delta);
void shift(FencedCodeBlock &block, std::ptrdiff_t delta);
void shift(InlineCodeSpan &span, std::ptrdiff_t delta);

/// How one character edit moves a range that begins before it: a start or end at or after the
/// replaced units moves with the text after them (an end at an insertion point takes the inserted
/// text in); one inside the replaced units goes to the edit's location.
struct EditMapping {
    std::size_t location;
    std::size_t oldEnd;
    std::ptrdiff_t delta;

    explicit EditMapping(const CharacterEdit &edit);
    std::size_t start(std::size_t position) const;
    std::size_t end(std::size_t position) const;
    TextRange range(TextRange range) const;
};

/// A text's fence lines and unescaped backtick runs, and the fenced blocks and inline code spans they
/// make, kept up to date through character edits. Finding code blocks and spans needs the whole
/// text, but after a keystroke only the lines around the edit are read again, and the blocks and
/// spans are worked out again only where those lines changed them: typing costs about the edit, not
/// the page.
class MarkdownCodeTokenIndex {
public:
    explicit MarkdownCodeTokenIndex(std::u16string_view text);
    /// The index of the text the UTF-8 text decodes to (as text::toUTF16 decodes it), decoded a stretch at a
    /// time: a loaded page is indexed without its whole text decoded into one string first.
    static MarkdownCodeTokenIndex decodedFrom(std::string_view text);

    /// Brings the index up to `text`, which is the indexed text after `edits` (oldest first, each in
    /// the coordinates of the text it changed).
    void update(std::u16string_view text, const std::vector<CharacterEdit> &edits);
    /// As above, reading only the lines around the edits from the storage.
    void update(const TextStorage &storage, const std::vector<CharacterEdit> &edits);

    /// What MarkdownSyntaxScanner::fencedCodeScan and ::structure give for the indexed text.
    FencedCodeScan fencedCodeScan(std::u16string_view text) const;
    DocumentStructure structure(std::u16string_view text, FencedCodeScan scan) const;
    /// The whole structure, as MarkdownSyntaxScanner::structure gives it (costs the page's blocks and spans).
    DocumentStructure structure() const;
    /// False exactly when the last fenced block is unclosed.
    bool isBalanced() const;

    /// The fenced block whose full range holds the location.
    std::optional<FencedCodeBlock> fencedBlockContaining(std::size_t location) const;
    /// The inline code span whose full range holds the location.
    std::optional<InlineCodeSpan> inlineCodeSpanContaining(std::size_t location) const;
    /// The blocks and spans whose full ranges share a unit with the range, in text order.
    std::vector<FencedCodeBlock> fencedBlocksOverlapping(TextRange range) const;
    std::vector<InlineCodeSpan> inlineCodeSpansOverlapping(TextRange range) const;
    /// How many fenced blocks the two answers above have read out since the index was made: what the
    /// callers' walks over the blocks cost, which must follow what they touch, not the page.
    std::size_t fencedBlocksRead() const { return fencedBlocksRead_; }

    /// The part of the text over which blocks or spans appeared or disappeared since the last call
    /// (in the coordinates of the text now), and forgets it; none when they only moved with the text.
    std::optional<TextRange> takeStructureChange();
    /// Whether blocks or spans appeared or disappeared since takeStructureChange was last called.
    bool hasStructureChange() const { return structureChange_.has_value(); }
    /// Adds the range to the part of the text taken as changed, for blocks and spans alike.
    void noteStructureChange(TextRange range);
    /// As takeStructureChange, for fenced blocks alone and kept apart from it: the part of the text over
    /// which blocks appeared, went away or changed other than by moving with the text (an edit inside a
    /// block's code that keeps it a block is no such change). Highlighting takes it; styling takes the other.
    std::optional<TextRange> takeFencedBlockChange();

private:
    MarkdownCodeTokenIndex() = default;

    /// What indexing a text a stretch of whole lines at a time keeps from one stretch to the next.
    struct Indexing {
        std::optional<StoredFenceLine> open; // the line whose fence is open, if one is
        std::vector<FoundFenceLine> found;
        std::vector<StoredFencedCodeBlock> closed;
        std::vector<BacktickRun> runsOutsideBlocks;
    };
    /// Indexes the next stretch, `units`, which starts at `offset` in the text.
    void indexStretch(std::u16string_view units, std::size_t offset, Indexing &indexing);
    /// Ends the indexing of a text of `length` units, all its stretches indexed.
    void finishIndexing(std::size_t length, Indexing &indexing);

    template <typename Text> void updateFrom(const Text &text, const std::vector<CharacterEdit> &edits);
    /// The stretches to read the backtick runs of again after the changes, when each lies well inside
    /// a line that is no fence line: such a change leaves every fence line as it was. None otherwise.
    template <typename Text>
    std::optional<std::vector<TextRange>> runStretchesAround(const Text &text,
                                                             const std::vector<TextRange> &changed) const;
    void followEdit(const CharacterEdit &edit);
    /// A change of blocks is a change of the structure too; a change of spans alone is not one of blocks.
    void noteFencedBlockChange(TextRange range);
    void noteSpanChange(TextRange range);
    /// Pairs the fence lines again from the last block before the changed lines until the pairing agrees
    /// with the blocks as they were; answers the part of the text over which the blocks differ.
    std::optional<TextRange> pairFencesAround(TextRange changedLines);
    void pairSpansAround(TextRange changed);
    bool isInsideBlock(std::size_t position) const;
    bool touchesFenceLineOfBlock(const EditMapping &mapping) const;
    std::optional<InlineCodeSpan> spanReachingRunsOf(const EditMapping &mapping) const;

    std::size_t textLength_ = 0;
    ShiftedItemList<FenceLine, StoredFenceLine> fenceLines_;
    ShiftedItemList<BacktickRun, StoredBacktickRun> runs_;
    ShiftedItemList<FencedCodeBlock, StoredFencedCodeBlock> blocks_;
    ShiftedItemList<InlineCodeSpan, StoredInlineCodeSpan> spans_;
    bool isBalanced_ = true;
    /// The backtick runs that pair with nothing, by length: at most one of each length can, since a
    /// later run of the same length would close it.
    std::map<std::size_t, std::size_t> literalRunStarts_;
    std::optional<TextRange> structureChange_;
    std::optional<TextRange> fencedBlockChange_;
    mutable std::size_t fencedBlocksRead_ = 0;
};

} // namespace velto::editor
