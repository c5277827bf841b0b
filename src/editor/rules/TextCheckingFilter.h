#pragma once

#include "editor/text/TextRange.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace velto::editor {

/// The kinds of text-checking result, with the platform's raw values.
enum class TextCheckingType : std::uint64_t { spelling = 2, grammar = 4, correction = 512 };

/// One finding of the spelling and grammar checker over the page text.
struct TextCheckingResult {
    TextCheckingType type = TextCheckingType::spelling;
    TextRange range;
    bool operator==(const TextCheckingResult &) const = default;
};

/// The results in their order without the spelling and correction results that share at least one
/// character with a fenced code block or an inline code span: code is not prose, so it is neither
/// marked nor corrected. Results of other kinds always remain.
std::vector<TextCheckingResult> textCheckingResultsExcludingMarkdownCode(std::vector<TextCheckingResult> results,
                                                                         std::u16string_view text);

} // namespace velto::editor
