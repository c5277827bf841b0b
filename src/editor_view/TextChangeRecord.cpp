#include "editor_view/TextChangeRecord.h"

namespace velto::editor {

AttributedText AttributedText::from(const TextStorage &storage, TextRange range) {
    AttributedText piece{storage.substring(range), {}};
    if (range.length == 0) {
        return piece;
    }
    piece.runs = storage.attributeRuns(range);
    for (AttributeRun &run : piece.runs) {
        run.range.location -= range.location;
    }
    return piece;
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
