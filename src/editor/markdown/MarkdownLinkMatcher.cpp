#include "editor/markdown/MarkdownLinkMatcher.h"

#include "editor/text/StringRanges.h"

#include <cstddef>

namespace velto::editor {

namespace {

constexpr std::size_t none = TextRange::notFound;

/// The characters "." does not match in the engine: line feed, vertical tab, form feed, carriage
/// return, NEL, line separator and paragraph separator.
bool isDotExcluded(char16_t unit) {
    return (unit >= 0x0A && unit <= 0x0D) || unit == 0x85 || unit == 0x2028 || unit == 0x2029;
}

class LinkSearch {
public:
    explicit LinkSearch(std::u16string_view text)
        : text_(text) {}

    /// The match starting at `start`, if any.
    bool matchAt(std::size_t start, RegexMatch &match) {
        std::size_t openEnd = start;
        if (text_[start] == u'!' && start + 1 < text_.size() && text_[start + 1] == u'[') {
            openEnd = start + 2;
        } else if (text_[start] == u'[') {
            openEnd = start + 1;
        } else {
            return false;
        }
        const std::size_t labelEnd = labelEndFrom(openEnd);
        if (labelEnd == openEnd || labelEnd + 1 >= text_.size() || text_[labelEnd] != u']' ||
            text_[labelEnd + 1] != u'(') {
            return false;
        }
        const std::size_t destinationStart = labelEnd + 2;
        const std::size_t closing = closingParenthesisFrom(destinationStart);
        if (closing == none) {
            return false;
        }
        match.groups = {rangeBetween(start, closing + 1),        rangeBetween(start, openEnd),
                        rangeBetween(openEnd, labelEnd),         TextRange{labelEnd, 2},
                        rangeBetween(destinationStart, closing), TextRange{closing, 1}};
        return true;
    }

private:
    /// Where a label starting at `from` stops: at the first "]" or line feed, or the end. Starts
    /// inside the last walked stretch share its stop, which keeps many "[" on one line linear.
    std::size_t labelEndFrom(std::size_t from) {
        if (from >= labelWalkStart_ && from <= labelWalkStop_ && labelWalkStop_ != none) {
            return labelWalkStop_;
        }
        std::size_t position = from;
        while (position < text_.size() && text_[position] != u']' && text_[position] != u'\n') {
            ++position;
        }
        labelWalkStart_ = from;
        labelWalkStop_ = position;
        return position;
    }

    /// The closing parenthesis of a destination starting at `from`, or none.
    std::size_t closingParenthesisFrom(std::size_t from) {
        if (from >= noParenthesisFrom_ && from < noParenthesisUntil_) {
            return none; // walked before: no ")" before the line's end
        }
        std::size_t lastPairedParenthesis = none;
        std::size_t position = from;
        while (position < text_.size()) {
            const char16_t unit = text_[position];
            if (unit == u'\\' && position + 1 < text_.size() && !isDotExcluded(text_[position + 1])) {
                if (text_[position + 1] == u')') {
                    lastPairedParenthesis = position + 1;
                }
                position += 2;
                continue;
            }
            if (unit == u')' || unit == u'\n') {
                break;
            }
            ++position;
        }
        if (position < text_.size() && text_[position] == u')') {
            return position > from ? position : none; // the destination needs one character
        }
        // Out of line: the engine backtracks to the last ")" it passed, which must be a paired one.
        noParenthesisFrom_ = lastPairedParenthesis == none ? from : lastPairedParenthesis + 1;
        noParenthesisUntil_ = position;
        return lastPairedParenthesis;
    }

    std::u16string_view text_;
    std::size_t labelWalkStart_ = none;
    std::size_t labelWalkStop_ = none;
    std::size_t noParenthesisFrom_ = none;
    std::size_t noParenthesisUntil_ = 0;
};

} // namespace

void enumerateMarkdownLinks(std::u16string_view text, const std::function<void(const RegexMatch &)> &handler) {
    LinkSearch search(text);
    RegexMatch match;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t bracket = findUnit(text, position, u'[');
        if (bracket == text.size()) {
            return;
        }
        // The engine tries the "!" before the bracket first; the bracket alone fails where that fails.
        const std::size_t start = bracket > position && text[bracket - 1] == u'!' ? bracket - 1 : bracket;
        if (search.matchAt(start, match)) {
            handler(match);
            position = match.range().end();
        } else {
            position = bracket + 1;
        }
    }
}

} // namespace velto::editor
