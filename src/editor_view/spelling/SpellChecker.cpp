#include "editor_view/spelling/SpellChecker.h"

#include "editor/markdown/MarkdownLinkMatcher.h"
#include "editor/markdown/MarkdownSyntaxScanner.h"
#include "editor/text/StringRanges.h"
#include "platform/Text.h"

#include <unicode/brkiter.h>
#include <unicode/ubrk.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace velto::editor {
namespace {

/// One word iterator for the main thread, made once: creating one costs more than checking a line.
icu::BreakIterator &wordIterator() {
    static std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(
            icu::BreakIterator::createWordInstance(icu::Locale::getDefault(), status));
        if (U_FAILURE(status)) {
            made.reset();
        }
        return made;
    }();
    return *iterator;
}

/// Blanks, brackets and quotes end the stretch of text a word belongs to.
bool endsChunk(char16_t unit) {
    static constexpr std::u16string_view enclosing = u"()[]<>\"'`";
    return isWhitespaceOrNewline(unit) || enclosing.find(unit) != std::u16string_view::npos;
}

/// The stretch of text around the range up to blanks and brackets: a word inside an address is
/// recognised by it.
TextRange surroundingChunk(std::u16string_view text, TextRange range) {
    std::size_t start = range.location;
    while (start > 0 && !endsChunk(text[start - 1])) {
        --start;
    }
    std::size_t end = range.end();
    while (end < text.size() && !endsChunk(text[end])) {
        ++end;
    }
    return rangeBetween(start, end);
}

bool isAddress(std::u16string_view chunk) {
    return chunk.find(u"://") != std::u16string_view::npos || chunk.find(u'@') != std::u16string_view::npos ||
           chunk.substr(0, 4) == u"www.";
}

/// Inline code spans and link destinations of the paragraph, ascending.
std::vector<TextRange> literalRanges(std::u16string_view paragraph) {
    std::vector<TextRange> ranges;
    for (const InlineCodeSpan &span : MarkdownSyntaxScanner::inlineCodeSpans(paragraph, {})) {
        ranges.push_back(span.fullRange);
    }
    enumerateMarkdownLinks(paragraph, [&](const RegexMatch &match) { ranges.push_back(match.range(4)); });
    std::sort(ranges.begin(), ranges.end(), [](TextRange a, TextRange b) { return a.location < b.location; });
    return ranges;
}

std::u16string_view textIn(std::u16string_view text, TextRange range) {
    return text.substr(range.location, range.length);
}

/// The word without the underscores at its edges: the word iterator takes `_` for a letter joining words, so
/// Markdown's `_emphasis_` and `__strong__` come with their markers, which no dictionary knows. Underscores
/// inside a word (snake_case) stay part of it.
TextRange withoutEmphasisMarkers(std::u16string_view paragraph, TextRange word) {
    std::size_t start = word.location;
    std::size_t end = word.end();
    while (start < end && paragraph[start] == u'_') {
        ++start;
    }
    while (end > start && paragraph[end - 1] == u'_') {
        --end;
    }
    return rangeBetween(start, end);
}

} // namespace

bool overlapsAnyRange(TextRange range, const std::vector<TextRange> &ranges) {
    auto after = std::upper_bound(ranges.begin(), ranges.end(), range.end(),
                                  [](std::size_t end, TextRange candidate) { return end <= candidate.location; });
    for (auto it = ranges.begin(); it != after; ++it) {
        const bool touches = range.length == 0 ? it->contains(range.location) : overlaps(range, *it);
        if (touches) {
            return true;
        }
    }
    return false;
}

std::vector<TextRange> spellingWords(std::u16string_view paragraph) {
    std::vector<TextRange> words;
    if (paragraph.empty()) {
        return words;
    }
    const std::vector<TextRange> literal = literalRanges(paragraph);
    icu::UnicodeString holder(false, paragraph.data(), static_cast<int32_t>(paragraph.size()));
    icu::BreakIterator &iterator = wordIterator();
    iterator.setText(holder);
    int32_t start = iterator.first();
    for (int32_t end = iterator.next(); end != icu::BreakIterator::DONE; start = end, end = iterator.next()) {
        const int32_t status = iterator.getRuleStatus();
        if (status < UBRK_WORD_LETTER || status >= UBRK_WORD_LETTER_LIMIT) {
            continue;
        }
        const TextRange word = withoutEmphasisMarkers(
            paragraph, rangeBetween(static_cast<std::size_t>(start), static_cast<std::size_t>(end)));
        if (word.length == 0 || overlapsAnyRange(word, literal) ||
            isAddress(textIn(paragraph, surroundingChunk(paragraph, word)))) {
            continue;
        }
        words.push_back(word);
    }
    return words;
}

std::vector<TextRange> paragraphsTouching(std::u16string_view text, TextRange range) {
    std::vector<TextRange> paragraphs;
    const std::size_t first = std::min(range.location, text.size());
    const std::size_t last = std::min(range.end(), text.size());
    std::size_t start = paragraphRange(text, TextRange{first, 0}).location;
    while (true) {
        const TextRange whole = paragraphRange(text, TextRange{start, 0});
        paragraphs.push_back(rangeBetween(start, contentsEnd(text, whole)));
        const std::size_t next = whole.end();
        if (next <= start || next >= text.size() || next >= last) {
            return paragraphs;
        }
        start = next;
    }
}

SpellChecker::SpellChecker(SpellingService &service)
    : service_(service) {}

bool SpellChecker::isCorrect(std::u16string_view word) {
    return service_.isCorrect(text::toUTF8(word));
}

const std::vector<TextRange> &SpellChecker::misspellings(std::u16string_view paragraph) {
    std::u16string key(paragraph);
    if (auto found = remembered_.find(key); found != remembered_.end()) {
        return found->second;
    }
    std::vector<TextRange> misspelled;
    if (service_.isAvailable()) {
        for (TextRange word : spellingWords(paragraph)) {
            if (!isCorrect(textIn(paragraph, word))) {
                misspelled.push_back(word);
            }
        }
    }
    if (remembered_.size() >= rememberedParagraphLimit) {
        remembered_.clear();
    }
    return remembered_.emplace(std::move(key), std::move(misspelled)).first->second;
}

const std::vector<TextRange> *SpellChecker::rememberedMisspellings(std::u16string_view paragraph) const {
    auto found = remembered_.find(std::u16string(paragraph));
    return found == remembered_.end() ? nullptr : &found->second;
}

bool SpellChecker::checkParagraphs(std::u16string_view text, TextRange visible,
                                   const std::vector<TextRange> &codeRanges, Clock::time_point deadline) {
    for (TextRange paragraph : paragraphsTouching(text, visible)) {
        if (overlapsAnyRange(paragraph, codeRanges) || rememberedMisspellings(textIn(text, paragraph)) != nullptr) {
            continue;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        misspellings(textIn(text, paragraph));
    }
    return true;
}

std::vector<TextRange> SpellChecker::misspelledRanges(std::u16string_view text, TextRange visible,
                                                      const std::vector<TextRange> &codeRanges) const {
    std::vector<TextRange> ranges;
    for (TextRange paragraph : paragraphsTouching(text, visible)) {
        if (overlapsAnyRange(paragraph, codeRanges)) {
            continue;
        }
        if (const std::vector<TextRange> *words = rememberedMisspellings(textIn(text, paragraph))) {
            for (TextRange word : *words) {
                ranges.push_back({paragraph.location + word.location, word.length});
            }
        }
    }
    return ranges;
}

std::optional<TextRange> SpellChecker::misspelledWord(std::u16string_view text, std::size_t location,
                                                      const std::vector<TextRange> &codeRanges) {
    const std::vector<TextRange> paragraphs = paragraphsTouching(text, TextRange{location, 0});
    if (paragraphs.empty() || overlapsAnyRange(paragraphs.front(), codeRanges)) {
        return std::nullopt;
    }
    const TextRange paragraph = paragraphs.front();
    for (TextRange word : misspellings(textIn(text, paragraph))) {
        const TextRange absolute{paragraph.location + word.location, word.length};
        if (location >= absolute.location && location <= absolute.end()) {
            return absolute;
        }
    }
    return std::nullopt;
}

std::vector<std::u16string> SpellChecker::suggestions(std::u16string_view word) {
    std::vector<std::u16string> result;
    for (const std::string &suggestion : service_.suggestions(text::toUTF8(word), maximumSuggestions)) {
        result.push_back(text::toUTF16(suggestion));
    }
    return result;
}

void SpellChecker::ignore(std::u16string_view word) {
    service_.ignore(text::toUTF8(word));
    remembered_.clear(); // paragraphs holding the word are correct now
}

void SpellChecker::learn(std::u16string_view word) {
    service_.learn(text::toUTF8(word));
    remembered_.clear();
}

} // namespace velto::editor
