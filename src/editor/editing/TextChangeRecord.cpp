#include "editor/editing/TextChangeRecord.h"

namespace velto::editor {

std::uint64_t unitsHash(std::u16string_view units) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char16_t unit : units) {
        hash = (hash ^ static_cast<std::uint8_t>(unit & 0xFF)) * 1099511628211ull;
        hash = (hash ^ static_cast<std::uint8_t>(unit >> 8)) * 1099511628211ull;
    }
    return hash;
}

AttributedText AttributedText::from(const TextStorage &storage, TextRange range) {
    AttributedText stretch{storage.substring(range), {}};
    if (range.length == 0) {
        return stretch;
    }
    stretch.runs = storage.attributeRuns(range);
    for (AttributeRun &run : stretch.runs) {
        run.range.location -= range.location;
    }
    return stretch;
}

AttributedText AttributedText::appending(const AttributedText &other) const {
    AttributedText joined = *this;
    joined.text += other.text;
    for (AttributeRun run : other.runs) {
        run.range.location += text.size();
        joined.runs.push_back(run);
    }
    return joined;
}

void AttributedText::replace(TextStorage &storage, TextRange range) const {
    if (runs.empty()) {
        storage.replaceCharacters(range, text);
        return;
    }
    storage.beginEditing();
    storage.replaceCharacters(range, text, runs.front().attributes);
    for (std::size_t index = 1; index < runs.size(); ++index) {
        const AttributeRun &run = runs[index];
        storage.setAttributes(run.attributes, TextRange{range.location + run.range.location, run.range.length});
    }
    storage.endEditing();
}

} // namespace velto::editor
