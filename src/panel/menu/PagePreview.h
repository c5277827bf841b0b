#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velto {

/// A page's display title, derived from its Markdown text: the first line that carries text, without one
/// leading block marker (heading, quote, bullet with its task box, ordered-list number), its white space
/// collapsed and shortened to a number of characters. Pure; usable from any thread.
///
/// Lines are walked one at a time and the walk stops at the first title, so a 5 MB page costs no more than
/// its first lines. Thematic breaks ("- - -", "***") are recognised by a linear scan instead of a pattern,
/// so that a long line of hyphens and blanks cannot make a matcher backtrack.
namespace PagePreview {

/// What a page without text is called.
inline constexpr std::string_view untitledPage = "Untitled page";

/// The title of `text` (UTF-8); shortened to `maximumLength` characters followed by "…" when longer.
/// No limit keeps the whole first line.
std::string title(std::string_view text, std::optional<std::size_t> maximumLength = std::nullopt);

/// Whether a line (without its line break) is a thematic break: three or more of "-", "*" and "_", mixed
/// or not, with blanks allowed anywhere.
bool isThematicBreak(std::string_view line);

/// The length in bytes of the block marker at the start of `line` (leading blanks included), 0 when none.
std::size_t blockMarkerLength(std::string_view line);

} // namespace PagePreview
} // namespace velto
