#include "editor/markdown/LineStartRanges.h"

#include "editor/text/StringRanges.h"

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

std::vector<LineStart> lineStarts(std::u16string_view text, const std::vector<TextRange> &within) {
    std::vector<LineStart> starts;
    for (const TextRange searched : within) {
        const std::size_t end = searched.end();
        std::size_t position = searched.location;
        const std::u16string_view searchedText = text.substr(0, end);
        if (position > 0 && !isPatternLineTerminator(text[position - 1])) {
            position = findPatternLineTerminator(searchedText, position) + 1;
        }
        while (position < end) {
            LineStart line{position, text[position], 0, end};
            std::size_t first = position;
            while (first < end && (text[first] == u' ' || text[first] == u'\t')) {
                ++first;
            }
            line.firstAfterBlanks = first < end ? text[first] : 0;
            starts.push_back(line);
            position = findPatternLineTerminator(searchedText, first) + 1;
        }
    }
    return starts;
}

std::vector<TextRange> lineStartRanges(std::u16string_view text, const std::vector<LineStart> &starts, bool afterBlanks,
                                       const std::function<bool(char16_t)> &begins) {
    std::vector<TextRange> ranges;
    for (const LineStart &line : starts) {
        if (!ranges.empty() && line.start < ranges.back().end()) {
            continue; // already inside the window of an earlier line start on the same line-feed line
        }
        if (begins(afterBlanks ? line.firstAfterBlanks : line.first)) {
            addMerged(ranges, rangeBetween(line.start, lineFeedLineEnd(text, line.start, line.limit)));
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
