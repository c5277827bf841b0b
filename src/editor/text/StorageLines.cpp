#include "editor/text/StorageLines.h"

#include "editor/text/EnclosingRange.h"
#include "editor/text/StringRanges.h"

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

namespace {

std::size_t lineFeedLineStart(const TextStorage &storage, std::size_t position) {
    const std::size_t feed = storage.findBackward(u'\n', position);
    return feed == TextRange::notFound ? 0 : feed + 1;
}

std::size_t lineFeedLineEnd(const TextStorage &storage, std::size_t position) {
    const std::size_t length = storage.length();
    const std::size_t feed = storage.findForward(u'\n', position);
    return feed < length ? feed + 1 : length;
}

} // namespace

TextRange lineFeedLines(const TextStorage &storage, TextRange range) {
    return rangeBetween(lineFeedLineStart(storage, range.location), lineFeedLineEnd(storage, range.end()));
}

} // namespace velto::editor
