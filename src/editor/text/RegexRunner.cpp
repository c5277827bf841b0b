#include "editor/text/RegexRunner.h"

#include "editor/text/StringRanges.h"

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

/// Whether every match of the pattern starts at a line start: it opens with "(?m)^" and offers no
/// alternative outside a group, which could match anywhere. Patterns that read the previous match's
/// end ("\G"), quote text ("\Q") or set flags further on are left to the engine's own search.
bool isAnchoredAtLineStarts(std::string_view pattern) {
    constexpr std::string_view opening = "(?m)^";
    if (pattern.substr(0, opening.size()) != opening) {
        return false;
    }
    int groupDepth = 0;
    int setDepth = 0;
    for (std::size_t index = opening.size(); index < pattern.size(); ++index) {
        const char character = pattern[index];
        if (character == '\\') {
            if (index + 1 < pattern.size() && (pattern[index + 1] == 'G' || pattern[index + 1] == 'Q')) {
                return false;
            }
            ++index; // the escaped character is literal
        } else if (setDepth > 0) {
            setDepth += character == '[' ? 1 : character == ']' ? -1 : 0;
        } else if (character == '[') {
            setDepth = 1;
            index += pattern.substr(index + 1, 1) == "^" ? 1 : 0;
            index += pattern.substr(index + 1, 1) == "]" ? 1 : 0; // a "]" first in a set is literal
        } else if (character == '(') {
            const std::string_view kind = pattern.substr(index + 1, 2);
            if (kind.size() == 2 && kind[0] == '?' &&
                std::string_view(":=!<>").find(kind[1]) == std::string_view::npos) {
                return false; // flags set inside the pattern
            }
            ++groupDepth;
        } else if (character == ')') {
            --groupDepth;
        } else if (character == '|' && groupDepth == 0) {
            return false;
        }
    }
    return true;
}

/// A compiled pattern with what the runner knows of its shape.
struct CompiledPattern {
    const icu::RegexPattern *pattern = nullptr;
    bool anchoredAtLineStarts = false;
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

/// The first place at or after `from`, up to `limit`, where the engine's search for a pattern opening
/// with "(?m)^" tries a match: the text's start and the places after a line terminator, but not the
/// one between a carriage return and its line feed. `limit` when there is none.
std::size_t nextLineStartCandidate(std::u16string_view text, std::size_t from, std::size_t limit, bool &found) {
    found = true;
    if (from == 0) {
        return 0;
    }
    const std::u16string_view searched = text.substr(0, limit);
    std::size_t position = from;
    while (position <= limit) {
        const char16_t before = text[position - 1];
        if (isPatternLineTerminator(before) && !(before == u'\r' && position < limit && text[position] == u'\n')) {
            return position;
        }
        if (position == limit) {
            break;
        }
        const std::size_t terminator = findPatternLineTerminator(searched, position);
        if (terminator >= limit) {
            break;
        }
        position = terminator + 1;
    }
    found = false;
    return limit;
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

/// What the engine's search finds in the range for a pattern anchored at line starts, found by trying
/// the pattern at each place the search would try it: the search itself also walks every unit between
/// them, which on long lines costs more than the tries. Each try matches in the same region end and
/// with the same transparent bounds as the search, so it finds what the search finds there; after a
/// match the next try lies at or after its end (one further after an empty match), as in the search.
void matchAtLineStarts(icu::RegexMatcher &matcher, std::u16string_view text, TextRange range,
                       const std::function<void()> &report, UErrorCode &status) {
    const std::size_t limit = range.end();
    bool found = false;
    std::size_t candidate = nextLineStartCandidate(text, range.location, limit, found);
    while (found) {
        matcher.region(static_cast<int64_t>(candidate), static_cast<int64_t>(limit), status);
        const bool matched = matcher.lookingAt(status);
        if (U_FAILURE(status)) {
            return; // out of budget (U_REGEX_TIME_OUT): treated as no further match
        }
        std::size_t next = candidate + 1;
        if (matched) {
            report();
            const auto end = static_cast<std::size_t>(matcher.end(status));
            next = end > candidate ? end : candidate + 1;
        }
        if (next > limit) {
            return;
        }
        candidate = nextLineStartCandidate(text, next, limit, found);
    }
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
    const auto report = [&] {
        for (int32_t group = 0; group <= groupCount; ++group) {
            match.groups[static_cast<std::size_t>(group)] = groupRange(*matcher, group);
        }
        handler(match);
    };
    const bool anchored = isAnchoredAtLineStarts(pattern);
    for (const TextRange range : ranges) {
        if (range.length == 0) {
            continue;
        }
        status = U_ZERO_ERROR;
        if (anchored) {
            matchAtLineStarts(*matcher, text, range, report, status);
        } else {
            matcher->region(static_cast<int64_t>(range.location), static_cast<int64_t>(range.end()), status);
            while (U_SUCCESS(status)) {
                if (!matcher->find(status) || U_FAILURE(status)) {
                    break; // no further match, or out of budget (U_REGEX_TIME_OUT): treated as no match
                }
                report();
            }
        }
        if (status == U_REGEX_TIME_OUT) {
            break;
        }
    }
    return true;
}

void enumerateAtLineStarts(std::u16string_view text, const std::vector<TextRange> &ranges,
                           const LineStartMatcher &matchAt, const std::function<void(const RegexMatch &)> &handler) {
    for (const TextRange range : ranges) {
        if (range.length == 0) {
            continue;
        }
        const std::size_t limit = range.end();
        bool found = false;
        for (std::size_t candidate = nextLineStartCandidate(text, range.location, limit, found); found;
             candidate = nextLineStartCandidate(text, candidate, limit, found)) {
            const std::optional<RegexMatch> match = matchAt(text, candidate, limit);
            std::size_t next = candidate + 1;
            if (match) {
                handler(*match);
                next = std::max(match->range().end(), candidate + 1);
            }
            if (next > limit) {
                break;
            }
            candidate = next;
        }
    }
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
