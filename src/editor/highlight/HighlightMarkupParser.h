#pragma once

#include "editor/highlight/SyntaxToken.h"
#include "platform/desktop/Cancellation.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reads the HTML that highlight.js returns back into tokens laid on the highlighted code.
//
// The markup is the code's text with "&", "<", ">", quotes and apostrophes written as entities, wrapped
// in nested <span class="hljs-…"> elements. For the code `x = "a<b"` highlight.js answers
//     x = <span class="hljs-string">&quot;a&lt;b&quot;</span>
// which gives one string token at UTF-16 range (4, 6). The decoded text must equal the code exactly,
// which proves that the token ranges can be laid on the code without searching.
namespace velto::editor::HighlightMarkupParser {

/// The tokens of the markup, ascending, with neighbouring tokens of one kind merged. Throws
/// CodeSyntaxHighlightingError (invalidMarkup, sourceMismatch) or CancellationError; never returns a
/// partial list.
std::vector<SyntaxToken> parse(std::u16string_view markup, std::u16string_view source,
                               const CancellationToken &cancellation = CancellationToken());

/// The text with its entities decoded; throws invalidMarkup for an "&" without a later ";" or with a
/// name that decodes to nothing.
std::u16string decodeEntities(std::u16string_view text, const CancellationToken &cancellation = CancellationToken());

/// The character that the entity name (the text between "&" and ";") stands for: "amp", "lt", "gt",
/// "quot", "apos", or a decimal ("#39") or hexadecimal ("#x27") Unicode scalar.
std::optional<char32_t> decodedEntity(std::u16string_view name);

/// The kind that a span's class attribute gives its text: the first class name, in the order written
/// and without its "hljs-" prefix, that names a kind ("hljs-title class_" gives type).
std::optional<SyntaxTokenKind> spanKind(std::u16string_view classAttribute);

/// The kind of text inside the open spans, each given by its spanKind, outermost first: the innermost
/// span that has a kind decides; nothing when none has.
std::optional<SyntaxTokenKind> tokenKind(const std::vector<std::optional<SyntaxTokenKind>> &openSpans);

/// Adds the token, extending the last one instead when it has the same kind and ends where the new one
/// begins.
void append(const SyntaxToken &token, std::vector<SyntaxToken> &tokens);

} // namespace velto::editor::HighlightMarkupParser
