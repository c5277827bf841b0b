#pragma once

#include "editor/highlight/SyntaxToken.h"
#include "editor/markdown/MarkdownSyntaxScanner.h"
#include "editor/text/TextAttributes.h"
#include "editor/text/TextStorage.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace velto::editor::MarkdownStyler {

/// A highlighted code token found in the storage before a restyle resets its attributes.
struct PreservedCodeToken {
    TextRange range;
    SyntaxTokenKind kind = SyntaxTokenKind::keyword;
    std::optional<std::uint64_t> generation;
    /// The token's colour as it was applied (always its kind's code colour).
    std::optional<Color> foregroundColor;
    bool operator==(const PreservedCodeToken &) const = default;
};

/// The highlighted tokens over the range: every longest run whose "VeltoCodeSyntaxToken" value is a
/// token kind's raw value, with its generation when that is a number.
std::vector<PreservedCodeToken> preservedCodeTokens(const TextStorage &storage, TextRange range);

/// Gives every part of a preserved token that still lies in the content of a fenced block that
/// highlighting colours (styled as code, naming a language) back its colour, kind and generation (added
/// over the restyled attributes). Parts outside every such block stay plain.
void restoreCodeTokens(const std::vector<PreservedCodeToken> &tokens, const DocumentStructure &structure,
                       TextStorage &storage);

} // namespace velto::editor::MarkdownStyler
