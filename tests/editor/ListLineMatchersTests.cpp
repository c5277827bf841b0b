#include "editor/markdown/LineStartRanges.h"
#include "editor/markdown/ListLineMatchers.h"
#include "editor/text/RegexRunner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace velto::editor;

namespace {

std::string matchesText(const std::vector<RegexMatch> &matches) {
    std::string text;
    for (const RegexMatch &match : matches) {
        for (const TextRange group : match.groups) {
            text += std::to_string(group.location) + "+" + std::to_string(group.length) + " ";
        }
        text += "| ";
    }
    return text;
}

/// The matches of the matcher and of the engine's pattern, over the whole text and over the windows of the
/// lines that begin with a list bullet or digit (as the styler searches), as text for comparing.
std::pair<std::string, std::string> matchedBoth(std::u16string_view text, std::string_view pattern,
                                                const RegexRunner::LineStartMatcher &matcher) {
    std::vector<RegexMatch> ours;
    std::vector<RegexMatch> engines;
    const auto begins = [](char16_t unit) {
        return unit == u'-' || unit == u'+' || unit == u'*' || (unit >= u'0' && unit <= u'9');
    };
    const std::vector<TextRange> whole{TextRange{0, text.size()}};
    for (const std::vector<TextRange> &ranges : {whole, lineStartRanges(text, lineStarts(text, whole), true, begins)}) {
        RegexRunner::enumerateAtLineStarts(text, ranges, matcher,
                                           [&](const RegexMatch &match) { ours.push_back(match); });
        RegexRunner::enumerateMatches(std::string(pattern), text, ranges,
                                      [&](const RegexMatch &match) { engines.push_back(match); });
    }
    return {matchesText(ours), matchesText(engines)};
}

} // namespace

TEST(ListLineMatchersTests, MatchWhatTheEngineMatchesOnListLines) {
    const std::u16string lines[] = {
        u"- item",         u"  * item",    u"\t+\titem",     u"-item",           u"-",          u"- ",
        u"12. item",       u"12.item",     u"12 item",       u". item",          u"1.",         u"1. ",
        u"- [ ] task",     u"- [x] done",  u"* [X]",         u"-  \t[ ]",        u"- [] no",    u"- [y] no",
        u"- [ ",           u"-[ ] no",     u"1. [ ] number", u"   - nested",     u"- - double", u"x - not",
        u"- item\r- next", u"1.\u2028- a", u"-\u0085- b",    u"\U0001F600 - no", u"--- rule",   u"**bold**",
    };
    const std::u16string separators[] = {u"\n", u"\r\n", u"\r", u"\u2028", u"\u2029", u"\v", u"\f"};
    for (const std::u16string &separator : separators) {
        std::u16string text;
        for (const std::u16string &line : lines) {
            text.append(line).append(separator);
        }
        text += u"- last";
        const auto [markers, engineMarkers] = matchedBoth(text, listMarkerPattern, matchListMarker);
        EXPECT_EQ(markers, engineMarkers) << "separator " << static_cast<int>(separator.back());
        const auto [boxes, engineBoxes] = matchedBoth(text, taskBoxPattern, matchTaskBox);
        EXPECT_EQ(boxes, engineBoxes) << "separator " << static_cast<int>(separator.back());
    }
}

TEST(ListLineMatchersTests, MatchWhatTheEngineMatchesOnRandomText) {
    const std::u16string alphabet = u" \t-+*[]xX.019a\n\r\u2028";
    std::mt19937 random(45);
    for (int round = 0; round < 300; ++round) {
        std::u16string text;
        const std::size_t length = random() % 60;
        for (std::size_t k = 0; k < length; ++k) {
            text += alphabet[random() % alphabet.size()];
        }
        const auto [markers, engineMarkers] = matchedBoth(text, listMarkerPattern, matchListMarker);
        ASSERT_EQ(markers, engineMarkers) << "round " << round;
        const auto [boxes, engineBoxes] = matchedBoth(text, taskBoxPattern, matchTaskBox);
        ASSERT_EQ(boxes, engineBoxes) << "round " << round;
    }
}
