#pragma once

#include "editor/text/RegexRunner.h"

#include <functional>
#include <string_view>

namespace velto::editor {

/// The pattern of Markdown links and images as the regular-expression engine would take it. Its
/// destination group, "(?:\\.|[^)\n])+", can split a run of backslash pairs in exponentially many
/// ways, so a line such as "[x](" followed by two dozen "\a" pairs and no ")" takes the engine
/// seconds. The styler therefore runs the matcher below instead.
inline constexpr const char *markdownLinkPattern = "(!?\\[)([^]\\n]+)(\\]\\()((?:\\\\.|[^)\\n])+)(\\))";

/// Finds exactly the matches the engine finds for markdownLinkPattern (groups 1 to 5: opening bracket
/// with optional "!", label, "](", destination, ")"), left to right without overlapping, in time
/// linear in the text.
///
/// What the engine's backtracking amounts to: the destination walks from "](" pairing a backslash
/// with the next character (unless that is a line terminator); it ends at the first ")" that is not
/// the second half of a pair; when it meets a line feed or the end first, it gives back up to the
/// last ")" it walked over, and without one there is no match.
void enumerateMarkdownLinks(std::u16string_view text, const std::function<void(const RegexMatch &)> &handler);

} // namespace velto::editor
