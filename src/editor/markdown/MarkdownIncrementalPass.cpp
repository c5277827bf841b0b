#include "editor/markdown/MarkdownStyler.h"

#include "editor/highlight/CodeTokenPreservation.h"
#include "editor/markdown/LineCutPoints.h"
#include "editor/markdown/MarkdownCodeTokenIndex.h"
#include "editor/markdown/MarkdownLineWindows.h"
#include "editor/markdown/MarkdownStylerMemory.h"
#include "editor/markdown/MarkdownStylerPasses.h"
#include "editor/text/StorageLines.h"
#include "editor/text/StringRanges.h"

#include <algorithm>
#include <memory>

namespace velto::editor::MarkdownStyler {

namespace {

// ---- regions of the incremental pass ----
//
// No pattern of the full pass reads across a line feed except the setext heading (a title and its
// underline) and the code structure (fenced blocks and inline spans, which the index knows): every
// other match lies within one line-feed line, even where carriage returns or separators split it
// into paragraphs. So a region made of whole line-feed lines, covering every line-feed line whose
// styling may change and cutting no setext heading or code construct, styled alone gives exactly what
// the full pass gives there.

/// The lines of the edit with one line before and one after: an edit can make or unmake a setext
/// heading with either neighbour.
TextRange linesAroundEdit(const TextStorage &storage, TextRange edited) {
    TextRange region = lineFeedLines(storage, edited);
    if (region.location > 0) {
        region = unionRange(region, lineFeedLines(storage, TextRange{region.location - 1, 0}));
    }
    if (region.end() < storage.length()) {
        region = unionRange(region, lineFeedLines(storage, TextRange{region.end(), 0}));
    }
    return region;
}

/// The whole line-feed lines a construct lies on. A construct that ends with a line feed (a fenced block
/// with its closing line) ends its last line there: the line after it is another line's business, and
/// taking it in would reach into the next block, then the one after, down a page of blocks.
TextRange linesOfConstruct(const TextStorage &storage, TextRange construct) {
    if (construct.length > 0 && storage.characterAt(construct.end() - 1) == u'\n') {
        return unionRange(lineFeedLines(storage, TextRange{construct.location, 0}), construct);
    }
    return lineFeedLines(storage, construct);
}

/// The fenced block or inline code span that reaches across the position: it holds the position and begins
/// before it. Blocks never overlap blocks, nor spans spans, so there is at most one of each.
std::optional<TextRange> constructAcross(const MarkdownCodeTokenIndex &index, std::size_t position) {
    if (const std::optional<FencedCodeBlock> block = index.fencedBlockContaining(position);
        block && block->fullRange.location < position) {
        return block->fullRange;
    }
    if (const std::optional<InlineCodeSpan> span = index.inlineCodeSpanContaining(position);
        span && span->fullRange.location < position) {
        return span->fullRange;
    }
    return std::nullopt;
}

/// The region widened until no construct that the full pass sees across lines is cut by its edges:
/// a fenced block, an inline code span over several lines, a setext title and its "=" underline.
/// Styling a cut construct from the region's text alone would style it wrongly (a title two lines
/// below the edit would lose its heading font), so the whole construct is restyled.
/// Only a construct across one of the region's edges cuts it, so each step looks up what lies across
/// the two edges and moves an edge past it: the walk passes each construct once, however many blocks
/// the region comes to hold.
TextRange regionWithoutCutConstructs(const TextStorage &storage, TextRange region,
                                     const MarkdownCodeTokenIndex &index) {
    bool widened = true;
    const auto widenTo = [&region, &widened](TextRange lines) {
        const TextRange wider = unionRange(region, lines);
        widened = widened || wider != region;
        region = wider;
    };
    while (widened) {
        widened = false;
        for (const std::size_t edge : {region.location, region.end()}) {
            if (const std::optional<TextRange> construct = constructAcross(index, edge)) {
                widenTo(linesOfConstruct(storage, *construct));
            }
        }
        if (region.end() < storage.length() && storage.characterAt(region.end()) == u'=') {
            widenTo(lineFeedLines(storage, TextRange{region.end(), 0}));
        }
        if (region.location > 0 && storage.characterAt(region.location) == u'=') {
            widenTo(lineFeedLines(storage, TextRange{region.location - 1, 0}));
        }
    }
    return region;
}

/// The lines of an edit that lie wholly inside a fenced block's contents, or none. The full pass
/// gives every unit there the block's code attributes and nothing else (its highlighted tokens
/// aside), whatever the text, so while the blocks stay as they were such lines need no pattern.
std::optional<TextRange> linesInsideCodeContents(const TextStorage &storage, const MarkdownCodeTokenIndex &index,
                                                 TextRange edited) {
    const TextRange lines = lineFeedLines(storage, edited);
    // An edit at the very end after a line feed leaves no line of its own: the block holding the
    // unit before it (an unclosed one, running to the end) is the one it changed.
    const bool emptyAtEnd = lines.length == 0 && lines.location > 0;
    const std::optional<FencedCodeBlock> block =
        index.fencedBlockContaining(emptyAtEnd ? lines.location - 1 : lines.location);
    if (!block || lines.location < block->contentRange.location || lines.end() > block->contentRange.end()) {
        return std::nullopt;
    }
    // Only a block whose opening line ends with a line feed or carriage return is styled as code (a
    // line separator ends the fence line but does not make the block code).
    const TextRange opening = block->opening.lineRange;
    const char16_t last = opening.length > 0 ? storage.characterAt(opening.end() - 1) : u'\0';
    if (last != u'\n' && last != u'\r') {
        return std::nullopt;
    }
    // The first content line can underline the opening line as a setext title, and that title runs
    // from the start of its line-feed line: text before the fence on that line (after a carriage
    // return or a separator) lies outside the block and may change.
    const bool openingStartsItsLine = opening.location == 0 || storage.characterAt(opening.location - 1) == u'\n';
    if (lines.location == block->contentRange.location && !openingStartsItsLine) {
        return std::nullopt;
    }
    return lines;
}

void restyleCodeLines(TextStorage &storage, const MarkdownCodeTokenIndex &index, TextRange lines,
                      const std::optional<Color> &color, const StyleSettings &style) {
    if (lines.length == 0) {
        return;
    }
    const std::vector<PreservedCodeToken> preserved = preservedCodeTokens(storage, lines);
    const DocumentStructure structure{index.fencedBlocksOverlapping(lines), {}};
    storage.beginEditing();
    storage.setAttributes(
        codeAttributes(color.value_or(textColor()), style).with(AttributeKey::veltoCodeBlock, codeBackgroundColor()),
        lines);
    restoreCodeTokens(preserved, structure, storage);
    storage.endEditing();
}

/// The range moved from the text to a copy of the text that starts at `copyStart`.
TextRange inCopy(TextRange range, std::size_t copyStart) {
    return TextRange{range.location - copyStart, range.length};
}

/// The code structure of a copy of the region, from the constructs the index holds there: the region cuts
/// none of them, so a scan of the copy alone would find the same ones, and the copy is not read again for them.
DocumentStructure structureInCopy(std::vector<FencedCodeBlock> blocks, std::vector<InlineCodeSpan> spans,
                                  TextRange region) {
    for (FencedCodeBlock &block : blocks) {
        block.opening.lineRange = inCopy(block.opening.lineRange, region.location);
        block.opening.markerRange = inCopy(block.opening.markerRange, region.location);
        block.contentRange = inCopy(block.contentRange, region.location);
        if (block.closingRange) {
            block.closingRange = inCopy(*block.closingRange, region.location);
        }
        block.fullRange = inCopy(block.fullRange, region.location);
        block.presentationRange = inCopy(block.presentationRange, region.location);
    }
    for (InlineCodeSpan &span : spans) {
        span.fullRange = inCopy(span.fullRange, region.location);
        span.contentRange = inCopy(span.contentRange, region.location);
    }
    return DocumentStructure{std::move(blocks), std::move(spans)};
}

/// How a styled copy goes back: only the runs that changed, so that the view lays out again only what
/// changed around an edit, or every run in one walk, for text that was not styled yet.
enum class RunsCopied { changed, all };

/// Styles a copy of the region alone, copies its runs back (keeping the code tokens in place) and
/// places the cut points of its long lines anew. The region cuts no construct read across lines.
void restyleWholeRegion(TextStorage &storage, const MarkdownCodeTokenIndex &index, TextRange region,
                        LineCutPoints &cutPoints, const std::optional<Color> &color, const StyleSettings &style,
                        RunsCopied copied) {
    TextStorage scratch = storage.substringStorage(region);
    const DocumentStructure structure{index.fencedBlocksOverlapping(region), {}};
    LongLineMatches recorded;
    applyToScratch(scratch, structureInCopy(structure.fencedBlocks, index.inlineCodeSpansOverlapping(region), region),
                   color, style, &recorded);
    const std::vector<PreservedCodeToken> preserved = preservedCodeTokens(storage, region);
    storage.beginEditing();
    if (copied == RunsCopied::changed) {
        copyAllRuns(scratch, storage, region.location);
    } else {
        storage.setAttributes(scratch, region.location);
    }
    restoreCodeTokens(preserved, structure, storage);
    storage.endEditing();
    std::vector<std::size_t> points;
    for (const std::size_t point : LineCutPoints::of(scratch.string(), recorded.lines, std::move(recorded.matches))) {
        points.push_back(region.location + point);
    }
    cutPoints.replace(region, points);
}

TextRange applyIncrementalPass(TextStorage &storage, TextRange editedRange, const std::optional<Color> &color,
                               const StyleSettings &style) {
    const std::size_t length = storage.length();
    if (length == 0) {
        return TextRange{0, 0};
    }
    const std::shared_ptr<MarkdownCodeTokenIndex> index = codeTokenIndexFor(storage);
    // Where fenced blocks or code spans appeared or went away since the last pass: a backtick typed
    // here can pair every later run differently, and all of that must be restyled.
    const std::optional<TextRange> structureChange = index->takeStructureChange();
    const TextRange edited = rangeBetween(std::min(editedRange.location, length), std::min(editedRange.end(), length));
    LineCutPoints cutPoints = currentCutPoints(storage);
    if (!structureChange) {
        const auto edits = characterEditsSinceLastPass(storage, baseAttributes(color.value_or(textColor()), style));
        if (edits) {
            if (const auto window = restyleWithinLongLine(storage, *index, *edits, cutPoints, color, style)) {
                rememberCutPoints(storage, std::move(cutPoints));
                return *window;
            }
        }
        if (const std::optional<TextRange> lines = linesInsideCodeContents(storage, *index, edited)) {
            restyleCodeLines(storage, *index, *lines, color, style);
            rememberCutPoints(storage, std::move(cutPoints));
            return *lines;
        }
    }
    TextRange region = linesAroundEdit(storage, edited);
    if (structureChange) {
        const TextRange changed =
            rangeBetween(std::min(structureChange->location, length), std::min(structureChange->end(), length));
        region = unionRange(region, lineFeedLines(storage, changed));
    }
    region = regionWithoutCutConstructs(storage, region, *index);
    if (region.location == 0 && region.length == length) {
        apply(storage, color, style);
        return region;
    }
    restyleWholeRegion(storage, *index, region, cutPoints, color, style, RunsCopied::changed);
    rememberCutPoints(storage, std::move(cutPoints));
    return region;
}

} // namespace

TextRange apply(TextStorage &storage, TextRange editedRange, const std::optional<Color> &color,
                const StyleSettings &style) {
    const TextRange region = applyIncrementalPass(storage, editedRange, color, style);
    rememberPass(storage, baseAttributes(color.value_or(textColor()), style));
    return region;
}

void beginRestyleInRegions(const TextStorage &storage) {
    // Every region is restyled by a region pass: what the incremental pass would take as changed is in
    // one of them, and each places the cut points of its long lines anew.
    codeTokenIndexFor(storage)->takeStructureChange();
    rememberCutPoints(storage, LineCutPoints());
}

TextRange applyToRegion(TextStorage &storage, TextRange range, const std::optional<Color> &color,
                        const StyleSettings &style) {
    const std::size_t length = storage.length();
    if (length == 0) {
        return TextRange{0, 0};
    }
    const std::shared_ptr<MarkdownCodeTokenIndex> index = codeTokenIndexFor(storage);
    const TextRange clamped = rangeBetween(std::min(range.location, length), std::min(range.end(), length));
    const TextRange region = regionWithoutCutConstructs(storage, lineFeedLines(storage, clamped), *index);
    if (region.location == 0 && region.length == length) {
        apply(storage, color, style); // without a copy of the whole text
        return region;
    }
    LineCutPoints cutPoints = currentCutPoints(storage);
    restyleWholeRegion(storage, *index, region, cutPoints, color, style, RunsCopied::all);
    rememberCutPoints(storage, std::move(cutPoints));
    return region;
}

} // namespace velto::editor::MarkdownStyler
