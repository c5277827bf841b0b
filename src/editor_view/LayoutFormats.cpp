#include "editor_view/LayoutFormats.h"

#include "editor/markdown/MarkdownStyler.h"
#include "editor_view/QtFonts.h"

namespace velto::editor {

namespace {

QColor fromComponents(const RGBComponents &components, double alpha) {
    return QColor::fromRgbF(static_cast<float>(components.red), static_cast<float>(components.green),
                            static_cast<float>(components.blue), static_cast<float>(alpha));
}

/// How many attribute sets the formats remember at most.
constexpr std::size_t rememberedFormats = 4096;

} // namespace

QFont fontFor(const FontDescriptor &font) {
    // The font the styler measured, so that laid-out text and styling agree.
    return qtFont(font);
}

QColor colorFor(const Color &color, Appearance appearance) {
    const bool dark = matchesDarkAqua(appearance);
    switch (color.role) {
    case SystemColorRole::none:
        return fromComponents(dark ? color.dark : color.light, color.alpha);
    case SystemColorRole::secondaryLabel:
        return dark ? QColor::fromRgbF(1, 1, 1, static_cast<float>(0.55 * color.alpha))
                    : QColor::fromRgbF(0, 0, 0, static_cast<float>(0.5 * color.alpha));
    case SystemColorRole::systemBlue:
        return dark ? fromComponents({0.039, 0.518, 1.0}, color.alpha) : fromComponents({0.0, 0.478, 1.0}, color.alpha);
    case SystemColorRole::clear:
        return QColor(0, 0, 0, 0);
    }
    return QColor(Qt::black);
}

QColor labelColorFor(Appearance appearance) {
    return matchesDarkAqua(appearance) ? QColor::fromRgbF(1, 1, 1, 0.85f) : QColor::fromRgbF(0, 0, 0, 0.85f);
}

QColor blended(const QColor &from, const QColor &to, double fraction) {
    const auto mix = [fraction](float a, float b) { return static_cast<float>(a + (b - a) * fraction); };
    return QColor::fromRgbF(mix(from.redF(), to.redF()), mix(from.greenF(), to.greenF()), mix(from.blueF(), to.blueF()),
                            mix(from.alphaF(), to.alphaF()));
}

void LayoutFormats::setAppearance(Appearance appearance) {
    if (appearance == appearance_) {
        return;
    }
    appearance_ = appearance;
    formats_.clear();
}

QFont LayoutFormats::font(const Attributes &attributes) {
    const FontDescriptor *descriptor = attributeValueAs<FontDescriptor>(attributes.find(AttributeKey::font));
    const FontDescriptor wanted = descriptor != nullptr ? *descriptor : MarkdownStyler::editorFont();
    for (const auto &[known, font] : fonts_) {
        if (known == wanted) {
            return font;
        }
    }
    fonts_.emplace_back(wanted, fontFor(wanted));
    return fonts_.back().second;
}

const QTextCharFormat &LayoutFormats::characterFormat(const Attributes &attributes) {
    if (const auto found = formats_.find(attributes.identity()); found != formats_.end()) {
        return found->second.format;
    }
    if (formats_.size() >= rememberedFormats) {
        // Highlighting makes new sets at every pass (each carries its generation); forget the old ones
        // rather than keep every set the page ever had alive.
        formats_.clear();
    }
    QTextCharFormat format;
    QFont font = this->font(attributes);
    if (const double *kern = attributeValueAs<double>(attributes.find(AttributeKey::kern))) {
        font.setLetterSpacing(QFont::AbsoluteSpacing, *kern);
    }
    if (const auto *underline = attributeValueAs<std::int64_t>(attributes.find(AttributeKey::underlineStyle))) {
        font.setUnderline(*underline != 0);
    }
    if (const auto *strike = attributeValueAs<std::int64_t>(attributes.find(AttributeKey::strikethroughStyle))) {
        font.setStrikeOut(*strike != 0);
    }
    format.setFont(font, QTextCharFormat::FontPropertiesAll);
    const Color *foreground = attributeValueAs<Color>(attributes.find(AttributeKey::foregroundColor));
    format.setForeground(colorFor(foreground != nullptr ? *foreground : MarkdownStyler::textColor(), appearance_));
    const auto stored = formats_.emplace(attributes.identity(), Remembered{attributes, format});
    return stored.first->second.format;
}

} // namespace velto::editor
