#pragma once

#include "editor/text/RegexRunner.h"

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

namespace velto::editor {

/// A span that delimiters mark around its content on one line: strong text ("**", "__"),
/// strike-through ("~~") and emphasis (a lone "*" or "_"), with the pattern the regular-expression
/// engine takes for it.
struct DelimitedSpanPattern {
    char16_t delimiter;
    /// Two for a doubled delimiter; one for a lone delimiter, which must touch no other delimiter
    /// outside the span.
    std::size_t width;
    const char *pattern;
};

inline constexpr DelimitedSpanPattern strongStarsPattern{u'*', 2, R"(\*\*([^*\n]+)\*\*)"};
inline constexpr DelimitedSpanPattern strongUnderscoresPattern{u'_', 2, R"(__([^_\n]+)__)"};
inline constexpr DelimitedSpanPattern emphasisStarPattern{u'*', 1, R"((?<!\*)\*([^*\n]+)\*(?!\*))"};
inline constexpr DelimitedSpanPattern emphasisUnderscorePattern{u'_', 1, R"((?<!_)_([^_\n]+)_(?!_))"};
inline constexpr DelimitedSpanPattern strikethroughPattern{u'~', 2, R"(~~([^~\n]+)~~)"};

/// Finds exactly the matches the engine finds for the span's pattern in the given ranges (ascending,
/// disjoint) as RegexRunner::enumerateMatches searches them (group 1: the content), left to right
/// without overlapping. It jumps from delimiter to delimiter where the engine tries a match at every
/// unit, which makes it several times faster on ordinary text.
///
/// What the engine's search amounts to: the content is the longest stretch after the opening
/// delimiters holding neither the delimiter nor a line feed (giving units back only ends it before a
/// unit that cannot close it), so a match is the opening, at least one unit of content and the
/// closing delimiters right after it, all inside the range; the look-behind and look-ahead of a lone
/// delimiter see the text around the range.
void enumerateDelimitedSpans(const DelimitedSpanPattern &span, std::u16string_view text,
                             const std::vector<TextRange> &ranges,
                             const std::function<void(const RegexMatch &)> &handler);

} // namespace velto::editor
