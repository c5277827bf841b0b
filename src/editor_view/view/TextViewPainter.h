#pragma once

#include "editor/text/TextAttributes.h"
#include "editor/text/TextRange.h"
#include "editor/text/VeltoTheme.h"
#include "editor_view/layout/CaretPlace.h"

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class QPainter;

namespace velto::editor {

class LayoutCache;
class LayoutFormats;
class TextStorage;

/// Text the input method is composing at the caret, shown but not yet in the storage.
struct PreeditText {
    std::size_t position = 0;
    QString text;
    int cursor = 0; // within the text
};

/// What one painting pass of the text view needs besides the layouts: the view's geometry, colours
/// and selection. Coordinates are the text view's: the text container's origin is the inset.
struct TextViewPaintState {
    QSizeF inset;
    double viewWidth = 0;
    Appearance appearance = Appearance::aqua;
    QColor background = Qt::white;
    QColor selectionBackground;
    QColor caretColor = Qt::black;
    std::vector<TextRange> selectedRanges;
    /// The caret's position when it is drawn now (focus, blink phase on, empty selection).
    std::optional<std::size_t> caret;
    /// The side of a line wrap the caret shows on, when it stands at one.
    CaretAffinity caretAffinity = CaretAffinity::downstream;
    std::optional<PreeditText> preedit;
    /// Overrides the rule attribute's colour for rule lines (the theme's rule colour).
    std::optional<Color> horizontalRuleColor;
    bool increaseContrast = false;
    /// The words spelling flags, underlined in red; never stored in the text.
    std::vector<TextRange> misspelledRanges;
};

/// Whether the selection touches the paragraph of a rule, so that the rule shows its source. A selection
/// counts when it shares a unit with the paragraph; a caret counts inside the paragraph, and at its end
/// only when that is also the text's end and the paragraph does not end in a line break.
/// `lastUnit` is the paragraph's last unit, none for an empty paragraph.
bool selectionIntersectsParagraph(TextRange paragraph, std::size_t textLength, std::optional<char16_t> lastUnit,
                                  const std::vector<TextRange> &selectedRanges);

/// The rectangle behind a code block whose lines span `top` to `bottom` (container coordinates): across
/// the editor from 2 inside each inset, 5 above and below its lines.
QRectF codeBlockRect(double top, double bottom, QSizeF inset, double viewWidth);

/// The piece behind one line of an inline code span: 3 wider on each side, 1 shorter at top and bottom.
QRectF inlineCodePieceRect(QRectF glyphBox);

/// The colour of the dotted line under a misspelled word.
QColor misspellingColor();

/// Paints the text view: background, code-block and inline-code backgrounds, text with the selection,
/// the caret, and horizontal rules (a line, or their source while the selection touches them). Every
/// pass works only on what the rectangle shows.
class TextViewPainter {
public:
    TextViewPainter(const TextStorage &storage, LayoutCache &cache, LayoutFormats &formats)
        : storage_(storage)
        , cache_(cache)
        , formats_(formats) {}

    void paint(QPainter &painter, QRectF rect, const TextViewPaintState &state);

    /// The characters the rectangle (in view coordinates) shows, whole lines.
    TextRange visibleCharacterRange(QRectF rect, QSizeF inset);

private:
    void drawCodeBlocks(QPainter &painter, QRectF rect, TextRange visible, const TextViewPaintState &state);
    void drawInlineCode(QPainter &painter, QRectF rect, TextRange visible, const TextViewPaintState &state);
    void drawText(QPainter &painter, QRectF rect, const TextViewPaintState &state);
    void drawCaret(QPainter &painter, const TextViewPaintState &state);
    void drawMisspellings(QPainter &painter, QRectF rect, const TextViewPaintState &state);
    void drawPreedit(QPainter &painter, const TextViewPaintState &state);
    void drawHorizontalRules(QPainter &painter, QRectF rect, TextRange visible, const TextViewPaintState &state);
    void drawRuleSource(QPainter &painter, TextRange range, QRectF lineRect, const QColor &color,
                        const TextViewPaintState &state);
    bool selectionTouchesParagraphOf(TextRange range, const std::vector<TextRange> &selectedRanges);
    TextRange codeBlockRange(std::size_t index);

    const TextStorage &storage_;
    LayoutCache &cache_;
    LayoutFormats &formats_;
    std::vector<TextRange> blockRanges_;
    std::uint64_t blockRangesVersion_ = 0;
    std::size_t blockRangesLength_ = 0;
};

} // namespace velto::editor
