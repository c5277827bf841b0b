#include "editor_view/layout/QtFonts.h"

#include <QtGui/QFontDatabase>
#include <QtGui/QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace velto::editor {

namespace {

QFont::Weight qtWeight(const FontDescriptor &font) {
    if (font.bold) {
        return QFont::Bold;
    }
    switch (font.weight) {
    case FontWeight::regular:
        return QFont::Normal;
    case FontWeight::medium:
        return QFont::Medium;
    case FontWeight::semibold:
        return QFont::DemiBold;
    case FontWeight::bold:
        return QFont::Bold;
    }
    return QFont::Normal;
}

} // namespace

QFont qtFont(const FontDescriptor &font) {
    QFont result = QFontDatabase::systemFont(font.family == FontFamilyRole::system ? QFontDatabase::GeneralFont
                                                                                   : QFontDatabase::FixedFont);
    if (font.family != FontFamilyRole::system) {
        result.setStyleHint(QFont::Monospace);
        result.setFixedPitch(true);
    }
    // Pixel sizes are whole numbers; a size below one pixel would be refused.
    result.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pointSize))));
    result.setWeight(qtWeight(font));
    result.setItalic(font.italic);
    return result;
}

FontMetrics QtFontMetricsProvider::metrics(const FontDescriptor &font) const {
    Key key{font.family, font.pointSize, font.weight, font.bold, font.italic};
    std::lock_guard lock(mutex_);
    auto found = measured_.find(key);
    if (found != measured_.end()) {
        return found->second;
    }
    QFontMetricsF measured(qtFont(font));
    FontMetrics result{measured.ascent(), -measured.descent(), measured.leading()};
    measured_.emplace(key, result);
    return result;
}

} // namespace velto::editor
