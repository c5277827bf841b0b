#pragma once

#include "editor/text/StringRanges.h"
#include "editor/text/TextRange.h"

#include <functional>
#include <string_view>
#include <vector>

// Where the styler's patterns can match, so that a full pass hands the regular-expression engine only
// those stretches instead of the whole text. The engine tries a pattern
// such as "(?m)^(#{1,6})[ \t]+(.+)$" at every line start and walks every title line of a setext
// candidate; finding the few lines that can match takes one plain pass over the units.
//
// A pattern anchored at line starts that never reads across a line feed only matches from a line
// start to at most the end of that line-feed line, and its matches on different lines do not
// interact; so searching exactly the candidate lines (within the same searched ranges) finds the
// same matches as searching the whole text.
namespace velto::editor {

/// One line start inside a searched range: its first character, its first character after spaces and
/// tabs, and the end of the searched range around it (no window reaches beyond it).
struct LineStart {
    std::size_t start = 0;
    char16_t first = 0;
    char16_t firstAfterBlanks = 0;
    std::size_t limit = 0;
};

/// Every line start inside `within` (ascending, disjoint), found in one pass over the units.
std::vector<LineStart> lineStarts(std::u16string_view text, const std::vector<TextRange> &within);

/// The stretches from each of the line starts whose first character (after spaces and tabs, when
/// `afterBlanks`) passes `begins`, to the end of its line-feed line, merged where they meet.
std::vector<TextRange> lineStartRanges(std::u16string_view text, const std::vector<LineStart> &starts, bool afterBlanks,
                                       const std::function<bool(char16_t)> &begins);

/// The stretches of `within` where a setext heading can match: every line-feed line followed by a
/// line that starts with "=", together with that line, merged where they meet.
std::vector<TextRange> underlinedLineRanges(std::u16string_view text, const std::vector<TextRange> &within);

} // namespace velto::editor
