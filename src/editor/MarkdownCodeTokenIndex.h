#pragma once

#include "editor/MarkdownSyntaxScanner.h"
#include "editor/TextStorage.h"

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

private:
    std::vector<FenceLine> fenceLines_;
    std::vector<BacktickRun> runs_;
};

} // namespace velto::editor
