#include "editor_view/view/TextViewPainter.h"

#include "editor/markdown/MarkdownStyler.h"
#include "editor/text/TextStorage.h"
#include "editor_view/layout/LayoutCache.h"
#include "editor_view/layout/LayoutFormats.h"
#include "editor_view/layout/QtText.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>

namespace velto::editor {

namespace {

constexpr double codeBlockInset = 2;
constexpr double codeBlockOverhang = 5;
constexpr double codeBlockRadius = 7;
constexpr double inlineCodeWidening = 3;
constexpr double inlineCodeShrink = 1;
constexpr double inlineCodeRadius = 4;
constexpr double inlineCodeOutlineWidth = 0.5;
constexpr double inlineCodeOutlineBlend = 0.14;
constexpr double ruleInset = 2;

/// The x of the caret before `offset` (units of the piece) on one given line of the piece.
double xOnLine(const QTextLine &line, std::size_t offset) {
    return line.cursorToX(static_cast<int>(offset));
}

} // namespace

bool selectionIntersectsParagraph(TextRange paragraph, std::size_t textLength, std::optional<char16_t> lastUnit,
                                  const std::vector<TextRange> &selectedRanges) {
    for (const TextRange &selection : selectedRanges) {
        if (selection.length > 0) {
            if (overlaps(selection, paragraph)) {
                return true;
            }
            continue;
        }
        const std::size_t caret = selection.location;
        if (paragraph.location <= caret && caret < paragraph.end()) {
            return true;
        }
        const bool endsInLineBreak = lastUnit && (*lastUnit == u'\n' || *lastUnit == u'\r');
        if (caret == paragraph.end() && caret == textLength && !endsInLineBreak) {
            return true;
        }
    }
    return false;
}

QRectF codeBlockRect(double top, double bottom, QSizeF inset, double viewWidth) {
    const double width = std::max(0.0, viewWidth - 2 * inset.width() - 2 * codeBlockInset);
    return QRectF(inset.width() + codeBlockInset, top + inset.height() - codeBlockOverhang, width,
                  bottom - top + 2 * codeBlockOverhang);
}

QRectF inlineCodePieceRect(QRectF glyphBox) {
    return glyphBox.adjusted(-inlineCodeWidening, inlineCodeShrink, inlineCodeWidening, -inlineCodeShrink);
}

TextRange TextViewPainter::visibleCharacterRange(QRectF rect, QSizeF inset) {
    const double top = rect.top() - inset.height();
    const double bottom = rect.bottom() - inset.height();
    const std::vector<LayoutCache::Piece> pieces = cache_.piecesBetween(top, bottom);
    if (pieces.empty()) {
        return TextRange{0, 0};
    }
    std::size_t start = pieces.front().start;
    for (const LaidOutLine &line : pieces.front().layout->lines()) {
        if (pieces.front().top + line.top + line.advance > top) {
            start = pieces.front().start + line.start;
            break;
        }
    }
    std::size_t end = pieces.back().start + pieces.back().layout->range().length;
    for (const LaidOutLine &line : pieces.back().layout->lines()) {
        if (pieces.back().top + line.top >= bottom) {
            end = pieces.back().start + line.start;
            break;
        }
    }
    // Whole paragraphs' separators belong to what is shown.
    const TextRange lastParagraph = cache_.index().paragraphRange(pieces.back().paragraph);
    if (end == pieces.back().start + pieces.back().layout->range().length) {
        end = std::max(end, lastParagraph.end());
    }
    return rangeBetween(start, std::min(end, storage_.length()));
}

void TextViewPainter::paint(QPainter &painter, QRectF rect, const TextViewPaintState &state) {
    cache_.beginPass();
    painter.fillRect(rect, state.background);
    const TextRange visible = visibleCharacterRange(rect, state.inset);
    painter.setRenderHint(QPainter::Antialiasing, true);
    drawCodeBlocks(painter, rect, visible, state);
    drawInlineCode(painter, rect, visible, state);
    drawText(painter, rect, state);
    drawMisspellings(painter, rect, state);
    drawPreedit(painter, state);
    drawCaret(painter, state);
    drawHorizontalRules(painter, rect, visible, state);
}

TextRange TextViewPainter::codeBlockRange(std::size_t index) {
    // A block's longest range walks all its token runs; the answer holds until the storage changes.
    if (blockRangesVersion_ != storage_.finishedEditingGroups() || blockRangesLength_ != storage_.length()) {
        blockRanges_.clear();
        blockRangesVersion_ = storage_.finishedEditingGroups();
        blockRangesLength_ = storage_.length();
    }
    for (const TextRange &known : blockRanges_) {
        if (known.contains(index)) {
            return known;
        }
    }
    TextRange block;
    storage_.attribute(AttributeKey::veltoCodeBlock, index, &block, TextRange{0, storage_.length()});
    blockRanges_.push_back(block);
    return block;
}

void TextViewPainter::drawCodeBlocks(QPainter &painter, QRectF rect, TextRange visible,
                                     const TextViewPaintState &state) {
    std::size_t index = visible.location;
    while (index < visible.end()) {
        TextRange run;
        const Color *color = attributeValueAs<Color>(storage_.attribute(AttributeKey::veltoCodeBlock, index, &run));
        if (color == nullptr || run.length == 0) {
            index = std::max(run.end(), index + 1);
            continue;
        }
        // The longest range of one background: a block's highlighted tokens split it into many runs,
        // and one rounded rectangle must cover all its lines.
        const TextRange block = codeBlockRange(index);
        const QRectF first = cache_.lineRectFor(block.location);
        const QRectF last = cache_.lineRectFor(block.end() - 1);
        const QRectF shape = codeBlockRect(first.top(), last.bottom(), state.inset, state.viewWidth);
        if (shape.intersects(rect)) {
            QPainterPath path;
            path.addRoundedRect(shape, codeBlockRadius, codeBlockRadius);
            painter.fillPath(path, colorFor(*color, state.appearance));
        }
        index = std::max(block.end(), index + 1);
    }
}

void TextViewPainter::drawInlineCode(QPainter &painter, QRectF rect, TextRange visible,
                                     const TextViewPaintState &state) {
    const double top = rect.top() - state.inset.height();
    const double bottom = rect.bottom() - state.inset.height();
    storage_.enumerateAttribute(
        AttributeKey::veltoInlineCode, visible, [&](const AttributeValue *value, TextRange span) {
            const Color *color = attributeValueAs<Color>(value);
            if (color == nullptr || span.length == 0) {
                return;
            }
            const QColor fill = colorFor(*color, state.appearance);
            const QColor outline = blended(fill, labelColorFor(state.appearance), inlineCodeOutlineBlend);
            for (const LayoutCache::Piece &piece : cache_.piecesBetween(top, bottom)) {
                const QTextLayout &layout = piece.layout->textLayout();
                const auto &lines = piece.layout->lines();
                for (std::size_t k = 0; k < lines.size(); ++k) {
                    const std::size_t lineStart = piece.start + lines[k].start;
                    const std::size_t lineEnd = lineStart + lines[k].length;
                    const std::size_t from = std::max(span.location, lineStart);
                    const std::size_t to = std::min(span.end(), lineEnd);
                    if (from >= to) {
                        continue;
                    }
                    const QTextLine line = layout.lineAt(static_cast<int>(k));
                    const double left = xOnLine(line, from - piece.start);
                    const double right = xOnLine(line, to - piece.start);
                    const QRectF glyphBox(state.inset.width() + std::min(left, right),
                                          state.inset.height() + piece.top + lines[k].top, std::abs(right - left),
                                          lines[k].height);
                    const QRectF shape = inlineCodePieceRect(glyphBox);
                    if (!shape.intersects(rect)) {
                        continue;
                    }
                    QPainterPath path;
                    path.addRoundedRect(shape, inlineCodeRadius, inlineCodeRadius);
                    painter.fillPath(path, fill);
                    painter.strokePath(path, QPen(outline, inlineCodeOutlineWidth));
                }
            }
        });
}

void TextViewPainter::drawText(QPainter &painter, QRectF rect, const TextViewPaintState &state) {
    const double top = rect.top() - state.inset.height();
    const double bottom = rect.bottom() - state.inset.height();
    for (const LayoutCache::Piece &piece : cache_.piecesBetween(top, bottom)) {
        const TextRange pieceRange{piece.start, piece.layout->range().length};
        QList<QTextLayout::FormatRange> selections;
        for (const TextRange &selected : state.selectedRanges) {
            const TextRange shared = intersection(selected, pieceRange);
            if (shared.length == 0) {
                continue;
            }
            QTextCharFormat format;
            format.setBackground(state.selectionBackground);
            selections.append(QTextLayout::FormatRange{static_cast<int>(shared.location - piece.start),
                                                       static_cast<int>(shared.length), format});
        }
        const QPointF origin(state.inset.width(), state.inset.height() + piece.top);
        piece.layout->textLayout().draw(&painter, origin, selections, rect);
    }
}

QColor misspellingColor() {
    return QColor(230, 30, 30);
}

void TextViewPainter::drawMisspellings(QPainter &painter, QRectF rect, const TextViewPaintState &state) {
    if (state.misspelledRanges.empty()) {
        return;
    }
    // Round dots, two wide and two apart, just below the baseline: the desktop's spelling underline.
    constexpr double dot = 2;
    const double top = rect.top() - state.inset.height();
    const double bottom = rect.bottom() - state.inset.height();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(misspellingColor());
    for (const LayoutCache::Piece &piece : cache_.piecesBetween(top, bottom)) {
        const TextRange pieceRange{piece.start, piece.layout->range().length};
        const QTextLayout &layout = piece.layout->textLayout();
        for (const TextRange &word : state.misspelledRanges) {
            if (intersection(word, pieceRange).length == 0) {
                continue;
            }
            for (int k = 0; k < layout.lineCount(); ++k) {
                const QTextLine line = layout.lineAt(k);
                const std::size_t lineStart = piece.start + static_cast<std::size_t>(line.textStart());
                const std::size_t lineEnd = lineStart + static_cast<std::size_t>(line.textLength());
                const std::size_t from = std::max(word.location, lineStart);
                const std::size_t to = std::min(word.end(), lineEnd);
                if (from >= to) {
                    continue;
                }
                const double left =
                    state.inset.width() + std::min(xOnLine(line, from - piece.start), xOnLine(line, to - piece.start));
                const double right =
                    state.inset.width() + std::max(xOnLine(line, from - piece.start), xOnLine(line, to - piece.start));
                const double y = std::min(state.inset.height() + piece.top + line.y() + line.ascent() + 1.5,
                                          state.inset.height() + piece.top + line.y() + line.height() - dot);
                for (double x = left; x + dot <= right + 0.5; x += 2 * dot) {
                    painter.drawEllipse(QRectF(x, y, dot, dot));
                }
            }
        }
    }
    painter.restore();
}

void TextViewPainter::drawPreedit(QPainter &painter, const TextViewPaintState &state) {
    if (!state.preedit || state.preedit->text.isEmpty()) {
        return;
    }
    // The composed text itself is in the layout of its line; here only its caret.
    const QRectF caret = cache_.compositionCaretRect(static_cast<std::size_t>(std::max(0, state.preedit->cursor)));
    painter.fillRect(QRectF(state.inset.width() + caret.x(), state.inset.height() + caret.y(), 1, caret.height()),
                     state.caretColor);
}

void TextViewPainter::drawCaret(QPainter &painter, const TextViewPaintState &state) {
    if (!state.caret) {
        return;
    }
    const QRectF caret = cache_.caretRect(*state.caret, state.caretAffinity);
    painter.fillRect(QRectF(state.inset.width() + caret.x(), state.inset.height() + caret.y(), 1, caret.height()),
                     state.caretColor);
}

bool TextViewPainter::selectionTouchesParagraphOf(TextRange range, const std::vector<TextRange> &selectedRanges) {
    const ParagraphIndex &index = cache_.index();
    const TextRange first = index.paragraphRange(index.paragraphContaining(range.location));
    const TextRange last =
        index.paragraphRange(index.paragraphContaining(range.length > 0 ? range.end() - 1 : range.location));
    const TextRange paragraph = unionRange(first, last);
    std::optional<char16_t> lastUnit;
    if (paragraph.length > 0) {
        lastUnit = storage_.substring(TextRange{paragraph.end() - 1, 1})[0];
    }
    return selectionIntersectsParagraph(paragraph, storage_.length(), lastUnit, selectedRanges);
}

void TextViewPainter::drawHorizontalRules(QPainter &painter, QRectF rect, TextRange visible,
                                          const TextViewPaintState &state) {
    storage_.enumerateAttribute(
        AttributeKey::veltoHorizontalRule, visible, [&](const AttributeValue *value, TextRange run) {
            const Color *color = attributeValueAs<Color>(value);
            if (color == nullptr || run.length == 0) {
                return;
            }
            const QRectF glyphBox = cache_.lineRectFor(run.location);
            const QRectF lineRect(state.inset.width(), state.inset.height() + glyphBox.top(), state.viewWidth,
                                  glyphBox.height());
            if (!lineRect.intersects(rect)) {
                return;
            }
            const QColor attributeColor = colorFor(*color, state.appearance);
            if (selectionTouchesParagraphOf(run, state.selectedRanges)) {
                drawRuleSource(painter, run, lineRect, attributeColor, state);
                return;
            }
            const QColor lineColor =
                state.horizontalRuleColor ? colorFor(*state.horizontalRuleColor, state.appearance) : attributeColor;
            const double y = lineRect.center().y();
            painter.setPen(QPen(lineColor, state.increaseContrast ? 1.5 : 1.0));
            painter.drawLine(QPointF(state.inset.width() + ruleInset, y),
                             QPointF(state.viewWidth - state.inset.width() - ruleInset, y));
        });
}

void TextViewPainter::drawRuleSource(QPainter &painter, TextRange range, QRectF lineRect, const QColor &color,
                                     const TextViewPaintState &state) {
    const FontDescriptor *stored =
        attributeValueAs<FontDescriptor>(storage_.attribute(AttributeKey::font, range.location));
    const QFont font = fontFor(stored != nullptr ? *stored : MarkdownStyler::editorFont(formats_.styleSettings()));
    const QRectF caret = cache_.caretRect(range.location);
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QPointF(state.inset.width() + caret.x(), lineRect.top() + metrics.ascent()),
                     qtString(storage_.substring(range)));
}

} // namespace velto::editor
