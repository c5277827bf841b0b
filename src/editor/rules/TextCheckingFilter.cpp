#include "editor/rules/TextCheckingFilter.h"

#include "editor/markdown/MarkdownSyntaxScanner.h"

#include <algorithm>

namespace velto::editor {

namespace {

bool isSpellingKind(const TextCheckingResult &result) {
    return result.type == TextCheckingType::spelling || result.type == TextCheckingType::correction;
}

/// Whether the range shares a character with one of the ranges (ascending by location, disjoint).
bool meetsAny(TextRange range, const std::vector<TextRange> &sorted) {
    auto after = std::upper_bound(sorted.begin(), sorted.end(), range.location,
                                  [](std::size_t location, TextRange code) { return location < code.location; });
    if (after != sorted.begin() && overlaps(*std::prev(after), range)) {
        return true;
    }
    return after != sorted.end() && overlaps(*after, range);
}

} // namespace

std::vector<TextCheckingResult> textCheckingResultsExcludingMarkdownCode(std::vector<TextCheckingResult> results,
                                                                         std::u16string_view text) {
    if (std::none_of(results.begin(), results.end(), isSpellingKind)) {
        return results;
    }
    std::vector<TextRange> code = MarkdownSyntaxScanner::structure(text).literalCodeRanges();
    if (code.empty()) {
        return results;
    }
    std::sort(code.begin(), code.end(), [](TextRange a, TextRange b) { return a.location < b.location; });
    std::erase_if(results, [&code](const TextCheckingResult &result) {
        return isSpellingKind(result) && meetsAny(result.range, code);
    });
    return results;
}

} // namespace velto::editor
