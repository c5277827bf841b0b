#include "editor/markdown/ListLineMatchers.h"

namespace velto::editor {

namespace {

bool isBlank(char16_t unit) {
    return unit == u' ' || unit == u'\t';
}

bool isBullet(char16_t unit) {
    return unit == u'-' || unit == u'+' || unit == u'*';
}

bool isDigit(char16_t unit) {
    return unit >= u'0' && unit <= u'9';
}

/// The first position at or after `position`, up to `limit`, that holds no blank.
std::size_t skipBlanks(std::u16string_view text, std::size_t position, std::size_t limit) {
    while (position < limit && isBlank(text[position])) {
        ++position;
    }
    return position;
}

} // namespace

// No part of either pattern can give back what it took and still match: a blank run given back leaves a blank
// where a bullet, digit or "[" must be, a digit run given back a digit where the dot must be. So one walk
// forward decides, as the engine's backtracking would.

std::optional<RegexMatch> matchListMarker(std::u16string_view text, std::size_t start, std::size_t limit) {
    const std::size_t marker = skipBlanks(text, start, limit);
    std::size_t markerEnd = marker;
    if (markerEnd < limit && isBullet(text[markerEnd])) {
        ++markerEnd;
    } else {
        while (markerEnd < limit && isDigit(text[markerEnd])) {
            ++markerEnd;
        }
        if (markerEnd == marker || markerEnd == limit || text[markerEnd] != u'.') {
            return std::nullopt;
        }
        ++markerEnd;
    }
    const std::size_t end = skipBlanks(text, markerEnd, limit);
    if (end == markerEnd) {
        return std::nullopt;
    }
    return RegexMatch{{rangeBetween(start, end), rangeBetween(marker, markerEnd)}};
}

std::optional<RegexMatch> matchTaskBox(std::u16string_view text, std::size_t start, std::size_t limit) {
    const std::size_t bullet = skipBlanks(text, start, limit);
    if (bullet == limit || !isBullet(text[bullet])) {
        return std::nullopt;
    }
    const std::size_t box = skipBlanks(text, bullet + 1, limit);
    if (box == bullet + 1 || limit - box < 3 || text[box] != u'[' || text[box + 2] != u']') {
        return std::nullopt;
    }
    const char16_t mark = text[box + 1];
    if (mark != u' ' && mark != u'x' && mark != u'X') {
        return std::nullopt;
    }
    return RegexMatch{{rangeBetween(start, box + 3), rangeBetween(box, box + 3)}};
}

} // namespace velto::editor
