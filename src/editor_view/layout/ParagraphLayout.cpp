#include "editor_view/layout/ParagraphLayout.h"

#include "editor/markdown/MarkdownStyler.h"
#include "editor/text/TextStorage.h"
#include "editor_view/layout/LayoutFormats.h"
#include "editor_view/layout/QtText.h"

#include <QFontMetricsF>
#include <QTextOption>

#include <algorithm>
#include <optional>

namespace velto::editor {

namespace {

/// The platform's default distance between tab stops.
constexpr double tabStopDistance = 28;
/// What a short inline code span needs beyond its own width to stay on one line.
constexpr double inlineCodeSlack = 6;

double measuredWidth(const TextStorage &storage, TextRange range, LayoutFormats &formats) {
    double width = 0;
    for (const AttributeRun &run : storage.attributeRuns(range)) {
        const QFontMetricsF metrics(formats.characterFormat(run.attributes).font());
        width += metrics.horizontalAdvance(qtString(storage.substring(run.range)));
    }
    return width;
}

} // namespace

std::vector<UnbreakableSpan> unbreakableInlineCode(const TextStorage &storage, TextRange range, double containerWidth,
                                                   LayoutFormats &formats) {
    std::vector<UnbreakableSpan> spans;
    storage.enumerateAttribute(
        AttributeKey::veltoInlineCode, range, [&](const AttributeValue *value, TextRange stretch) {
            if (value == nullptr || stretch.length < 2) {
                return;
            }
            if (containerWidth < measuredWidth(storage, stretch, formats) + inlineCodeSlack) {
                return; // too wide for one line: it may break between words
            }
            spans.push_back(UnbreakableSpan{stretch.location - range.location, stretch.end() - range.location});
        });
    return spans;
}

std::size_t lineEndKeepingSpansWhole(std::size_t lineStart, std::size_t proposedEnd,
                                     const std::vector<UnbreakableSpan> &spans) {
    for (const UnbreakableSpan &span : spans) {
        if (span.start < proposedEnd && proposedEnd < span.end) {
            return span.start > lineStart ? span.start : proposedEnd;
        }
    }
    return proposedEnd;
}

PieceContents PieceContents::of(const TextStorage &storage, TextRange range) {
    return PieceContents{storage.substring(range), storage.attributeRuns(range)};
}

ParagraphLayout::ParagraphLayout(const TextStorage &storage, TextRange range, const Attributes &paragraphAttributes,
                                 SegmentPlace place, double width, LayoutFormats &formats)
    : ParagraphLayout(storage, range, PieceContents::of(storage, range), paragraphAttributes, place, width, formats) {}

ParagraphLayout::ParagraphLayout(const TextStorage &storage, TextRange range, const PieceContents &contents,
                                 const Attributes &paragraphAttributes, SegmentPlace place, double width,
                                 LayoutFormats &formats)
    : range_(range)
    , width_(width)
    , firstOfParagraph_(place.firstOfParagraph) {
    const ParagraphStyle *found =
        attributeValueAs<ParagraphStyle>(paragraphAttributes.find(AttributeKey::paragraphStyle));
    const ParagraphStyle style = found != nullptr ? *found : ParagraphStyle{};
    spacingBefore_ = place.firstOfParagraph ? style.paragraphSpacingBefore : 0;
    spacingAfter_ = place.lastOfParagraph ? style.paragraphSpacing : 0;
    lineSpacing_ = style.lineSpacing;
    minimumLineHeight_ = style.minimumLineHeight;
    firstLineHeadIndent_ = style.firstLineHeadIndent;
    headIndent_ = style.headIndent;
    tailIndent_ = style.tailIndent;

    layout_.setText(qtString(contents.text));
    layout_.setFont(formats.font(paragraphAttributes));
    QTextOption option;
    option.setWrapMode(style.lineBreakMode == LineBreakMode::byCharWrapping
                           ? QTextOption::WrapAnywhere
                           : QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(tabStopDistance);
    layout_.setTextOption(option);
    layout_.setCacheEnabled(true);

    QList<QTextLayout::FormatRange> ranges;
    for (const AttributeRun &run : contents.runs) {
        ranges.append(QTextLayout::FormatRange{static_cast<int>(run.range.location - range.location),
                                               static_cast<int>(run.range.length),
                                               formats.characterFormat(run.attributes)});
    }
    layout_.setFormats(ranges);

    const bool keepsInlineCodeWhole = style.lineBreakMode == LineBreakMode::byWordWrapping;
    layOutLines(storage, keepsInlineCodeWhole, width, formats);
}

double ParagraphLayout::firstLineWidth(const ParagraphStyle &style, SegmentPlace place, double containerWidth) {
    return lineWidth(style.tailIndent, place.firstOfParagraph ? style.firstLineHeadIndent : style.headIndent,
                     containerWidth);
}

double ParagraphLayout::lineWidth(double tailIndent, double indent, double containerWidth) {
    const double rightEdge = tailIndent <= 0 ? containerWidth + tailIndent : tailIndent;
    return std::max(1.0, rightEdge - indent);
}

void ParagraphLayout::layOutLines(const TextStorage &storage, bool keepsInlineCodeWhole, double containerWidth,
                                  LayoutFormats &formats) {
    double y = spacingBefore_;
    bool firstLine = firstOfParagraph_;
    // Which inline code spans must stay whole matters only where a line wraps: a span ends at the text's end
    // at the latest, so a line that ends there splits none. Most paragraphs are one line and never measure them.
    std::optional<std::vector<UnbreakableSpan>> unbreakable;
    layout_.beginLayout();
    for (QTextLine line = layout_.createLine(); line.isValid(); line = layout_.createLine()) {
        const double indent = firstLine ? firstLineHeadIndent_ : headIndent_;
        const double available = lineWidth(tailIndent_, indent, containerWidth);
        line.setLeadingIncluded(true);
        line.setLineWidth(available);
        const auto start = static_cast<std::size_t>(line.textStart());
        const std::size_t proposedEnd = start + static_cast<std::size_t>(line.textLength());
        std::size_t end = proposedEnd;
        if (keepsInlineCodeWhole && proposedEnd < range_.length) {
            if (!unbreakable) {
                unbreakable = unbreakableInlineCode(storage, range_, containerWidth, formats);
            }
            end = lineEndKeepingSpansWhole(start, proposedEnd, *unbreakable);
        }
        if (end != proposedEnd) {
            line.setNumColumns(static_cast<int>(end - start), available);
        }
        const double natural = line.height();
        const double height = std::max(natural, minimumLineHeight_);
        line.setPosition(QPointF(indent, y + (height - natural)));
        lines_.push_back(
            LaidOutLine{start, static_cast<std::size_t>(line.textLength()), y, height, height + lineSpacing_});
        y += height + lineSpacing_;
        firstLine = false;
    }
    layout_.endLayout();
    height_ = y + spacingAfter_;
}

std::size_t ParagraphLayout::lineIndexForOffset(std::size_t offset, CaretAffinity affinity) const {
    for (std::size_t k = 0; k + 1 < lines_.size(); ++k) {
        if (offset < lines_[k + 1].start || (affinity == CaretAffinity::upstream && offset == lines_[k + 1].start)) {
            return k;
        }
    }
    return lines_.empty() ? 0 : lines_.size() - 1;
}

std::size_t ParagraphLayout::lineIndexAt(double y) const {
    std::size_t found = 0;
    for (std::size_t k = 0; k < lines_.size(); ++k) {
        if (lines_[k].top <= y) {
            found = k;
        }
    }
    return found;
}

double ParagraphLayout::caretX(std::size_t offset, CaretAffinity affinity) const {
    if (lines_.empty()) {
        return 0;
    }
    const QTextLine line = layout_.lineAt(static_cast<int>(lineIndexForOffset(offset, affinity)));
    return line.cursorToX(static_cast<int>(offset));
}

CaretPlace ParagraphLayout::placeAt(QPointF point) const {
    if (lines_.empty()) {
        return {};
    }
    return placeOnLine(lineIndexAt(point.y()), point.x());
}

CaretPlace ParagraphLayout::placeOnLine(std::size_t index, double x) const {
    if (lines_.empty()) {
        return {};
    }
    const QTextLine line = layout_.lineAt(static_cast<int>(index));
    const auto offset = static_cast<std::size_t>(std::max(0, line.xToCursor(x)));
    const std::size_t lineEnd = lines_[index].start + lines_[index].length;
    if (wrapsAfterVisibleUnit(index)) {
        // Nearer to the line's end than to its last unit's start: after that unit, still on this line.
        const double lastUnitX = line.cursorToX(static_cast<int>(lineEnd - 1));
        const double endX = line.cursorToX(static_cast<int>(lineEnd));
        if (offset + 1 >= lineEnd && x >= (lastUnitX + endX) / 2) {
            return {lineEnd, CaretAffinity::upstream};
        }
        return {std::min(offset, lineEnd - 1)};
    }
    if (index + 1 < lines_.size() && offset >= lineEnd && lineEnd > lines_[index].start) {
        return {lineEnd - 1};
    }
    return {offset};
}

bool ParagraphLayout::wrapsAfterVisibleUnit(std::size_t index) const {
    const LaidOutLine &line = lines_[index];
    if (index + 1 >= lines_.size() || line.length == 0) {
        return false;
    }
    return !layout_.text().at(static_cast<qsizetype>(line.start + line.length - 1)).isSpace();
}

QRectF ParagraphLayout::lineRect(std::size_t index) const {
    const LaidOutLine &line = lines_[index];
    const QTextLine textLine = layout_.lineAt(static_cast<int>(index));
    return QRectF(textLine.x(), line.top, textLine.width(), line.height);
}

} // namespace velto::editor
