#pragma once

#include "editor/text/TextAttributes.h"

#include <memory>

namespace velto::editor {

/// The vertical metrics of a font in points; the descender is negative below the baseline.
struct FontMetrics {
    double ascender = 0;
    double descender = 0;
    double leading = 0;
    bool operator==(const FontMetrics &) const = default;
};

/// Measures fonts. The view supplies one backed by the real font system; styling without a display
/// uses a fixed one.
class FontMetricsProvider {
public:
    virtual ~FontMetricsProvider() = default;
    virtual FontMetrics metrics(const FontDescriptor &font) const = 0;
};

/// Metrics in fixed proportion to the point size (ascender 0.8, descender −0.2, no leading): stable
/// figures for tests and for styling before a display exists.
class ProportionalFontMetrics final : public FontMetricsProvider {
public:
    FontMetrics metrics(const FontDescriptor &font) const override {
        return FontMetrics{0.8 * font.pointSize, -0.2 * font.pointSize, 0};
    }
};

/// The provider the owner of a styled text measures the code font with when it makes the text's style
/// settings; the proportional one until the view environment installs its own.
const FontMetricsProvider &currentFontMetricsProvider();
void setFontMetricsProvider(std::shared_ptr<const FontMetricsProvider> provider);

} // namespace velto::editor
