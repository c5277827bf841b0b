#include "editor/rules/MarkdownLineContinuation.h"

#include "editor/text/RegexRunner.h"
#include "editor/text/StringRanges.h"

#include <array>
#include <cstdint>
#include <limits>

namespace velto::editor::MarkdownLineContinuation {

namespace {

/// What a rule makes of its match: the prefix that continues the item and what is left of an empty one.
struct Built {
    std::u16string continuationPrefix;
    std::u16string exitReplacement;
};

using Builder = Built (*)(const RegexMatch &match, std::u16string_view line);

struct Rule {
    const char *pattern;
    Builder build;
};

std::u16string group(const RegexMatch &match, std::size_t index, std::u16string_view line) {
    const TextRange range = match.range(index);
    return range.location == TextRange::notFound ? std::u16string()
                                                 : std::u16string(line.substr(range.location, range.length));
}

/// A box holding x becomes an empty box in the next item.
std::u16string emptyingBoxes(const std::u16string &marker) {
    return RegexRunner::replacingMatches(R"(\[[xX]\])", marker, u"[ ]");
}

Built taskItem(const RegexMatch &match, std::u16string_view line) {
    const std::u16string leading = group(match, 1, line);
    return {leading + emptyingBoxes(group(match, 2, line)), leading};
}

Built bulletItem(const RegexMatch &match, std::u16string_view line) {
    const std::u16string leading = group(match, 1, line);
    return {leading + group(match, 2, line), leading};
}

Built orderedItem(const RegexMatch &match, std::u16string_view line) {
    const std::u16string leading = group(match, 1, line);
    return {leading + nextOrderedNumber(group(match, 2, line)) + group(match, 3, line), leading};
}

Built quoteLine(const RegexMatch &match, std::u16string_view line) {
    return {group(match, 1, line), u""};
}

const std::array<Rule, 4> rules{{
    {R"(^(\s*(?:>\s*)*)([-+*]\s+\[[ xX]\]\s+)(.*)$)", taskItem},
    {R"(^(\s*(?:>\s*)*)([-+*]\s+)(.*)$)", bulletItem},
    {R"(^(\s*(?:>\s*)*)(\d+)(\.\s+)(.*)$)", orderedItem},
    {R"(^(\s*(?:>\s*)+)(.*)$)", quoteLine},
}};

std::optional<RegexMatch> firstMatch(const char *pattern, std::u16string_view line) {
    std::optional<RegexMatch> first;
    RegexRunner::enumerateMatches(pattern, line, [&first](const RegexMatch &match) {
        if (!first) {
            first = match;
        }
    });
    return first;
}

} // namespace

std::u16string nextOrderedNumber(std::u16string_view digits) {
    constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
    std::int64_t number = 0;
    for (char16_t unit : digits) {
        if (unit < u'0' || unit > u'9') {
            return u"1";
        }
        const int digit = unit - u'0';
        if (number > (largest - digit) / 10) {
            return u"1";
        }
        number = number * 10 + digit;
    }
    if (digits.empty() || number == largest) {
        return u"1";
    }
    const std::string next = std::to_string(number + 1);
    return std::u16string(next.begin(), next.end());
}

std::optional<Action> action(std::u16string_view lineBeforeCaret) {
    for (const Rule &rule : rules) {
        const std::optional<RegexMatch> match = firstMatch(rule.pattern, lineBeforeCaret);
        if (!match) {
            continue;
        }
        const TextRange content = match->range(match->groups.size() - 1);
        const Built built = rule.build(*match, lineBeforeCaret);
        const std::u16string_view contentText = lineBeforeCaret.substr(content.location, content.length);
        if (trimmingWhitespaceAndNewlines(contentText).empty()) {
            return Exit{content.location, built.exitReplacement};
        }
        return Continuation{built.continuationPrefix};
    }
    return std::nullopt;
}

} // namespace velto::editor::MarkdownLineContinuation
