#pragma once

#include "editor/text/RegexRunner.h"

#include <optional>
#include <string_view>

// The two list patterns of the styler, matched by hand: every list line of a page matches them, and the
// engine's try at each such line cost more than styling the line. Each matcher gives, at a line start, exactly
// the match and groups the engine gives for its pattern there (within the same limit); RegexRunner's
// enumerateAtLineStarts tries it where the engine would.
namespace velto::editor {

/// A list item's marker: a bullet or a number with a dot, after blanks, followed by blanks. Group 1: the marker.
inline constexpr std::string_view listMarkerPattern = R"((?m)^[ \t]*([-+*]|[0-9]+\.)[ \t]+)";
/// A task's box after a bullet. Group 1: the box.
inline constexpr std::string_view taskBoxPattern = R"((?m)^[ \t]*[-+*][ \t]+(\[[ xX]\]))";

std::optional<RegexMatch> matchListMarker(std::u16string_view text, std::size_t start, std::size_t limit);
std::optional<RegexMatch> matchTaskBox(std::u16string_view text, std::size_t start, std::size_t limit);

} // namespace velto::editor
