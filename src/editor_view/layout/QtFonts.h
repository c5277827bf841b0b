#pragma once

#include "editor/text/FontMetrics.h"
#include "editor/text/TextAttributes.h"

#include <QtGui/QFont>

#include <map>
#include <mutex>
#include <tuple>

namespace velto::editor {

/// The real font of a described one: the desktop's general or fixed-pitch font, its size in pixels (the
/// editor's points are device-independent pixels), weight and slant.
QFont qtFont(const FontDescriptor &font);

/// Font metrics measured by Qt for the fonts the styler describes; measured once per font.
class QtFontMetricsProvider final : public FontMetricsProvider {
public:
    FontMetrics metrics(const FontDescriptor &font) const override;

private:
    using Key = std::tuple<FontFamilyRole, double, FontWeight, bool, bool>;
    mutable std::mutex mutex_;
    mutable std::map<Key, FontMetrics> measured_;
};

} // namespace velto::editor
