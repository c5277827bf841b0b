#include "editor/markdown/MarkdownStyler.h"

#include <algorithm>
#include <cmath>

// The colours, fonts and paragraph styles the styler puts on the text.
namespace velto::editor::MarkdownStyler {

namespace {

double headingIncrement(int level) {
    switch (level) {
    case 1:
        return 7;
    case 2:
        return 4;
    case 3:
        return 2;
    case 4:
        return 1;
    default:
        return 0;
    }
}

} // namespace

// ---- colours ----

Color textColor() {
    return Color::dynamic("VeltoEditorText", {0.12, 0.12, 0.12}, {0.92, 0.92, 0.92});
}

Color codeBackgroundColor() {
    return Color::dynamic("VeltoCodeBackground", {0.945, 0.95, 0.96}, {0.065, 0.075, 0.098});
}

// ---- fonts and paragraph styles ----

FontDescriptor editorFont(const StyleSettings &style) {
    return FontDescriptor{style.family, style.fontSize, FontWeight::regular};
}

FontDescriptor headingFont(int level, const StyleSettings &style) {
    return FontDescriptor{style.family, style.fontSize + headingIncrement(level), FontWeight::semibold};
}

FontDescriptor codeFont(const StyleSettings &style) {
    return FontDescriptor{FontFamilyRole::userFixedPitch, style.fontSize, FontWeight::regular};
}

FontDescriptor inlineCodeFont(const StyleSettings &style) {
    return FontDescriptor{FontFamilyRole::monospacedSystem, std::max(style.fontSize - 1, 12.0), FontWeight::medium};
}

ParagraphStyle baseParagraphStyle(const StyleSettings &style) {
    const double s = style.fontSize;
    ParagraphStyle paragraph;
    paragraph.lineSpacing = std::max(0.28 * s, 4.0);
    paragraph.paragraphSpacing = std::max(0.15 * s, 2.0);
    paragraph.lineBreakMode = LineBreakMode::byWordWrapping;
    return paragraph;
}

ParagraphStyle headingParagraphStyle(const StyleSettings &style) {
    const double s = style.fontSize;
    ParagraphStyle paragraph = baseParagraphStyle(style);
    paragraph.paragraphSpacingBefore = std::max(0.40 * s, 4.0);
    paragraph.paragraphSpacing = std::max(0.25 * s, 3.0);
    return paragraph;
}

ParagraphStyle codeParagraphStyle(const StyleSettings &style) {
    const double s = style.fontSize;
    const FontMetrics &metrics = style.codeFontMetrics;
    ParagraphStyle paragraph;
    paragraph.headIndent = 12;
    paragraph.firstLineHeadIndent = 12;
    paragraph.tailIndent = -12;
    paragraph.lineSpacing = std::max(0.12 * s, 2.0);
    paragraph.minimumLineHeight = std::ceil(metrics.ascender - metrics.descender + metrics.leading);
    paragraph.paragraphSpacing = 0;
    paragraph.lineBreakMode = LineBreakMode::byCharWrapping;
    paragraph.allowsDefaultTighteningForTruncation = false;
    return paragraph;
}

ParagraphStyle fenceOpeningParagraphStyle(const StyleSettings &style) {
    ParagraphStyle paragraph = codeParagraphStyle(style);
    paragraph.paragraphSpacingBefore = std::max(0.55 * style.fontSize, 8.0);
    return paragraph;
}

ParagraphStyle fenceClosingParagraphStyle(const StyleSettings &style) {
    ParagraphStyle paragraph = codeParagraphStyle(style);
    paragraph.paragraphSpacing = std::max(0.75 * style.fontSize, 12.0);
    return paragraph;
}

Attributes baseAttributes(const Color &color, const StyleSettings &style) {
    return Attributes{{AttributeKey::font, editorFont(style)},
                      {AttributeKey::foregroundColor, color},
                      {AttributeKey::paragraphStyle, baseParagraphStyle(style)},
                      {AttributeKey::ligature, std::int64_t{1}}};
}

Attributes codeAttributes(const Color &color, const StyleSettings &style) {
    return Attributes{{AttributeKey::font, codeFont(style)},
                      {AttributeKey::foregroundColor, color},
                      {AttributeKey::paragraphStyle, codeParagraphStyle(style)},
                      {AttributeKey::ligature, std::int64_t{0}},
                      {AttributeKey::kern, std::min(std::max(0.01 * style.fontSize, 0.12), 0.24)}};
}

} // namespace velto::editor::MarkdownStyler
