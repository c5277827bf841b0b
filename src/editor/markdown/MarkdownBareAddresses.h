#pragma once

#include "editor/text/RegexRunner.h"

#include <functional>
#include <string_view>
#include <vector>

namespace velto::editor {

/// The pattern of bare web and mail addresses as the regular-expression engine would take it.
inline constexpr const char *bareAddressPattern = R"((?:https?://|mailto:)[^\s<>()]+)";

/// Finds exactly the matches the engine finds for bareAddressPattern in the given ranges (ascending,
/// disjoint) as RegexRunner::enumerateMatches searches them, left to right without overlapping. It
/// jumps from colon to colon where the engine tries a match at every unit.
///
/// What the engine's search amounts to: a scheme ("http://", "https://" or "mailto:") followed by
/// the longest run of units that are neither white space (the Unicode White_Space property) nor one
/// of "<>()", at least one of them, all inside the range.
void enumerateBareAddresses(std::u16string_view text, const std::vector<TextRange> &ranges,
                            const std::function<void(const RegexMatch &)> &handler);

} // namespace velto::editor
