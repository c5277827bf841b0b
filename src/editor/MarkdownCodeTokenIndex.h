#pragma once

#include "editor/MarkdownSyntaxScanner.h"
#include "editor/TextStorage.h"

#include <optional>
#include <string_view>
#include <vector>

namespace velto::editor {

/// The lines of a text that may be fence lines and its unescaped backtick runs, kept up to date
/// through character edits. Finding code blocks and spans needs the whole text, but after a
/// keystroke only the lines around the edit have to be read again: a long page then costs its
/// backtick runs and fence lines, not its characters.
class MarkdownCodeTokenIndex {
public:
    explicit MarkdownCodeTokenIndex(std::u16string_view text);

    /// Brings the index up to `text`, which is the indexed text after `edits` (oldest first, each in
    /// the coordinates of the text it changed).
    void update(std::u16string_view text, const std::vector<CharacterEdit> &edits);

    /// What MarkdownSyntaxScanner::fencedCodeScan and ::structure give for the indexed text.
    FencedCodeScan fencedCodeScan(std::u16string_view text) const;
    DocumentStructure structure(std::u16string_view text, FencedCodeScan scan) const;

    /// The indexed text's fenced blocks and inline code spans, as MarkdownSyntaxScanner::structure
    /// gives them; worked out once after each update.
    const DocumentStructure &structure() const;
    bool isBalanced() const;

    /// The fenced block whose full range holds the location, or null.
    const FencedCodeBlock *fencedBlockContaining(std::size_t location) const;
    /// The inline code span whose full range holds the location, or null.
    const InlineCodeSpan *inlineCodeSpanContaining(std::size_t location) const;

private:
    std::size_t textLength_ = 0;
    std::vector<FenceLine> fenceLines_;
    std::vector<BacktickRun> runs_;
    mutable std::optional<DocumentStructure> structure_;
    mutable bool isBalanced_ = true;
};

} // namespace velto::editor
