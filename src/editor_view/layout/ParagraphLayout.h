#pragma once

#include "editor/text/TextAttributes.h"
#include "editor/text/TextRange.h"
#include "editor/text/TextStorage.h"
#include "editor_view/layout/CaretPlace.h"

#include <QRectF>
#include <QTextLayout>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace velto::editor {

class LayoutFormats;

/// Where a laid-out piece sits in its paragraph: a paragraph longer than a segment is laid out in
/// several pieces, and only the first carries the spacing before, only the last the spacing after.
struct SegmentPlace {
    bool firstOfParagraph = true;
    bool lastOfParagraph = true;
};

/// A stretch of inline code that must stay on one line, in units of the laid-out text.
struct UnbreakableSpan {
    std::size_t start = 0;
    std::size_t end = 0;
    bool operator==(const UnbreakableSpan &) const = default;
};

/// One line of a laid-out piece, in the piece's coordinates: the line's box from its top to the top
/// of the next line (line spacing included) and the height of its glyphs.
struct LaidOutLine {
    std::size_t start = 0;  // in units of the piece
    std::size_t length = 0; // without a hidden line separator's width
    double top = 0;
    double height = 0;  // of the glyph box: ascent, descent and leading (or the minimum line height)
    double advance = 0; // to the next line: height plus line spacing
    bool operator==(const LaidOutLine &) const = default;
};

/// What a piece's layout reads of its range of the storage: the text and its attribute runs.
struct PieceContents {
    std::u16string text;
    std::vector<AttributeRun> runs;
    static PieceContents of(const TextStorage &storage, TextRange range);
};

/// The text layout of one piece of a paragraph (its contents, separator left out) at a given width,
/// built from the storage's attribute runs: fonts, colours, kern, underline and strike-through per
/// run; spacing, indents, minimum line height and the wrapping mode from the paragraph's style.
class ParagraphLayout {
public:
    /// Lays out the storage's `range` (inside one paragraph) for a text container `width` wide.
    /// `paragraphAttributes` are those at the paragraph's first unit, or the typing attributes of an
    /// empty paragraph; they give the paragraph style and the font of an empty line.
    ParagraphLayout(const TextStorage &storage, TextRange range, const Attributes &paragraphAttributes,
                    SegmentPlace place, double width, LayoutFormats &formats);
    /// The same, from the range's contents read before.
    ParagraphLayout(const TextStorage &storage, TextRange range, const PieceContents &contents,
                    const Attributes &paragraphAttributes, SegmentPlace place, double width, LayoutFormats &formats);

    TextRange range() const { return range_; }
    double height() const { return height_; }
    double width() const { return width_; }
    /// The laid-out glyphs; lines carry their positions in the piece's coordinates.
    const QTextLayout &textLayout() const { return layout_; }
    const std::vector<LaidOutLine> &lines() const { return lines_; }

    /// The line showing the offset (units of the piece); the end belongs to the last line. An offset where a
    /// line wraps belongs to the next line, or with the upstream affinity to the line that wraps.
    std::size_t lineIndexForOffset(std::size_t offset, CaretAffinity affinity = CaretAffinity::downstream) const;
    /// The line nearest to a vertical position in the piece's coordinates.
    std::size_t lineIndexAt(double y) const;
    /// The x of the caret before the unit at `offset` on its line (the line that wraps, when upstream).
    double caretX(std::size_t offset, CaretAffinity affinity = CaretAffinity::downstream) const;
    /// The caret's place nearest to a point in the piece's coordinates (see `placeOnLine`).
    CaretPlace placeAt(QPointF point) const;
    /// The caret's place on a line nearest to an x. Past the end of a line that wraps, the caret stays on
    /// it: before the blank the line broke at, or after its last unit (a hyphen, a character of a word too
    /// long for the line) with the upstream affinity.
    CaretPlace placeOnLine(std::size_t line, double x) const;
    /// Whether a line wraps after a unit the caret can show after: anything but a blank.
    bool wrapsAfterVisibleUnit(std::size_t line) const;
    /// The glyph box of a line: its x extent across the container, its glyph height.
    QRectF lineRect(std::size_t line) const;
    /// How many units of text the layout holds (what the layout cache counts against its budget).
    std::size_t units() const { return range_.length; }

    /// How wide the first line of a piece may be: the container less the paragraph style's indents.
    static double firstLineWidth(const ParagraphStyle &style, SegmentPlace place, double containerWidth);

private:
    static double lineWidth(double tailIndent, double indent, double containerWidth);
    void layOutLines(const TextStorage &storage, bool keepsInlineCodeWhole, double containerWidth,
                     LayoutFormats &formats);

    TextRange range_;
    double width_;
    double height_ = 0;
    double spacingBefore_ = 0;
    double spacingAfter_ = 0;
    double lineSpacing_ = 0;
    double minimumLineHeight_ = 0;
    double firstLineHeadIndent_ = 0;
    double headIndent_ = 0;
    double tailIndent_ = 0;
    bool firstOfParagraph_ = true;
    QTextLayout layout_;
    std::vector<LaidOutLine> lines_;
};

/// The inline code spans of a piece that must not break: those whose width plus 6 fits the container.
/// A span wider than that may still break between its words.
std::vector<UnbreakableSpan> unbreakableInlineCode(const TextStorage &storage, TextRange range, double containerWidth,
                                                   LayoutFormats &formats);

/// Where a line that the layout would end at `proposedEnd` must end instead so that no unbreakable span
/// is split: the start of the span it falls inside, when that span starts after the line does.
std::size_t lineEndKeepingSpansWhole(std::size_t lineStart, std::size_t proposedEnd,
                                     const std::vector<UnbreakableSpan> &spans);

} // namespace velto::editor
