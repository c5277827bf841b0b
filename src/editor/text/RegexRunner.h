#pragma once

#include "editor/text/TextRange.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velto::editor {

/// One match: the ranges of the whole match (group 0) and of each capture group; a group that took
/// no part has location TextRange::notFound.
struct RegexMatch {
    std::vector<TextRange> groups;
    TextRange range(std::size_t group = 0) const {
        return group < groups.size() ? groups[group] : TextRange{TextRange::notFound, 0};
    }
};

/// Runs ICU regular expressions (the engine the editor's patterns are written for) over UTF-16 text,
/// compiling each pattern once per process.
///
/// Every search is bounded: a pattern that would backtrack for long on some input stops after a
/// budget of engine steps proportional to the text searched, and the search ends there as if no
/// further match existed. Ordinary patterns on ordinary text stay far below the budget.
namespace RegexRunner {

/// Calls `handler` with every match, left to right without overlapping. Returns false when the
/// pattern does not compile (the handler is then never called).
bool enumerateMatches(const std::string &pattern, std::u16string_view text,
                      const std::function<void(const RegexMatch &)> &handler);

/// As above, searching only the given ranges (ascending, disjoint). Look-behind and look-ahead still
/// see the text around a range, and "^" and "$" match only at true line starts and ends; a match
/// never extends beyond its range.
bool enumerateMatches(const std::string &pattern, std::u16string_view text, const std::vector<TextRange> &ranges,
                      const std::function<void(const RegexMatch &)> &handler);

/// A matcher written out for a pattern that opens with "(?m)^": the match starting at the line start `start`
/// and reaching no further than `limit`, with the groups the pattern's engine match would have; nothing when
/// the pattern does not match there.
using LineStartMatcher =
    std::function<std::optional<RegexMatch>(std::u16string_view text, std::size_t start, std::size_t limit)>;

/// What enumerateMatches finds in the ranges for a pattern anchored at line starts that `matchAt` matches as
/// the engine does: tried at the same line starts, the next try after a match at or after its end. For the
/// patterns a page's every list line matches, whose engine tries cost more than the rest of their styling.
void enumerateAtLineStarts(std::u16string_view text, const std::vector<TextRange> &ranges,
                           const LineStartMatcher &matchAt, const std::function<void(const RegexMatch &)> &handler);

/// The text with every match replaced by the template ("$1" names group 1). A pattern that does not
/// compile, or a search that runs out of budget, leaves the text as it is.
std::u16string replacingMatches(const std::string &pattern, std::u16string_view text,
                                const std::u16string &replacementTemplate);

/// How many patterns the process has compiled so far (each pattern counts once).
std::size_t compiledPatternCount();

} // namespace RegexRunner

} // namespace velto::editor
