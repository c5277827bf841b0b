#include "editor_view/layout/LayoutFormats.h"

#include "editor/markdown/MarkdownStyler.h"
#include "editor_view/layout/QtFonts.h"

namespace velto::editor {

namespace {

QColor fromComponents(const RGBComponents &components, double alpha) {
    return QColor::fromRgbF(static_cast<float>(components.red), static_cast<float>(components.green),
                            static_cast<float>(components.blue), static_cast<float>(alpha));
}

/// What formats made without style settings show: the editor's defaults.
const StyleSettings defaultStyle;

/// How many attribute sets the formats remember at most.
constexpr std::size_t rememberedFormats = 4096;

template <typename T> std::optional<T> valueOf(const Attributes &attributes, AttributeKey key) {
    const T *value = attributeValueAs<T>(attributes.find(key));
    return value != nullptr ? std::optional<T>(*value) : std::nullopt;
}

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
    looks_.clear();
}

LayoutFormats::LayoutFormats(Appearance appearance)
    : LayoutFormats(defaultStyle, appearance) {}

QFont LayoutFormats::font(const Attributes &attributes) {
    const FontDescriptor *descriptor = attributeValueAs<FontDescriptor>(attributes.find(AttributeKey::font));
    return font(descriptor != nullptr ? *descriptor : MarkdownStyler::editorFont(style_));
}

QFont LayoutFormats::font(const FontDescriptor &wanted) {
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
        return looks_[found->second.look].format;
    }
    if (formats_.size() >= rememberedFormats) {
        // Highlighting makes new sets at every pass (each carries its generation); forget the old ones
        // rather than keep every set the page ever had alive. The formats they shared go with them.
        formats_.clear();
        looks_.clear();
    }
    const std::size_t look = distinctFormatFor(lookOf(attributes));
    formats_.emplace(attributes.identity(), Remembered{attributes, look});
    return looks_[look].format;
}

LayoutFormats::Look LayoutFormats::lookOf(const Attributes &attributes) const {
    return Look{valueOf<FontDescriptor>(attributes, AttributeKey::font).value_or(MarkdownStyler::editorFont(style_)),
                valueOf<double>(attributes, AttributeKey::kern),
                valueOf<std::int64_t>(attributes, AttributeKey::underlineStyle),
                valueOf<std::int64_t>(attributes, AttributeKey::strikethroughStyle),
                valueOf<Color>(attributes, AttributeKey::foregroundColor).value_or(MarkdownStyler::textColor())};
}

std::size_t LayoutFormats::distinctFormatFor(const Look &look) {
    for (std::size_t index = 0; index < looks_.size(); ++index) {
        if (looks_[index].look == look) {
            return index;
        }
    }
    looks_.push_back(DistinctFormat{look, formatFor(look)});
    return looks_.size() - 1;
}

QTextCharFormat LayoutFormats::formatFor(const Look &look) {
    QTextCharFormat format;
    QFont font = this->font(look.font);
    if (look.kern) {
        font.setLetterSpacing(QFont::AbsoluteSpacing, *look.kern);
    }
    if (look.underline) {
        font.setUnderline(*look.underline != 0);
    }
    if (look.strikethrough) {
        font.setStrikeOut(*look.strikethrough != 0);
    }
    format.setFont(font, QTextCharFormat::FontPropertiesAll);
    format.setForeground(colorFor(look.foreground, appearance_));
    return format;
}

} // namespace velto::editor
