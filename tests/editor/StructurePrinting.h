#pragma once

#include "editor/markdown/MarkdownSyntaxScanner.h"

#include <ostream>

// Readable fenced blocks and code spans in test failures.
namespace velto::editor {

inline std::ostream &operator<<(std::ostream &stream, const FencedCodeBlock &block) {
    stream << "block{full " << block.fullRange << ", opening line " << block.opening.lineRange << ", content "
           << block.contentRange << ", closing ";
    if (block.closingRange) {
        stream << *block.closingRange;
    } else {
        stream << "none";
    }
    return stream << ", presentation " << block.presentationRange << ", marker " << block.opening.markerRange << " x"
                  << block.opening.length << ", indentation " << block.opening.indentation.size() << ", info of "
                  << block.opening.infoString.size() << '}';
}

inline std::ostream &operator<<(std::ostream &stream, const InlineCodeSpan &span) {
    return stream << "span{full " << span.fullRange << ", content " << span.contentRange << '}';
}

} // namespace velto::editor
