#include "editor/StorageLines.h"

#include "editor/EnclosingRange.h"
#include "editor/StringRanges.h"

namespace velto::editor {

namespace {

/// The storage seen as an indexable text, for the shared line walk.
struct StorageUnits {
    const TextStorage &storage;
    std::size_t size() const { return storage.length(); }
    char16_t operator[](std::size_t index) const { return storage.characterAt(index); }
};

} // namespace

TextRange lineRange(const TextStorage &storage, TextRange range) {
    return detail::enclosingRange(StorageUnits{storage}, range, isLineTerminator);
}

TextRange paragraphRange(const TextStorage &storage, TextRange range) {
    return detail::enclosingRange(StorageUnits{storage}, range, detail::isParagraphSeparator);
}

TextStretch linesAround(const TextStorage &storage, TextRange range) {
    const TextRange lines = lineRange(storage, range);
    return TextStretch{lines, storage.substring(lines)};
}

} // namespace velto::editor
