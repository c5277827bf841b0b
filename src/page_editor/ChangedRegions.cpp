#include "page_editor/ChangedRegions.h"

#include "model/LineDiff.h"

#include <algorithm>
#include <unordered_map>

namespace velto::editor {
namespace {

/// Where each line starts, a line ending after its line feed; the text's length closes the list.
std::vector<std::size_t> lineStarts(std::u16string_view text) {
    std::vector<std::size_t> starts{0};
    for (std::size_t index = 0; index < text.size(); ++index) {
        if (text[index] == u'\n' && index + 1 < text.size()) {
            starts.push_back(index + 1);
        }
    }
    if (!text.empty()) {
        starts.push_back(text.size());
    }
    return starts;
}

/// The lines' numbers, equal lines of both texts getting equal numbers.
std::vector<LineNumber> numbersOf(std::u16string_view text, const std::vector<std::size_t> &starts,
                                  std::unordered_map<std::u16string_view, LineNumber> &numbers) {
    std::vector<LineNumber> result;
    for (std::size_t line = 0; line + 1 < starts.size(); ++line) {
        const std::u16string_view key = text.substr(starts[line], starts[line + 1] - starts[line]);
        result.push_back(numbers.try_emplace(key, static_cast<LineNumber>(numbers.size())).first->second);
    }
    return result;
}

} // namespace

ChangedRegions::ChangedRegions(std::u16string_view before, std::u16string_view after) {
    if (before != after && !findByLines(before, after)) {
        findAsOneRegion(before, after);
    }
}

bool ChangedRegions::findByLines(std::u16string_view before, std::u16string_view after) {
    const std::vector<std::size_t> beforeLines = lineStarts(before);
    const std::vector<std::size_t> afterLines = lineStarts(after);
    std::unordered_map<std::u16string_view, LineNumber> numbers;
    const std::vector<LineNumber> beforeNumbers = numbersOf(before, beforeLines, numbers);
    const std::vector<LineNumber> afterNumbers = numbersOf(after, afterLines, numbers);
    const std::optional<LineDifference> difference = shortestLineDifference(beforeNumbers, afterNumbers);
    if (!difference) {
        return false;
    }
    const std::size_t beforeCount = beforeNumbers.size();
    const std::size_t afterCount = afterNumbers.size();
    auto beforeStart = [&](std::size_t line) { return line < beforeCount ? beforeLines[line] : before.size(); };
    auto afterStart = [&](std::size_t line) { return line < afterCount ? afterLines[line] : after.size(); };
    std::size_t b = 0;
    std::size_t a = 0;
    while (b < beforeCount || a < afterCount) {
        const bool bothKept = b < beforeCount && a < afterCount && !difference->removed[b] && !difference->inserted[a];
        if (bothKept) {
            ++b;
            ++a;
            continue;
        }
        Region region{beforeStart(b), 0, afterStart(a), 0};
        const std::size_t fromB = b;
        const std::size_t fromA = a;
        while (b < beforeCount && difference->removed[b]) {
            ++b;
        }
        while (a < afterCount && difference->inserted[a]) {
            ++a;
        }
        if (b == fromB && a == fromA) {
            regions_.clear();
            return false; // the lines left on one side are kept on it alone: no script of these texts
        }
        region.beforeTo = beforeStart(b);
        region.afterTo = afterStart(a);
        // Changed lines that both end in a line feed keep it: a place inside them ends at the end of their text,
        // not at the start of the next line.
        if (region.beforeTo > region.beforeFrom && region.afterTo > region.afterFrom &&
            before[region.beforeTo - 1] == u'\n' && after[region.afterTo - 1] == u'\n') {
            region.beforeTo -= 1;
            region.afterTo -= 1;
        }
        regions_.push_back(region);
    }
    return true;
}

void ChangedRegions::findAsOneRegion(std::u16string_view before, std::u16string_view after) {
    const std::size_t shorter = std::min(before.size(), after.size());
    std::size_t prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < shorter - prefix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
        ++suffix;
    }
    regions_.push_back({prefix, before.size() - suffix, prefix, after.size() - suffix});
}

std::size_t ChangedRegions::map(std::size_t position) const {
    for (const Region &region : regions_) {
        if (position <= region.beforeFrom) {
            return position - region.beforeFrom + region.afterFrom;
        }
        if (position < region.beforeTo) {
            return region.afterTo;
        }
    }
    if (regions_.empty()) {
        return position;
    }
    const Region &last = regions_.back();
    return position - last.beforeTo + last.afterTo;
}

} // namespace velto::editor
