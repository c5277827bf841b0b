#pragma once

#include "editor/MarkdownSyntaxScanner.h"
#include "editor/TextStorage.h"

#include <cstddef>
#include <vector>

// Where the code of a page lies, for the editing rules: answered from the styler's attributes at one
// index where they say "code", and from the text's fenced blocks and code spans otherwise.
namespace velto::editor::CodePositions {

/// The fenced blocks of the storage's whole text.
FencedCodeScan fencedCodeScan(const TextStorage &storage);

/// The full range of every fenced block, then of every inline code span outside them.
std::vector<TextRange> literalCodeRanges(const TextStorage &storage);

/// Whether the location (clamped to the text) lies in a fenced code block. A line whose trimmed text
/// starts with three backticks is never inside: typing on an opening or closing backtick fence is
/// typing Markdown, not code.
bool isInsideFencedCode(const TextStorage &storage, std::ptrdiff_t location);

/// Whether the location (clamped to the text) lies in a fenced block or an inline code span.
bool isInsideMarkdownLiteralCode(const TextStorage &storage, std::ptrdiff_t location);

} // namespace velto::editor::CodePositions
