#pragma once

#include "editor/text/TextRange.h"
#include "editor/text/TextStorage.h"

#include <string>

// Lines and paragraphs of the editor's storage, found unit by unit around a position: a keystroke's
// rules read the line they act on without gathering the whole text into one string.
namespace velto::editor {

/// The whole lines the range touches, terminator of the last one included (as lineRange on a string).
TextRange lineRange(const TextStorage &storage, TextRange range);
/// The whole paragraphs the range touches, terminator of the last one included.
TextRange paragraphRange(const TextStorage &storage, TextRange range);

/// The whole line-feed lines the range touches, the line feed of the last one included: the lines the
/// styler's patterns stay within, whatever other terminators split them.
TextRange lineFeedLines(const TextStorage &storage, TextRange range);

/// A stretch of the text copied out, with where it starts.
struct TextStretch {
    TextRange range;
    std::u16string text;
};

/// The whole lines the range touches, copied out.
TextStretch linesAround(const TextStorage &storage, TextRange range);

} // namespace velto::editor
