#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// How the metadata reading and writing of a page file see its front matter: as lines with a small YAML-like
/// notion of keys and indentation, never given to a YAML parser. Characters are grapheme clusters, so ":"
/// followed by a combining accent is an accented character, not a colon.
namespace velto::frontmatter {

/// The front matter split at every "\n", empty lines kept.
using Lines = std::vector<std::string>;

Lines linesOf(std::string_view frontMatter);

/// The text before the first ":", trimmed of white space and line breaks, without one pair of enclosing quotes:
/// `  "id": x` has the key "id", `- a: 1` the key "- a", a line without ":" none.
std::optional<std::string_view> key(std::string_view line);

/// The text after the first ":", untrimmed; empty without ":".
std::string_view value(std::string_view line);

/// Whether the key is present and canonically equal to `expected`.
bool sameKey(std::optional<std::string_view> key, std::string_view expected);

/// A non-empty line whose first character is not white space.
bool isTopLevel(std::string_view line);

/// The key of a top-level line; none for an empty or indented line.
std::optional<std::string_view> topLevelKey(std::string_view line);

bool isTopLevelWithKey(std::string_view line);

/// The number of leading " " characters; a tab ends the count and counts nothing.
std::size_t indentationWidth(std::string_view line);

/// Empty after trimming spaces and tabs.
bool isBlank(std::string_view line);

/// One past the last line of the block under the top-level line at `start`: the block runs up to the next
/// top-level line with a key, so list items and plain text under a key stay inside it.
std::size_t endOfTopLevelBlock(std::size_t start, const Lines &lines);

/// The smallest indentation of at least 1 among the non-blank lines of [begin, end); 2 when there is none.
/// Lines of a block at exactly this indentation are its direct children.
std::size_t directChildIndentation(const Lines &lines, std::size_t begin, std::size_t end);

/// Whether the top-level line at `start` opens a mapping the program may read and write: its value is empty,
/// "{}" or a comment, and no direct child is a list item or lacks a key.
bool isCompatibleNamespaceMapping(std::size_t start, const Lines &lines);

/// The indices of the top-level lines whose key is `wantedKey`.
std::vector<std::size_t> topLevelLineIndices(const Lines &lines, std::string_view wantedKey);

/// "true  # archived by hand" gives "true": a "#" after white space starts a comment; "true#x" and "#x" stay.
std::string_view withoutInlineComment(std::string_view value);

} // namespace velto::frontmatter
