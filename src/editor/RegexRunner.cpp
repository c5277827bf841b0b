#include "editor/RegexRunner.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace velto::editor::RegexRunner {

namespace {

// ICU counts its time limit in ticks of 10,000 engine steps. Allowing 200 steps per unit of text is
// generous for every pattern the editor runs (they take a handful per unit), yet stops a pattern that
// backtracks exponentially within a few milliseconds per kilobyte.
constexpr std::int64_t stepsPerTextUnit = 200;
constexpr std::int64_t stepsPerTick = 10000;
constexpr std::int32_t minimumTicks = 20;

struct PatternCache {
    std::mutex mutex;
    // A pattern that fails to compile is not stored.
    std::map<std::string, std::unique_ptr<icu::RegexPattern>, std::less<>> patterns;
};

PatternCache &cache() {
    static auto *instance = new PatternCache;
    return *instance;
}

const icu::RegexPattern *compiledPattern(const std::string &pattern) {
    PatternCache &patternCache = cache();
    std::lock_guard lock(patternCache.mutex);
    auto found = patternCache.patterns.find(pattern);
    if (found != patternCache.patterns.end()) {
        return found->second.get();
    }
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    std::unique_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(pattern), 0, parseError, status));
    if (U_FAILURE(status) || !compiled) {
        return nullptr;
    }
    return patternCache.patterns.emplace(pattern, std::move(compiled)).first->second.get();
}

std::int32_t timeLimitFor(std::size_t textLength) {
    const std::int64_t ticks = static_cast<std::int64_t>(textLength) * stepsPerTextUnit / stepsPerTick;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(ticks, minimumTicks, INT32_MAX));
}

TextRange groupRange(icu::RegexMatcher &matcher, int32_t group) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t start = matcher.start(group, status);
    const int32_t end = matcher.end(group, status);
    if (U_FAILURE(status) || start < 0) {
        return TextRange{TextRange::notFound, 0};
    }
    return rangeBetween(static_cast<std::size_t>(start), static_cast<std::size_t>(end));
}

} // namespace

bool enumerateMatches(const std::string &pattern, std::u16string_view text,
                      const std::function<void(const RegexMatch &)> &handler) {
    return enumerateMatches(pattern, text, {TextRange{0, text.size()}}, handler);
}

bool enumerateMatches(const std::string &pattern, std::u16string_view text, const std::vector<TextRange> &ranges,
                      const std::function<void(const RegexMatch &)> &handler) {
    const icu::RegexPattern *compiled = compiledPattern(pattern);
    if (compiled == nullptr) {
        return false;
    }
    // A read-only alias: ICU reads the storage's own UTF-16 units.
    const icu::UnicodeString input(false, text.data(), static_cast<int32_t>(text.size()));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(input, status));
    if (U_FAILURE(status)) {
        return true;
    }
    matcher->setTimeLimit(timeLimitFor(text.size()), status);
    matcher->useTransparentBounds(true);
    matcher->useAnchoringBounds(false);
    const int32_t groupCount = matcher->groupCount();
    RegexMatch match;
    match.groups.resize(static_cast<std::size_t>(groupCount) + 1);
    for (const TextRange range : ranges) {
        if (range.length == 0) {
            continue;
        }
        status = U_ZERO_ERROR;
        matcher->region(static_cast<int64_t>(range.location), static_cast<int64_t>(range.end()), status);
        while (U_SUCCESS(status)) {
            if (!matcher->find(status) || U_FAILURE(status)) {
                break; // no further match, or out of budget (U_REGEX_TIME_OUT): treated as no match
            }
            for (int32_t group = 0; group <= groupCount; ++group) {
                match.groups[static_cast<std::size_t>(group)] = groupRange(*matcher, group);
            }
            handler(match);
        }
        if (status == U_REGEX_TIME_OUT) {
            break;
        }
    }
    return true;
}

std::u16string replacingMatches(const std::string &pattern, std::u16string_view text,
                                const std::u16string &replacementTemplate) {
    const icu::RegexPattern *compiled = compiledPattern(pattern);
    if (compiled == nullptr) {
        return std::u16string(text);
    }
    const icu::UnicodeString input(false, text.data(), static_cast<int32_t>(text.size()));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(input, status));
    if (U_FAILURE(status)) {
        return std::u16string(text);
    }
    matcher->setTimeLimit(timeLimitFor(text.size()), status);
    const icu::UnicodeString replacement(false, replacementTemplate.data(),
                                         static_cast<int32_t>(replacementTemplate.size()));
    icu::UnicodeString result = matcher->replaceAll(replacement, status);
    if (U_FAILURE(status)) {
        return std::u16string(text);
    }
    return std::u16string(result.getBuffer(), static_cast<std::size_t>(result.length()));
}

std::size_t compiledPatternCount() {
    PatternCache &patternCache = cache();
    std::lock_guard lock(patternCache.mutex);
    return patternCache.patterns.size();
}

} // namespace velto::editor::RegexRunner
