#include "editor/LineStartRanges.h"

#include "editor/StringRanges.h"

namespace velto::editor {

namespace {

/// Adds the range, merging it into the last one when they meet.
void addMerged(std::vector<TextRange> &ranges, TextRange range) {
    if (range.length == 0) {
        return;
    }
    if (!ranges.empty() && ranges.back().end() >= range.location) {
        ranges.back() = unionRange(ranges.back(), range);
    } else {
        ranges.push_back(range);
    }
}

std::size_t lineFeedLineEnd(std::u16string_view text, std::size_t position, std::size_t limit) {
    const std::size_t feed = findUnit(text.substr(0, limit), position, u'\n');
    return feed < limit ? feed + 1 : limit;
}

} // namespace

bool isPatternLineTerminator(char16_t unit) {
    return (unit >= 0x0A && unit <= 0x0D) || unit == 0x85 || unit == 0x2028 || unit == 0x2029;
}

std::vector<TextRange> lineStartRanges(std::u16string_view text, const std::vector<TextRange> &within, bool afterBlanks,
                                       const std::function<bool(char16_t)> &begins) {
    std::vector<TextRange> ranges;
    for (const TextRange searched : within) {
        const std::size_t end = searched.end();
        std::size_t position = searched.location;
        while (position < end) {
            const bool lineStart = position == 0 || isPatternLineTerminator(text[position - 1]);
            if (lineStart) {
                std::size_t first = position;
                while (afterBlanks && first < end && (text[first] == u' ' || text[first] == u'\t')) {
                    ++first;
                }
                if (first < end && begins(text[first])) {
                    const std::size_t lineEnd = lineFeedLineEnd(text, position, end);
                    addMerged(ranges, rangeBetween(position, lineEnd));
                    position = lineEnd;
                    continue;
                }
            }
            // On to the next line start.
            while (position < end && !isPatternLineTerminator(text[position])) {
                ++position;
            }
            ++position;
        }
    }
    return ranges;
}

std::vector<TextRange> underlinedLineRanges(std::u16string_view text, const std::vector<TextRange> &within) {
    std::vector<TextRange> ranges;
    for (const TextRange searched : within) {
        const std::size_t end = searched.end();
        for (std::size_t feed = findUnit(text.substr(0, end), searched.location, u'\n'); feed + 1 < end;
             feed = findUnit(text.substr(0, end), feed + 1, u'\n')) {
            if (text[feed + 1] != u'=') {
                continue;
            }
            std::size_t titleStart = feed;
            while (titleStart > searched.location && text[titleStart - 1] != u'\n') {
                --titleStart;
            }
            addMerged(ranges, rangeBetween(titleStart, lineFeedLineEnd(text, feed + 1, end)));
        }
    }
    return ranges;
}

} // namespace velto::editor
