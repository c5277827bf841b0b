#include "editor/markdown/MarkdownStyler.h"

#include "editor/markdown/MarkdownCodeTokenIndex.h"
#include "editor/markdown/MarkdownStylerMemory.h"
#include "editor/markdown/MarkdownStylerPasses.h"

#include <algorithm>
#include <string_view>

namespace velto::editor::MarkdownStyler {

namespace {

/// The units that end a paragraph (a carriage return and line feed count as one).
constexpr std::u16string_view paragraphSeparators = u"\n\r\u2029";

/// Where the paragraph holding the location starts. The storage is searched chunk by chunk, so a
/// keystroke in a long line costs no lookup per unit.
std::size_t paragraphStartAround(const TextStorage &storage, std::size_t location) {
    std::size_t start = location;
    if (start > 0 && start < storage.length() && storage.characterAt(start) == u'\n' &&
        storage.characterAt(start - 1) == u'\r') {
        --start; // the line feed of a pair ends the paragraph before it
    }
    const std::size_t separator = storage.findLastOf(paragraphSeparators, start);
    return separator == TextRange::notFound ? 0 : separator + 1;
}

/// The paragraph starting at `start`, its terminator included.
TextRange paragraphFrom(const TextStorage &storage, std::size_t start) {
    const std::size_t length = storage.length();
    std::size_t end = storage.findFirstOf(paragraphSeparators, start);
    if (end < length) {
        const bool pair =
            storage.characterAt(end) == u'\r' && end + 1 < length && storage.characterAt(end + 1) == u'\n';
        end += pair ? 2 : 1;
    }
    return rangeBetween(start, end);
}

/// Whether the paragraph styled alone pairs its backticks as the whole text does: no fenced block or code
/// span appeared or went away since the last pass (a backtick typed into a heading can pair with a run
/// lines below it, and every later run then pairs anew), and no span reaches across the paragraph's edges.
bool codePairsWithinParagraph(const TextStorage &storage, TextRange paragraph) {
    const std::shared_ptr<MarkdownCodeTokenIndex> index = codeTokenIndexFor(storage);
    if (index->hasStructureChange()) {
        return false;
    }
    for (const InlineCodeSpan &span : index->inlineCodeSpansOverlapping(paragraph)) {
        if (span.fullRange.location < paragraph.location || span.fullRange.end() > paragraph.end()) {
            return false;
        }
    }
    return true;
}

} // namespace

bool applyImmediateHeadingChange(TextStorage &storage, TextRange editedRange, const std::optional<Color> &color,
                                 const StyleSettings &style) {
    const std::size_t length = storage.length();
    if (length == 0) {
        return false;
    }
    const std::size_t start = paragraphStartAround(storage, std::min(editedRange.location, length));
    const std::size_t probe = std::min(start, length - 1);
    if (storage.attribute(AttributeKey::veltoCodeBlock, probe) != nullptr) {
        return false;
    }
    std::size_t hashes = 0;
    while (hashes < 6 && start + hashes < length && storage.characterAt(start + hashes) == u'#') {
        ++hashes;
    }
    const std::size_t after = start + hashes;
    const bool looksLikeHeading =
        hashes >= 1 && after < length && (storage.characterAt(after) == u' ' || storage.characterAt(after) == u'\t');
    const auto *font = attributeValueAs<FontDescriptor>(storage.attribute(AttributeKey::font, probe));
    const double currentSize = font ? font->pointSize : editorFont(style).pointSize;
    if (!looksLikeHeading && currentSize <= editorFont(style).pointSize) {
        return false;
    }
    // Only a paragraph that is or becomes a heading is read to its end.
    const TextRange paragraph = paragraphFrom(storage, start);
    // A setext title needs its underline to be styled as a heading; styled alone it would turn
    // into body text with nothing left to correct it, so the delayed pass (which sees both) takes it.
    if (paragraph.end() < length && storage.characterAt(paragraph.end()) == u'=') {
        return false;
    }
    // Code paired across the paragraph is left to the delayed pass too, which restyles all it changed.
    if (!codePairsWithinParagraph(storage, paragraph)) {
        return false;
    }
    TextStorage scratch(storage.substring(paragraph));
    applyToScratch(scratch, color, style);
    storage.beginEditing();
    copyAllRuns(scratch, storage, paragraph.location);
    storage.endEditing();
    return true;
}

} // namespace velto::editor::MarkdownStyler
