#include "library/LinesThePageLacks.h"

#include <set>

namespace VeltoPageLibrary {

namespace {

/// The lines of a text, each without its line break; empty lines left out, as they carry no one's words.
std::set<std::string_view> nonEmptyLines(std::string_view text) {
    std::set<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            lines.insert(line);
        }
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

/// The last line of a text that does not end with a line break; empty when it does.
std::string_view unfinishedLastLine(std::string_view text) {
    std::size_t lastBreak = text.rfind('\n');
    return lastBreak == std::string_view::npos ? text : text.substr(lastBreak + 1);
}

/// Whether the piece is how one of the lines begins.
bool beginsALine(std::string_view piece, const std::set<std::string_view> &lines) {
    for (std::string_view line : lines) {
        if (line.starts_with(piece)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool holdsLinesThePageLacks(std::string_view text, std::string_view pageText, bool lastLineMayBeCutShort) {
    const std::set<std::string_view> pageLines = nonEmptyLines(pageText);
    if (lastLineMayBeCutShort) {
        std::string_view piece = unfinishedLastLine(text);
        if (!piece.empty() && (pageText.ends_with('\n') || beginsALine(piece, pageLines))) {
            text.remove_suffix(piece.size());
        }
    }
    for (std::string_view line : nonEmptyLines(text)) {
        if (!pageLines.contains(line)) {
            return true;
        }
    }
    return false;
}

} // namespace VeltoPageLibrary
