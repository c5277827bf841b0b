#include "editor/markdown/MarkdownBareAddresses.h"

#include "editor/text/StringRanges.h"

#include <unicode/uchar.h>

namespace velto::editor {

namespace {

constexpr std::size_t none = TextRange::notFound;

/// Whether an address runs on over the unit: "[^\s<>()]".
bool isAddressUnit(char16_t unit) {
    if (unit == u'<' || unit == u'>' || unit == u'(' || unit == u')' || unit == u' ') {
        return false;
    }
    if (unit < 0x80) {
        return unit < 0x09 || unit > 0x0D;
    }
    return !u_hasBinaryProperty(unit, UCHAR_WHITE_SPACE);
}

bool holdsAt(std::u16string_view text, std::size_t position, std::u16string_view expected) {
    return text.substr(position, expected.size()) == expected;
}

/// Where an address whose scheme ends with the colon at `colon` starts, at or after `from`, with
/// where the part after its scheme begins; none when no scheme ends there.
std::pair<std::size_t, std::size_t> schemeAround(std::u16string_view text, std::size_t colon, std::size_t from) {
    if (colon >= from + 6 && holdsAt(text, colon - 6, u"mailto")) {
        return {colon - 6, colon + 1};
    }
    const bool slashes = holdsAt(text, colon + 1, u"//");
    if (slashes && colon >= from + 5 && holdsAt(text, colon - 5, u"https")) {
        return {colon - 5, colon + 3};
    }
    if (slashes && colon >= from + 4 && holdsAt(text, colon - 4, u"http")) {
        return {colon - 4, colon + 3};
    }
    return {none, none};
}

} // namespace

void enumerateBareAddresses(std::u16string_view text, const std::vector<TextRange> &ranges,
                            const std::function<void(const RegexMatch &)> &handler) {
    RegexMatch match;
    match.groups.resize(1);
    for (const TextRange range : ranges) {
        const std::u16string_view searched = text.substr(0, range.end());
        std::size_t position = range.location;
        while (true) {
            const std::size_t colon = findUnit(searched, position, u':');
            if (colon >= searched.size()) {
                break;
            }
            // Every unit of a scheme but its colon lies before the colon, and none is a colon: the
            // addresses of later colons start after this one.
            const auto [start, rest] = schemeAround(searched, colon, position);
            std::size_t end = rest;
            while (start != none && end < searched.size() && isAddressUnit(searched[end])) {
                ++end;
            }
            if (start == none || end == rest) {
                position = colon + 1;
                continue;
            }
            match.groups[0] = rangeBetween(start, end);
            handler(match);
            position = end;
        }
    }
}

} // namespace velto::editor
