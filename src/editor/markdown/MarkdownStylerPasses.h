#pragma once

#include "editor/markdown/MarkdownStyler.h"
#include "editor/markdown/MarkdownSyntaxScanner.h"
#include "editor/text/TextStorage.h"

#include <functional>
#include <optional>
#include <vector>

// What the styler's narrower passes share with its full pass: the pass over a copy of part of the
// text, the matches it notes in long lines, and copying the copy's runs back.
namespace velto::editor::MarkdownStyler {

/// The matches a pass finds in its long lines, each as the search found it, before any check drops
/// it (a search resumes after every match it finds, kept or not): what the lines' cut points are
/// placed by.
struct LongLineMatches {
    std::vector<TextRange> lines; // the long line-feed lines, in text order
    std::vector<TextRange> matches;

    /// Keeps the match when it touches one of the lines.
    void note(TextRange match);
};

/// The full pass over the storage whose code structure is given.
///
/// With `recorded`, the pass also notes the matches it finds in long lines there: in the lines it
/// names, or when it names none, in the text's own long lines, which it then names.
void applyFullPass(TextStorage &storage, const std::optional<Color> &color, const StyleSettings &style,
                   const std::function<DocumentStructure()> &structureOfText,
                   FullPassSearch search = FullPassSearch::outsideStyledCode, LongLineMatches *recorded = nullptr);

/// Replaces the attributes of the storage from `offset` on with the runs of the styled scratch copy
/// over the range. A run that the storage already holds as it is stays untouched: most of a large
/// region comes out of its pass as it went in, and leaving it alone spares the run buffer and the
/// view's relayout.
void copyRuns(const TextStorage &scratch, TextRange range, TextStorage &storage, std::size_t offset);

/// Copies every run of the styled scratch copy into the storage from `offset` on.
void copyAllRuns(const TextStorage &scratch, TextStorage &storage, std::size_t offset);

/// The full pass over a scratch copy, which gets no code index of its own: its code structure is scanned from
/// its text.
void applyToScratch(TextStorage &scratch, const std::optional<Color> &color, const StyleSettings &style,
                    LongLineMatches *recorded = nullptr);
/// As above with the copy's code structure given, as the caller's code index knows it for the copied text.
void applyToScratch(TextStorage &scratch, DocumentStructure structure, const std::optional<Color> &color,
                    const StyleSettings &style, LongLineMatches *recorded = nullptr);

} // namespace velto::editor::MarkdownStyler
