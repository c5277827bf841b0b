#include "editor/markdown/MarkdownStyler.h"

#include "editor/text/EditorSettings.h"
#include "editor/text/FontMetrics.h"

#include <algorithm>
#include <cmath>

// The colours, fonts and paragraph styles the styler puts on the text.
namespace velto::editor::MarkdownStyler {

namespace {

double fontSize() {
    return editorFontSize(currentEditorSettings());
}

FontFamilyRole chosenFamily() {
    return currentEditorSettings().fontChoice == EditorFontChoice::system ? FontFamilyRole::system
                                                                          : FontFamilyRole::monospacedSystem;
}

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

FontDescriptor editorFont() {
    return FontDescriptor{chosenFamily(), fontSize(), FontWeight::regular};
}

FontDescriptor headingFont(int level) {
    return FontDescriptor{chosenFamily(), fontSize() + headingIncrement(level), FontWeight::semibold};
}

FontDescriptor codeFont() {
    return FontDescriptor{FontFamilyRole::userFixedPitch, fontSize(), FontWeight::regular};
}

FontDescriptor inlineCodeFont() {
    return FontDescriptor{FontFamilyRole::monospacedSystem, std::max(fontSize() - 1, 12.0), FontWeight::medium};
}

ParagraphStyle baseParagraphStyle() {
    const double s = fontSize();
    ParagraphStyle style;
    style.lineSpacing = std::max(0.28 * s, 4.0);
    style.paragraphSpacing = std::max(0.15 * s, 2.0);
    style.lineBreakMode = LineBreakMode::byWordWrapping;
    return style;
}

ParagraphStyle headingParagraphStyle() {
    const double s = fontSize();
    ParagraphStyle style = baseParagraphStyle();
    style.paragraphSpacingBefore = std::max(0.40 * s, 4.0);
    style.paragraphSpacing = std::max(0.25 * s, 3.0);
    return style;
}

ParagraphStyle codeParagraphStyle() {
    const double s = fontSize();
    const FontMetrics metrics = currentFontMetricsProvider().metrics(codeFont());
    ParagraphStyle style;
    style.headIndent = 12;
    style.firstLineHeadIndent = 12;
    style.tailIndent = -12;
    style.lineSpacing = std::max(0.12 * s, 2.0);
    style.minimumLineHeight = std::ceil(metrics.ascender - metrics.descender + metrics.leading);
    style.paragraphSpacing = 0;
    style.lineBreakMode = LineBreakMode::byCharWrapping;
    style.allowsDefaultTighteningForTruncation = false;
    return style;
}

ParagraphStyle fenceOpeningParagraphStyle() {
    ParagraphStyle style = codeParagraphStyle();
    style.paragraphSpacingBefore = std::max(0.55 * fontSize(), 8.0);
    return style;
}

ParagraphStyle fenceClosingParagraphStyle() {
    ParagraphStyle style = codeParagraphStyle();
    style.paragraphSpacing = std::max(0.75 * fontSize(), 12.0);
    return style;
}

Attributes baseAttributes(const Color &color) {
    return Attributes{{AttributeKey::font, editorFont()},
                      {AttributeKey::foregroundColor, color},
                      {AttributeKey::paragraphStyle, baseParagraphStyle()},
                      {AttributeKey::ligature, std::int64_t{1}}};
}

Attributes codeAttributes(const Color &color) {
    return Attributes{{AttributeKey::font, codeFont()},
                      {AttributeKey::foregroundColor, color},
                      {AttributeKey::paragraphStyle, codeParagraphStyle()},
                      {AttributeKey::ligature, std::int64_t{0}},
                      {AttributeKey::kern, std::min(std::max(0.01 * fontSize(), 0.12), 0.24)}};
}

} // namespace velto::editor::MarkdownStyler
