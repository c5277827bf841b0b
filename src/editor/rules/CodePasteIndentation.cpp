#include "editor/rules/CodePasteIndentation.h"

#include "editor/rules/Indentation.h"
#include "editor/text/StringRanges.h"

#include <numeric>
#include <vector>

namespace velto::editor::CodePasteIndentation {

namespace {

struct Leading {
    std::size_t length = 0; // units of the leading spaces and tabs
    std::size_t width = 0;  // columns they advance
};

Leading leadingRun(std::u16string_view line) {
    Leading leading;
    while (leading.length < line.size() && (line[leading.length] == u' ' || line[leading.length] == u'\t')) {
        leading.width = line[leading.length] == u'\t' ? (leading.width / 4 + 1) * 4 : leading.width + 1;
        ++leading.length;
    }
    return leading;
}

std::vector<std::u16string_view> splitAtLineFeeds(std::u16string_view text) {
    std::vector<std::u16string_view> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(u'\n', start);
        if (end == std::u16string_view::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace

std::u16string normalize(std::u16string_view text, EditorIndentationChoice choice) {
    const std::vector<std::u16string_view> lines = splitAtLineFeeds(text);
    std::size_t step = 0;
    for (std::u16string_view line : lines) {
        const Leading leading = leadingRun(line);
        if (leading.length > 0 && !trimmingWhitespaceAndNewlines(line).empty()) {
            step = std::gcd(step, leading.width);
        }
    }
    if (step == 0) {
        return std::u16string(text);
    }
    const std::u16string_view unit = Indentation::unitText(choice);
    std::u16string result;
    result.reserve(text.size());
    for (std::size_t index = 0; index < lines.size(); ++index) {
        if (index > 0) {
            result += u'\n';
        }
        const Leading leading = leadingRun(lines[index]);
        for (std::size_t level = 0; leading.length > 0 && level < leading.width / step; ++level) {
            result += unit;
        }
        result += lines[index].substr(leading.length);
    }
    return result;
}

} // namespace velto::editor::CodePasteIndentation
