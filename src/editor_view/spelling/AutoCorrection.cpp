#include "editor_view/spelling/AutoCorrection.h"

#include "editor/text/StringRanges.h"

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>

namespace velto::editor {
namespace {

std::u16string lowercased(std::u16string_view text) {
    icu::UnicodeString unicode(false, text.data(), static_cast<int32_t>(text.size()));
    icu::UnicodeString lower(unicode);
    lower.toLower(icu::Locale::getRoot());
    return std::u16string(lower.getBuffer(), static_cast<std::size_t>(lower.length()));
}

std::u16string uppercased(std::u16string_view text) {
    icu::UnicodeString upper(text.data(), static_cast<int32_t>(text.size()));
    upper.toUpper(icu::Locale::getRoot());
    return std::u16string(upper.getBuffer(), static_cast<std::size_t>(upper.length()));
}

/// A space or punctuation that closes a word for certain. Apostrophes and hyphens are left out: they may
/// continue it ("isn't", "well-known").
bool endsWord(char16_t unit) {
    static constexpr std::u16string_view closing = u".,;:!?)]}\"\u201D";
    return isWhitespace(unit) || closing.find(unit) != std::u16string_view::npos;
}

bool isUppercase(char16_t unit) {
    return u_isupper(unit) != 0;
}

} // namespace

bool isOneEditApart(std::u16string_view a, std::u16string_view b) {
    if (a == b) {
        return false;
    }
    const std::size_t shorter = std::min(a.size(), b.size());
    if (std::max(a.size(), b.size()) - shorter > 1) {
        return false;
    }
    std::size_t prefix = 0;
    while (prefix < shorter && a[prefix] == b[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < shorter - prefix && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix]) {
        ++suffix;
    }
    const std::size_t differingA = a.size() - prefix - suffix;
    const std::size_t differingB = b.size() - prefix - suffix;
    if (differingA <= 1 && differingB <= 1) {
        return true; // one added, dropped or changed
    }
    // Two neighbours swapped: "teh" and "the".
    return differingA == 2 && differingB == 2 && a[prefix] == b[prefix + 1] && a[prefix + 1] == b[prefix];
}

std::u16string matchingCapitalisation(std::u16string_view word, std::u16string_view suggestion) {
    if (word.empty() || suggestion.empty()) {
        return std::u16string(suggestion);
    }
    const bool allCapitals = word.size() > 1 && std::all_of(word.begin(), word.end(), [](char16_t unit) {
                                 return !u_isalpha(unit) || isUppercase(unit);
                             });
    if (allCapitals) {
        return uppercased(suggestion);
    }
    std::u16string result(suggestion);
    if (isUppercase(word.front())) {
        result = uppercased(suggestion.substr(0, 1)) + std::u16string(suggestion.substr(1));
    }
    return result;
}

bool applyCorrection(EditingCore &core, const AutoCorrection &correction) {
    const TextRange selection = core.selectedRange();
    const TextRange word = correction.range;
    auto mapped = [&](std::size_t position) {
        if (position <= word.location) {
            return position;
        }
        if (position >= word.end()) {
            return position - word.length + correction.replacement.size();
        }
        return word.location + correction.replacement.size();
    };
    const std::size_t start = mapped(selection.location);
    return core.replaceText(word, correction.replacement, rangeBetween(start, mapped(selection.end())));
}

std::optional<AutoCorrection> automaticCorrection(std::u16string_view text, std::size_t typedAt, SpellChecker &checker,
                                                  const std::function<bool(std::size_t)> &isInsideLiteralCode) {
    if (typedAt == 0 || typedAt >= text.size() || !endsWord(text[typedAt])) {
        return std::nullopt;
    }
    const std::vector<TextRange> paragraphs = paragraphsTouching(text, TextRange{typedAt, 0});
    if (paragraphs.empty()) {
        return std::nullopt;
    }
    const TextRange paragraph = paragraphs.front();
    const std::u16string_view paragraphText = text.substr(paragraph.location, paragraph.length);
    std::optional<TextRange> word;
    for (TextRange candidate : spellingWords(paragraphText)) {
        if (paragraph.location + candidate.end() == typedAt) {
            word = TextRange{paragraph.location + candidate.location, candidate.length};
        }
    }
    if (!word || isInsideLiteralCode(word->location)) {
        return std::nullopt;
    }
    const std::u16string_view wordText = text.substr(word->location, word->length);
    if (checker.isCorrect(wordText)) {
        return std::nullopt;
    }
    // A capital that only starts a sentence says nothing about the word: "Teh" is asked for as "teh".
    const bool leadingCapitalOnly =
        isUppercase(wordText.front()) && lowercased(wordText.substr(1)) == wordText.substr(1);
    const std::vector<std::u16string> suggestions =
        checker.suggestions(leadingCapitalOnly ? lowercased(wordText) : std::u16string(wordText));
    if (suggestions.empty() || !isOneEditApart(lowercased(wordText), lowercased(suggestions.front()))) {
        return std::nullopt;
    }
    return AutoCorrection{*word, matchingCapitalisation(wordText, suggestions.front())};
}

} // namespace velto::editor
