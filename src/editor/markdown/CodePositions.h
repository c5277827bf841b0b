#pragma once

#include "editor/markdown/MarkdownSyntaxScanner.h"
#include "editor/text/TextStorage.h"

#include <cstddef>
#include <optional>

// Where the code of a page lies, for the editing rules: answered from the styler's attributes at one
// index where they say "code", and from the styler's code index otherwise, which follows the storage's
// edits, so that a keystroke on a long page costs no scan of its text.
namespace velto::editor::CodePositions {

/// The fenced block whose full range (opening line to closing line, line break included; to the text's
/// end when unclosed) holds the location; none outside every block. Blocks never overlap, so this is
/// the only block a rule asking about that location can mean.
std::optional<FencedCodeBlock> fencedBlockContaining(const TextStorage &storage, std::size_t location);

/// Whether the location (clamped to the text) lies in a fenced code block. A line whose trimmed text
/// starts with three backticks is never inside: typing on an opening or closing backtick fence is
/// typing Markdown, not code.
bool isInsideFencedCode(const TextStorage &storage, std::ptrdiff_t location);

/// Whether the location (clamped to the text) lies in a fenced block or an inline code span.
bool isInsideMarkdownLiteralCode(const TextStorage &storage, std::ptrdiff_t location);

} // namespace velto::editor::CodePositions
