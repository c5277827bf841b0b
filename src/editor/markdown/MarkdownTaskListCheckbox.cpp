#include "editor/markdown/MarkdownTaskListCheckbox.h"

#include "editor/text/StorageLines.h"
#include "editor/text/StringRanges.h"

#include <algorithm>

namespace velto::editor {

namespace {

bool isBlank(char16_t unit) {
    return unit == u' ' || unit == u'\t';
}

/// The end of the task-item prefix at the start of the line ("  - [x]"), or none.
std::optional<std::size_t> taskPrefixEnd(std::u16string_view line) {
    std::size_t position = 0;
    while (position < line.size() && isBlank(line[position])) {
        ++position;
    }
    if (position >= line.size() || (line[position] != u'-' && line[position] != u'+' && line[position] != u'*')) {
        return std::nullopt;
    }
    ++position;
    const std::size_t blanksStart = position;
    while (position < line.size() && isBlank(line[position])) {
        ++position;
    }
    if (position == blanksStart || position + 3 > line.size()) {
        return std::nullopt;
    }
    const char16_t mark = line[position + 1];
    if (line[position] != u'[' || (mark != u' ' && mark != u'x' && mark != u'X') || line[position + 2] != u']') {
        return std::nullopt;
    }
    return position + 3;
}

/// The box the three characters of the range make, reading only them from the storage.
std::optional<MarkdownTaskListCheckbox> boxIn(TextRange range, const TextStorage &storage) {
    if (range.length != 3 || range.location > storage.length() || storage.length() - range.location < 3) {
        return std::nullopt;
    }
    std::optional<MarkdownTaskListCheckbox> box =
        MarkdownTaskListCheckbox::make(TextRange{0, 3}, storage.substring(range));
    if (box) {
        box->range = range;
    }
    return box;
}

} // namespace

std::optional<MarkdownTaskListCheckbox> MarkdownTaskListCheckbox::make(TextRange range, std::u16string_view source) {
    if (range.length != 3 || range.location > source.size() || source.size() - range.location < 3) {
        return std::nullopt;
    }
    const std::u16string_view box = source.substr(range.location, 3);
    if (box == u"[ ]") {
        return MarkdownTaskListCheckbox{range, State::unchecked};
    }
    if (box == u"[x]" || box == u"[X]") {
        return MarkdownTaskListCheckbox{range, State::checked};
    }
    return std::nullopt;
}

std::optional<MarkdownTaskListCheckbox> MarkdownTaskListCheckbox::onLine(std::ptrdiff_t index,
                                                                         std::u16string_view source) {
    const std::size_t clamped = index < 0 ? 0 : std::min(static_cast<std::size_t>(index), source.size());
    const TextRange line = lineRange(source, TextRange{clamped, 0});
    const std::optional<std::size_t> end = taskPrefixEnd(source.substr(line.location, line.length));
    if (!end) {
        return std::nullopt;
    }
    return make(TextRange{line.location + *end - 3, 3}, source);
}

std::optional<MarkdownTaskListCheckbox> MarkdownTaskListCheckbox::onLine(std::ptrdiff_t index,
                                                                         const TextStorage &storage) {
    const std::size_t clamped = index < 0 ? 0 : std::min(static_cast<std::size_t>(index), storage.length());
    const TextStretch line = linesAround(storage, TextRange{clamped, 0});
    std::optional<MarkdownTaskListCheckbox> box =
        onLine(static_cast<std::ptrdiff_t>(clamped - line.range.location), line.text);
    if (box) {
        box->range.location += line.range.location;
    }
    return box;
}

std::u16string MarkdownTaskListCheckbox::accessibilityLabel(std::u16string_view source) const {
    const std::size_t start = std::min(range.end(), source.size());
    const std::size_t end = lineEnd(source, start);
    const std::u16string_view rest = trimmingWhitespaceAndNewlines(source.substr(start, end - start));
    return rest.empty() ? std::u16string(u"Task checkbox") : std::u16string(rest);
}

std::optional<MarkdownTaskListCheckbox> taskCheckbox(std::ptrdiff_t index, const TextStorage &storage) {
    if (index < 0 || static_cast<std::size_t>(index) >= storage.length()) {
        return std::nullopt;
    }
    TextRange effective;
    if (storage.attribute(AttributeKey::veltoTaskCheckbox, static_cast<std::size_t>(index), &effective,
                          TextRange{0, storage.length()}) == nullptr) {
        return std::nullopt;
    }
    return boxIn(effective, storage);
}

bool toggleTaskCheckbox(EditingTarget &target, const MarkdownTaskListCheckbox &checkbox) {
    if (!target.isEditable()) {
        return false;
    }
    // A box found before the text changed may no longer stand there; it is then left alone.
    if (boxIn(checkbox.range, target.storage()) != checkbox) {
        return false;
    }
    const bool wasChecked = checkbox.state == MarkdownTaskListCheckbox::State::checked;
    const TextRange selection = target.selectedRange();
    if (!target.replaceText(checkbox.range, wasChecked ? u"[ ]" : u"[x]", selection)) {
        return false;
    }
    target.setUndoActionName(wasChecked ? u"Reopen Task" : u"Complete Task");
    return true;
}

} // namespace velto::editor
