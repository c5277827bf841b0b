#pragma once

#include "editor/text/TextRange.h"
#include "platform/desktop/SpellingService.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velto::editor {

/// The words of one paragraph that spelling looks at, as ranges in the paragraph: the word break
/// iterator's letter words without the emphasis underscores at their edges, leaving out inline code, link
/// destinations and bare addresses (anything holding "://", "@" or starting with "www."), which are not prose.
std::vector<TextRange> spellingWords(std::u16string_view paragraph);

/// The paragraph ranges (terminator excluded) that touch the range, in text order.
std::vector<TextRange> paragraphsTouching(std::u16string_view text, TextRange range);

/// Continuous spell checking without a display: checks paragraphs against the spelling service and
/// remembers the result by the paragraph's text, so that an unchanged paragraph, wherever it moves,
/// is never checked twice. The view draws from what is remembered and asks for idle slices of work
/// over the paragraphs it shows. Main thread only.
class SpellChecker {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t maximumSuggestions = 5;

    explicit SpellChecker(SpellingService &service);

    /// The misspelled words of the paragraph (ranges within it), checking it when it is not remembered.
    const std::vector<TextRange> &misspellings(std::u16string_view paragraph);
    /// What is remembered for the paragraph; nothing when it has not been checked yet.
    const std::vector<TextRange> *rememberedMisspellings(std::u16string_view paragraph) const;

    /// Checks the paragraphs that touch `visible` and lie outside every range of `codeRanges` (fenced
    /// code blocks, ascending) until `deadline`; true when every such paragraph is checked.
    bool checkParagraphs(std::u16string_view text, TextRange visible, const std::vector<TextRange> &codeRanges,
                         Clock::time_point deadline);
    /// The remembered misspellings over the paragraphs touching `visible`, in text coordinates; what
    /// the view underlines.
    std::vector<TextRange> misspelledRanges(std::u16string_view text, TextRange visible,
                                            const std::vector<TextRange> &codeRanges) const;

    /// The misspelled word at the location (for the context menu); nothing over a correct word.
    std::optional<TextRange> misspelledWord(std::u16string_view text, std::size_t location,
                                            const std::vector<TextRange> &codeRanges);
    /// Up to five replacements for the word, best first.
    std::vector<std::u16string> suggestions(std::u16string_view word);
    /// The context menu's Ignore: the word counts as correct until Velto quits.
    void ignore(std::u16string_view word);
    /// The context menu's Learn: the word goes into the personal word list.
    void learn(std::u16string_view word);

    bool isCorrect(std::u16string_view word);
    std::size_t rememberedParagraphCount() const { return remembered_.size(); }

private:
    /// Forgetting everything past this many paragraphs keeps memory bounded on huge pages.
    static constexpr std::size_t rememberedParagraphLimit = 20'000;

    SpellingService &service_;
    std::unordered_map<std::u16string, std::vector<TextRange>> remembered_;
};

/// True when the range overlaps one of the ascending ranges.
bool overlapsAnyRange(TextRange range, const std::vector<TextRange> &ranges);

} // namespace velto::editor
