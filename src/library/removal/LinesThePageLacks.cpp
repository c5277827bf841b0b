#include "library/removal/LinesThePageLacks.h"

#include <optional>

namespace VeltoPageLibrary {

namespace {

/// The line without its line break's "\r".
std::string_view withoutCarriageReturn(std::string_view line) {
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    return line;
}

/// The non-empty lines of a text one after the other, each without its line break. A page's text may hold megabytes:
/// the lines are views into it, never copies.
class NonEmptyLines {
public:
    explicit NonEmptyLines(std::string_view text)
        : rest_(text) {}

    /// The next non-empty line; nothing once the text is used up.
    std::optional<std::string_view> next() {
        while (!rest_.empty()) {
            std::size_t end = rest_.find('\n');
            std::string_view line = withoutCarriageReturn(rest_.substr(0, end));
            rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
            if (!line.empty()) {
                return line;
            }
        }
        return std::nullopt;
    }

    /// Passes over lines up to the first that `matches`; whether there was one. The first one is taken, so that as
    /// many lines as possible are left for the lines still to be found after it.
    template <typename Matches> bool skipPastFirst(Matches matches) {
        while (std::optional<std::string_view> line = next()) {
            if (matches(*line)) {
                return true;
            }
        }
        return false;
    }

private:
    std::string_view rest_;
};

/// The last line of a text that does not end with a line break; empty when it does.
std::string_view unfinishedLastLine(std::string_view text) {
    std::size_t lastBreak = text.rfind('\n');
    return lastBreak == std::string_view::npos ? text : text.substr(lastBreak + 1);
}

} // namespace

bool holdsLinesThePageLacks(std::string_view text, std::string_view pageText, bool lastLineMayBeCutShort) {
    std::string_view piece = lastLineMayBeCutShort ? withoutCarriageReturn(unfinishedLastLine(text)) : "";
    if (!piece.empty()) {
        text.remove_suffix(unfinishedLastLine(text).size());
    }
    // The page's lines are gone through once: each of the text's lines is looked for after the one found last.
    NonEmptyLines pageLines(pageText);
    NonEmptyLines lines(text);
    while (std::optional<std::string_view> line = lines.next()) {
        if (!pageLines.skipPastFirst([&](std::string_view pageLine) { return pageLine == *line; })) {
            return true;
        }
    }
    if (!piece.empty()) {
        return !pageLines.skipPastFirst([&](std::string_view pageLine) { return pageLine.starts_with(piece); });
    }
    return false;
}

} // namespace VeltoPageLibrary
